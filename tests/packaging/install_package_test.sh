#!/usr/bin/env bash
# install_package_test.sh BUILD SOURCE VERSION
set -euo pipefail
build=$1 source=$2 version=$3
mkdir -p "$build/test-tmp"
work=$(mktemp -d "$build/test-tmp/install_package.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need() { [ -e "$1" ] || fail "missing: ${1#"$work"/}"; }

programs=(MOX_View MOX_Browser MOX_Convert MOX_Ini mox-devsim mox-iaga mox-collect)
# What MOX_View and MOX_Convert hand their runs with Qt to.
internal=(mox-view-window mox-convert-window mox-station)
pages=$(cd "$source/docs/help" && ls ./*.html)
entries=(mox-view mox-browser mox-convert mox-ini)
sizes=(16 24 32 48 64 128 256)

# The program $1 finds the suite's libraries at $2 relative to itself, in its own tree, never
# in the build, without LD_LIBRARY_PATH.
check_links() {
  local file=$1 relative=$2 libs
  readelf -d "$file" | grep -q "RUNPATH.*\[\\\$ORIGIN/$relative\]" ||
    fail "${file#"$work"/}: RUNPATH is not \$ORIGIN/$relative"
  libs=$(env -u LD_LIBRARY_PATH ldd "$file" | grep 'libmox')
  grep -q "libmoxrtl.so => " <<<"$libs" || fail "${file#"$work"/}: does not link the runtime library"
  while read -r line; do
    [[ $line == *"=> $(dirname "$file")/$relative/"* ]] || fail "${file#"$work"/}: $line"
  done <<<"$libs"
}

# Checks a tree laid out under prefix $2 of root $1 (an install or an unpacked package). With
# $5 = man, its manual pages are formatted too (once is enough: both trees get the same pages).
check_tree() {
  local root=$1 prefix=$2 etc=$3 units=$4 formats=${5:-}
  local bin=$root$prefix/bin
  for p in "${programs[@]}"; do
    need "$bin/$p"
    [ -e "$bin/$p" ] || continue
    check_links "$bin/$p" ../lib/mox
    local answer
    answer=$(env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=no-such-platform "$bin/$p" --version) || fail "$p --version"
    [ "$answer" = "$p $version" ] || fail "$p --version said: $answer"
  done
  for p in "${internal[@]}"; do
    need "$root$prefix/libexec/mox/$p"
    [ -e "$root$prefix/libexec/mox/$p" ] && check_links "$root$prefix/libexec/mox/$p" ../../lib/mox
  done
  # The runs without a window load no Qt; a run with a window finds its program in the tree:
  # the picture in the window's size, drawn offscreen.
  for p in MOX_View MOX_Convert; do
    env -u LD_LIBRARY_PATH ldd "$bin/$p" | grep -q 'libQt6' && fail "$p loads Qt"
  done
  local images=$work/images-${root##*/}
  printf '[Verzeichnisse]\r\nBilder=%s\r\n[Batch]\r\nBildformat=2\r\n' "$images" >"$work/oneshot.ini"
  answer=$(env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
    MOX_INI="$work/oneshot.ini" "$bin/MOX_View" "$work/20030615.txt" 2>"$work/oneshot.err") ||
    fail "MOX_View DAY through the window: $(cat "$work/oneshot.err")"
  if [ "$answer" != "$images/20030615.png" ] || [ ! -s "$images/20030615.png" ]; then
    fail "MOX_View DAY said: $answer"
  fi
  for lib in libmox.so libmoxrtl.so; do need "$root$prefix/lib/mox/$lib"; done
  for page in $pages; do need "$root$prefix/share/mox/help/$page"; done
  for e in "${entries[@]}"; do
    local file=$root$prefix/share/applications/$e.desktop
    need "$file"
    [ -e "$file" ] && ! desktop-file-validate "$file" && fail "$e.desktop does not validate"
  done
  for s in "${sizes[@]}"; do
    local icon=$root$prefix/share/icons/hicolor/${s}x$s/apps/mox-station.png
    need "$icon"
    [ -e "$icon" ] && ! file "$icon" | grep -q "PNG image data, $s x $s" && fail "icon ${s}x$s: $(file -b "$icon")"
  done
  need "$root$prefix/share/icons/hicolor/scalable/apps/mox-station.svg"
  # A German manual page for every program that man formats without a complaint.
  for p in "${programs[@]}"; do
    local page=$root$prefix/share/man/man1/$p.1.gz
    need "$page"
    [ -e "$page" ] && [ "$formats" = man ] || continue
    local text
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>"$work/man.err") || fail "man -l $p"
    [ -s "$work/man.err" ] && fail "man -l $p: $(cat "$work/man.err")"
    grep -q "BESCHREIBUNG" <<<"$text" || fail "man page $p has no BESCHREIBUNG"
    grep -q -- "--help" <<<"$text" || fail "man page $p lacks the help text"
  done
  for doc in README.md copyright changelog.gz; do need "$root$prefix/share/doc/mox-station/$doc"; done
  need "$root$etc/mox/mox.ini"
  local collect=$root$units/mox-collect.service
  need "$collect"
  [ -e "$collect" ] && ! grep -q "^ExecStart=$prefix/bin/mox-collect --root /var/lib/mox-collect " "$collect" &&
    fail "collect unit: ExecStart: $(grep ExecStart "$collect")"
  local unit=$root$units/mox-station.service
  need "$unit"
  [ -e "$unit" ] || return 0
  grep -qx "ExecStart=$prefix/bin/MOX_View LOG" "$unit" || fail "unit: ExecStart: $(grep ExecStart "$unit")"
  grep -qx "Environment=MOX_INI=$etc/mox/mox.ini" "$unit" || fail "unit: MOX_INI: $(grep MOX_INI "$unit")"
  if command -v systemd-analyze >/dev/null; then
    # verify wants the program at its place: point the copy at the tree's program.
    sed "s|^ExecStart=$prefix/bin/|ExecStart=$bin/|" "$unit" >"$work/mox-station.service"
    systemd-analyze verify "$work/mox-station.service" || fail "systemd-analyze verify"
    sed "s|^ExecStart=$prefix/bin/|ExecStart=$bin/|" "$collect" >"$work/mox-collect.service"
    systemd-analyze verify "$work/mox-collect.service" || fail "systemd-analyze verify mox-collect"
    # The daily conversion: its service and the timer that starts it.
    sed "s|^ExecStart=$prefix/bin/|ExecStart=$bin/|" "$root$units/mox-convert.service" >"$work/mox-convert.service"
    cp "$root$units/mox-convert.timer" "$work/mox-convert.timer"
    grep -q "^ExecStart=.*MOX_Convert auto /var/lib/mox/data$" "$work/mox-convert.service" ||
      fail "mox-convert.service: $(grep ExecStart "$work/mox-convert.service")"
    systemd-analyze verify "$work/mox-convert.service" "$work/mox-convert.timer" ||
      fail "systemd-analyze verify mox-convert"
  else
    echo "SKIP systemd-analyze verify: systemd-analyze is not installed"
  fi
}

