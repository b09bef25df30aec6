#!/usr/bin/env bash
# The station's main job on a simulated magnetometer: mox-devsim sends a day of readings at
# 240 times real speed (a day in six minutes), MOX_View LOG files them into day logs and
# publishes image, preview, WAP files and web page every minute. Everything lives in
# build/demo; the user's own settings file is never touched. Ctrl-C ends both programs.
# The simulated clock races ahead on purpose, so the station does not compare it with UTC.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
for p in MOX_View mox-devsim; do
  [ -x "$bin/$p" ] || { echo "$bin/$p is missing: run scripts/setup.sh first" >&2; exit 1; }
done

demo=$PWD/build/demo
rm -rf "$demo"
mkdir -p "$demo/data" "$demo/web"
export MOX_INI=$demo/mox.ini
export XDG_RUNTIME_DIR=$demo/runtime
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

cat > "$demo/web/Header.txt" <<'HTML'
<!DOCTYPE html>
<html lang="de"><head><meta charset="windows-1252"><meta http-equiv="refresh" content="60">
<title>MOX Demo-Station</title></head>
<body><h1>MOX Demo-Station</h1><p><img src="mox_data.png" alt="Magnetogramm"></p>
<p>Minutenwerte des Tages:</p><pre>
HTML
cat > "$demo/web/Footer.txt" <<'HTML'
</pre></body></html>
HTML
printf '%s\r\n' \
  "[Verzeichnisse]" "Datenverzeichnis=$demo/data" "Bilder=$demo/web" \
  "[COM-Port]" "Port=$demo/tty" "Uhr-Toleranz=0" \
  "[Batch]" "Intervall=1" "Bildformat=2" "Vorschau=1" "Vortag=0" "WAP=1" "HTML=1" \
  "[Diagram]" "Titel=MOX Demo-Station, \$DATUM1\$ \$UHRZEIT1\$ UTC" "Autolegende=1" \
  "Width=900" "Height=560" \
  "[Tools]" "Log-Minimiert=0" > "$MOX_INI"

pids=()
stop() {
  trap - INT TERM EXIT
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  echo "Demo beendet. Dateien: $demo"
}
trap stop INT TERM EXIT

start=$(date -u +%Y-%m-%dT00:00:00)
"$bin/mox-devsim" --link "$demo/tty" --start "$start" --speed 240 --interval 10 --sensors 2 \
  > "$demo/devsim.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$demo/tty" ] && break; sleep 0.1; done

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Kein Bildschirm: MOX_View läuft ohne Fenster."
fi
"$bin/MOX_View" LOG > "$demo/station.log" 2>&1 &
pids+=($!)

echo "Station läuft: simuliertes Gerät an $demo/tty, ein Tag in sechs Minuten."
echo "Tageslogs:    $demo/data/"
echo "Bild:         $demo/web/mox_data.png (jede Minute neu, das erste nach einer Minute)"
echo "Webseite:     $demo/web/mox_data.htm"
echo "Beenden mit Ctrl-C."
wait -n "${pids[@]}" || true
