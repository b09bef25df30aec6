#!/bin/sh
# Runs inside a throw-away copy of this machine (see install_package_test.sh): installs the
# package as an administrator would, then runs the station as the service would, as the user
# mox on a simulated device, until its first lines are in the day log under /var/lib/mox.
set -eu
here=$(dirname "$0")
dpkg -i "$here"/*.deb >"$here/dpkg.log" 2>&1 || { cat "$here/dpkg.log"; exit 1; }
id -nG mox | grep -qw dialout || { echo "mox is not in dialout"; exit 1; }
[ "$(stat -c %U /var/lib/mox/data)" = mox ] || { echo "/var/lib/mox/data is not the station's"; exit 1; }
grep -q 'adduser: Warning' "$here/dpkg.log" && { cat "$here/dpkg.log"; exit 1; }
[ "$(stat -c '%a %U:%G' /etc/mox/mox.ini)" = "640 root:mox" ] ||
  { echo "/etc/mox/mox.ini is $(stat -c '%a %U:%G' /etc/mox/mox.ini)"; exit 1; }
for d in /var/lib/mox/data /var/lib/mox/images; do
  [ "$(stat -c '%a %G' $d)" = "2775 mox" ] || { echo "$d is $(stat -c '%a %G' $d)"; exit 1; }
done

# The station as the unit starts it: its user, working folder, environment and command, with
# the runtime folder systemd would make.
unit=/lib/systemd/system/mox-station.service
value() { sed -n "s/^$1=//p" $unit; }
user=$(value User)
install -d -o "$user" -g "$user" -m 0700 /run/mox
run=/run/mox-test
install -d -o "$user" -g "$user" -m 0700 $run
sed -i "s|^Port=.*|Port=$run/tty|" "$(value Environment | sed -n 's/^MOX_INI=//p')"
runuser -u "$user" -- mox-devsim --link $run/tty --speed 20 --interval 1 >/dev/null 2>&1 &
sim=$!
cd "$(value WorkingDirectory)"
# shellcheck disable=SC2046 # one word per Environment= line, as systemd reads them
runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME=/var/lib/mox $(value Environment) \
  $(value ExecStart) >"$here/station.log" 2>&1 &
station=$!
lines=0
for _ in $(seq 1 180); do
  lines=$(cat /var/lib/mox/data/*.txt 2>/dev/null | wc -l)
  [ "$lines" -ge 5 ] && break
  sleep 0.5
done
# runuser's child: the program of ExecStart, which became the headless station.
child=$(pgrep -P $station || true)
headless=$(readlink "/proc/$child/exe" || true)
widgets=$(grep -c 'libQt6Widgets\|libQt6Gui' "/proc/$child/maps" || true)
kill $station $sim 2>/dev/null || true
wait $station 2>/dev/null || true
wait $sim 2>/dev/null || true
if [ "$lines" -lt 5 ]; then
  echo "the installed station logged $lines lines in 90 s"
  cat "$here/station.log"
  exit 1
fi
if [ "$headless" != /usr/libexec/mox/mox-station ] || [ "$widgets" != 0 ]; then
  echo "the installed station runs $headless and maps $widgets pieces of widget libraries"
  exit 1
fi
echo "installed package: station logged $lines lines as user mox, headless, without widget libraries"