# A raw day log for the picture: six hours of one line every ten seconds.
for ((s = 0; s < 6 * 3600; s += 10)); do
  printf '15.06.03 %02d:%02d:%02d: Y,  %d\r\n' $((s / 3600)) $((s / 60 % 60)) $((s % 60)) $((100 + s / 600 % 17))
done >"$work/20030615.txt"

# The Debian package (checked in 2 below), built first so that lintian runs beside the rest.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/package/*.deb)

# lintian: no errors, no warnings; the informational tags are listed. It runs beside the
# checks below and is heard at the end.
lintian_pid=
if command -v lintian >/dev/null; then
  lintian -I --no-tag-display-limit "$deb" >"$work/lintian.txt" 2>&1 &
  lintian_pid=$!
else
  echo "SKIP lintian: not installed"
fi

# 1. cmake --install into a temporary root (prefix /usr/local: etc under the prefix).
DESTDIR=$work/root cmake --install "$build" >"$work/install.log" || { cat "$work/install.log"; exit 1; }
check_tree "$work/root" /usr/local /usr/local/etc /usr/local/lib/systemd/system

# 2. The Debian package: everything of the install under /usr, the service, the settings file
#    as conffile, the maintainer scripts, and library dependencies found by shlibdeps.
dpkg-deb -c "$deb" >"$work/contents"
info=$(dpkg-deb -I "$deb")
for field in "Package: mox-station" "Version: $version"; do
  grep -q "$field" <<<"$info" || fail "control lacks $field"
