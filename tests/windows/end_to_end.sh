#!/usr/bin/env bash
# kavrel.exe under Wine against the Linux simulator: over a pseudo-terminal that the Wine
# prefix sees as COM7 (and COM12), and over loopback TCP. What it writes must be byte for byte
# what the Linux tool writes from the same module. It runs as the Polish user Michał (his
# profile holds the backups) in a working folder with Polish letters.
#   end_to_end.sh KAVREL_EXE KAVREL_SIM KAVREL_LINUX
# WINEPREFIX names the prefix (made by scripts/test --windows).
set -uo pipefail
exe=$1 sim=$2 linux=$3
: "${WINEPREFIX:?WINEPREFIX names the Wine prefix}"
export WINEDEBUG=-all
# shellcheck source=polish_profile.sh
. "$(dirname "$0")/polish_profile.sh"
polish_profile "$(dirname "$WINEPREFIX")/locale"

top=$(mktemp -d)
work="$top/Użytkownicy/Michał/Dokumenty/Pomiary źródło"
mkdir -p "$work"
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -f "$WINEPREFIX/dosdevices/com7" "$WINEPREFIX/dosdevices/com12"
  rm -rf "$top"
}
trap cleanup EXIT
cd "$work" || exit 1

passed=0 failed=0
check() { # check NAME COMMAND...: one case, counted
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok     $name"
  else failed=$((failed + 1)); echo "FAILED $name"; fi
}
kavrel() { wine "$exe" "$@"; }

"${linux_env[@]}" "$sim" --pty --tcp 127.0.0.1:0 --records 40 > sim.out 2> sim.err &
sim_pid=$!
for _ in $(seq 100); do [ "$(grep -c '=' sim.out)" -ge 2 ] && break; sleep 0.1; done
pty=$(sed -n 's/^pty=//p' sim.out)
tcp=$(sed -n 's/^tcp=//p' sim.out)
[ -n "$pty" ] && [ -n "$tcp" ] || { echo "kavrel-sim did not start"; cat sim.err; exit 1; }
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com7"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com12"

# Console output has Windows line ends: "Kavrel V3.6EL" CR LF.
version_com7() { kavrel --com 7 version > v.txt 2> v.err && grep -q $'^Kavrel V3.6EL\r$' v.txt && grep -q 'versionCode=0x36 E=1 L=1' v.txt; }
check "version over COM7" version_com7

version_com12() { kavrel --com 12 version > v12.txt 2>&1 && grep -q 'V3.6EL' v12.txt; }
check "COM12 through the device namespace" version_com12

# The port doctor's SetupAPI and configuration-manager walk, as Wine answers it.
port_doctor() {
  kavrel ports --doctor --json > doctor.json 2> doctor.err && tr -d '\r' < doctor.json | grep -q '^{"ports":\[.*\]}$' &&
    kavrel ports --doctor > doctor.txt 2>> doctor.err && [ -s doctor.txt ]
}
check "ports --doctor walks the devices" port_doctor

read_same_bytes() {
  kavrel --com 7 config read -o x.kvl > /dev/null 2>&1 && linux_tool "$linux" --device "$pty" config read -o linux.kvl > /dev/null 2>&1 &&
    [ "$(stat -c %s x.kvl)" = 3608 ] && cmp -s x.kvl linux.kvl
}
check "config read gives the Linux tool's bytes" read_same_bytes

polish_name() { kavrel --tcp "$tcp" config read -o "moduł_źródło.kvl" > /dev/null 2>&1 && cmp -s "moduł_źródło.kvl" linux.kvl; }
check "config read over TCP into a Polish file name" polish_name

write_back() { kavrel --com 7 config write x.kvl > w.out 2> w.err; }
check "config write over COM7 verifies" write_back

# The backups, journals and version notes live in the profile's APPDATA, which has a Polish
# letter: status, read and write once ended with exit code 3 on it.
kopie=$(find "$WINEPREFIX/drive_c/users" -maxdepth 1 -name 'Micha*')/AppData/Roaming/Ostrevan/Kavrel/kopie
profile_backup() {
  kavrel --com 7 config write --backup x.kvl > b.out 2> b.err &&
    compgen -G "$kopie/Kavrel V3.6EL COM7 *.kvl" >/dev/null &&
    tr -d '\r' < b.err | grep -q '^Kopia zapasowa: C:\\users\\Michał\\AppData\\Roaming\\Ostrevan\\Kavrel\\kopie\\Kavrel V3.6EL COM7 ' &&
    kavrel config backups 2> /dev/null | grep -q 'V3.6EL  COM7'
}
check "config write --backup keeps it in the Polish profile's APPDATA" profile_backup
profile_status() { kavrel --com 7 config status > s.out 2> s.err; }
check "config status with the Polish profile" profile_status
profile_read() { kavrel --tcp "$tcp" config read -o "po zapisie.kvl" > r.out 2> r.err && cmp -s "po zapisie.kvl" linux.kvl; }
check "config read (noting the version) with the Polish profile" profile_read

download() {
  kavrel --com 7 logger download -o wyniki > /dev/null 2> d.err &&
    linux_tool "$linux" --device "$pty" logger download -o linux > /dev/null 2>&1 &&
    cmp -s wyniki.csv linux.csv && [ -s wyniki.html ]
}
check "logger download over COM7 (115200 switch) gives the Linux CSV" download

polish_download() {
  kavrel --tcp "$tcp" logger download -o "pomiary_środa" > pd.out 2> pd.err &&
    [ -s "pomiary_środa.csv" ] && [ -s "pomiary_środa.html" ] && cmp -s "pomiary_środa.csv" tcp_linux.csv &&
    [ "$(tr -d '\r' < pd.out | sed 's|.*[\\/]||')" = $'pomiary_środa.csv\npomiary_środa.html' ]
}
linux_tool "$linux" --tcp "$tcp" logger download -o tcp_linux > /dev/null 2>&1
check "logger download into Polish file names, listed whole" polish_download

tcp_download() { kavrel --tcp "$tcp" logger download --comma -o tcp > /dev/null 2>&1 && [ -s tcp.csv ] && [ -s tcp.html ]; }
check "logger download over TCP" tcp_download

missing_port() {
  kavrel --com 8 version > /dev/null 2> m.err
  [ $? -eq 1 ] && grep -q 'Błąd otwarcia portu COM8 !' m.err
}
check "a missing COM port exits 1 with the Polish message" missing_port

console_letters() {
  # A console: Wine makes one of the pseudo-terminal that script(1) opens. The message goes
  # through WriteConsoleW and comes out whole, with its Polish letters.
  LANG=C.UTF-8 script -qec "wine $(printf %q "$exe") --com 8 version" /dev/null < /dev/null > c.out 2>&1
  [ $? -eq 1 ] && grep -q 'Błąd otwarcia portu COM8 !' c.out
}
check "a console shows the Polish letters" console_letters

refused_timeouts() {
  # The null device opens like a port but refuses the time-outs: the message comes, the
  # exchange goes on (and finds no module there).
  kavrel --device '\\.\NUL' version > /dev/null 2> t.err
  [ $? -eq 1 ] && grep -q 'Błąd wpisu timeouts !' t.err && grep -q 'Brak odpowiedzi' t.err
}
check "time-outs refused: the message, then the exchange goes on" refused_timeouts

usage() { kavrel --com x version > /dev/null 2>&1; [ $? -eq 2 ]; }
check "a usage error exits 2" usage

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
