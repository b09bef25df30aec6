#!/usr/bin/env bash
# Installs the Debian packages the station needs (only those missing) and builds everything
# into build/. Safe to run any number of times.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build pkg-config
          qt6-base-dev qt6-serialport-dev
          libfreetype-dev libfontconfig-dev fonts-liberation
          libpng-dev libjpeg-dev libgtest-dev
          libsystemd-dev libmosquitto-dev mosquitto mosquitto-clients nats-server qt6-translations-l10n
          desktop-file-utils dpkg-dev file openssl systemd e2fsprogs mount lintian man-db
          xvfb xauth
          qt6-httpserver-dev qt6-websockets-dev chromium python3-jsonschema
          gnuplot-nox python3-matplotlib python3-pandas)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