done
depends=$(dpkg-deb -f "$deb" Depends)
for dep in adduser libqt6widgets6 libqt6serialport6 libpng16-16 libjpeg62-turbo libfreetype6 libc6; do
  grep -q "$dep" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
grep -q 'build' <<<"$depends" && fail "Depends names the build tree: $depends"
dpkg-deb --ctrl-tarfile "$deb" | tar -t >"$work/control"
for f in postinst prerm postrm conffiles; do grep -qx "./$f" "$work/control" || fail "control lacks $f"; done
[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles)" = /etc/mox/mox.ini ] || fail "conffiles"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postinst >"$work/postinst"
sh -n "$work/postinst" || fail "postinst does not parse"
for needle in 'adduser --system' 'dialout' '/var/lib/mox/data' '/var/lib/mox/images'; do
  grep -q -- "$needle" "$work/postinst" || fail "postinst lacks $needle"
done
dpkg-deb -x "$deb" "$work/unpacked"
check_tree "$work/unpacked" /usr /etc /lib/systemd/system man
grep -qx 'Datenverzeichnis=/var/lib/mox/data/' "$work/unpacked/etc/mox/mox.ini" || fail "mox.ini: data folder"
grep -qx 'Port=ttyUSB0' "$work/unpacked/etc/mox/mox.ini" || fail "mox.ini: port"
grep -qx 'Bildformat=2' "$work/unpacked/etc/mox/mox.ini" || fail "mox.ini: PNG"
for key in Autor Ort Länge Breite Locator; do
  grep -q "^; $key=" "$work/unpacked/etc/mox/mox.ini" || fail "mox.ini: [MOX-Header] $key not shown"
done
grep -qi 'als root.*MOX_View\|MOX_View.*als root' "$work/unpacked/etc/mox/mox.ini" && fail "mox.ini advises running a window as root"
grep -q 'chmod 0640 /etc/mox/mox.ini' "$work/postinst" || fail "postinst does not make mox.ini 0640"

# 3. The package installed into a throw-away overlay of this machine (root and overlayfs
#    needed; CI runs as root), and the station run from it as the service's user.
if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
  echo "SKIP installing the package: needs root and unshare"
else
  overlay=$(mktemp -d /tmp/mox-package.XXXXXX)
  mkdir -p "$overlay/upper/tmp/mox-test" "$overlay/work" "$overlay/root"
  cp "$deb" "$(dirname "$0")/package_runs.sh" "$overlay/upper/tmp/mox-test/"
  status=0
  # shellcheck disable=SC2016 # expanded by the inner shell
  unshare -m --propagation private sh -c '
    set -e
    o=$1
    mount -t overlay overlay -o "lowerdir=/,upperdir=$o/upper,workdir=$o/work" "$o/root" || exit 77
    mount -t proc proc "$o/root/proc"
    mount --rbind /dev "$o/root/dev"
    chroot "$o/root" sh /tmp/mox-test/package_runs.sh' sh "$overlay" || status=$?
  rm -rf "$overlay"
  if [ $status -eq 77 ]; then
    echo "SKIP installing the package: no overlay mount here"
  elif [ $status -ne 0 ]; then
    fail "the installed package does not run"
  fi
fi

if [ -n "$lintian_pid" ]; then
  wait "$lintian_pid" || true
  grep -E '^[EW]: ' "$work/lintian.txt" && fail "lintian reports errors or warnings"
  echo "lintian, informational: $(grep -c '^I: ' "$work/lintian.txt" || true) tag(s)"
  grep '^I: ' "$work/lintian.txt" | sed 's/^/  /' || true
fi

if ((failures)); then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "install and package: all checks passed"
