#!/usr/bin/env bash
# The installer end to end under Wine, in a fresh prefix on a virtual display (Xvfb): a silent
# install; the installed Kavrel-Monitor.exe started with a settings file and /start on COM7,
# the simulator's pseudo-terminal, writing its CSV log; Kavrel-Config.exe and Kavrel-Logger.exe
# started; each closed as the close box closes it (WM_CLOSE) and its registry values read back;
# a silent uninstall that removes what it installed and leaves the user's settings and files.
#   installer_end_to_end.sh SETUP.EXE KAVREL-SIM
set -euo pipefail
setup=$(realpath "$1")
sim=$(realpath "$2")

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $*"; }

# A display of our own: the programs run with Qt's Windows platform, as on a desktop.
for display in $(seq 90 120); do
  [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] || break
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"

wine_quiet() { wine "$@" </dev/null 2>/dev/null; }
# reg query's line of one value: "    NAME    REG_DWORD    0x7".
registry_value() { wine_quiet reg query "$1" /v "$2" | tr -d '\r' | grep -E "^ +$2 " || true; }
running() { wine_quiet tasklist | tr -d '\r' | grep -qi "^$1"; }
# Closes a program as its close box does, and waits until it has ended.
close_program() {
  wine_quiet taskkill /IM "$1" >/dev/null || true
  for _ in $(seq 1 100); do running "$1" || return 0; sleep 0.2; done
  fail "$1 did not end after WM_CLOSE"
}
wait_for_window() {
  for _ in $(seq 1 150); do running "$1" && return 0; sleep 0.2; done
  fail "$1 did not start"
}

step "fresh Wine prefix, silent install"
wineboot --init >/dev/null 2>&1 || true
wine_quiet "$setup" /S || fail "the installer exited with $?"
wineserver -w
install="$WINEPREFIX/drive_c/Program Files/Kavrel"
for file in Kavrel-Config.exe Kavrel-Monitor.exe Kavrel-Logger.exe kavrel.exe uninstall.exe README.txt qt.conf \
            Qt6Core.dll Qt6Widgets.dll Qt6PrintSupport.dll libstdc++-6.dll plugins/platforms/qwindows.dll \
            plugins/styles/qwindowsvistastyle.dll translations/qtbase_pl.qm; do
  [ -f "$install/$file" ] || fail "$file is not installed"
done
[ ! -e "$install/Qt6Test.dll" ] || fail "the test library is installed"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kavrel"
for link in Kavrel-Config Kavrel-Monitor Kavrel-Logger; do
  [ -f "$menu/$link.lnk" ] || fail "no Start-menu entry $link"
done
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel'
registry_value "$uninstall_key" UninstallString | grep -q 'uninstall.exe' || fail "no Add/Remove Programs entry"
registry_value 'HKLM\Software\Classes\.kvl' '(Default)' | grep -q 'Kavrel.Konfiguracja' ||
  wine_quiet reg query 'HKLM\Software\Classes\.kvl' | grep -q 'Kavrel.Konfiguracja' || fail ".kvl is not registered"
wine_quiet reg query 'HKLM\Software\Classes\Kavrel.Konfiguracja\shell\open\command' | grep -q 'Kavrel-Config.exe' ||
  fail ".kvl does not open in Kavrel-Config"
# A silent install starts nothing.
running Kavrel-Config.exe && fail "the silent install started Kavrel-Config"

step "Kavrel-Monitor.exe MON.CFG /start on COM7, the simulator's pseudo-terminal"
"$sim" --pty > "$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 1 50); do grep -q '^pty=' "$work/sim.out" && break; sleep 0.1; done
pty=$(sed -n 's/^pty=//p' "$work/sim.out")
[ -n "$pty" ] || fail "the simulator gave no pseudo-terminal"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com7"
documents="$work/dokumenty"
mkdir -p "$documents"
# The monitor's settings file: its magic, COM 7, the results file, a record period of 1 minute
# (a file shorter than 688 bytes keeps the defaults of the fields it does not hold).
{
  printf 'KVRLCFG1\x07\x00\x00\x00'
  printf 'WYNIKI.CSV'; head -c 54 /dev/zero
  printf '\x01\x00\x00\x00'
} > "$documents/MON.CFG"
(cd "$documents" && wine "$install/Kavrel-Monitor.exe" MON.CFG /start </dev/null >/dev/null 2>&1 &)
for _ in $(seq 1 150); do
  [ -f "$documents/WYNIKI.CSV" ] && [ "$(wc -l < "$documents/WYNIKI.CSV")" -ge 2 ] && break
  sleep 0.2
done
[ -f "$documents/WYNIKI.CSV" ] || fail "the monitor wrote no CSV log"
[ "$(wc -l < "$documents/WYNIKI.CSV")" -ge 2 ] || fail "the CSV log has no row: $(cat "$documents/WYNIKI.CSV")"
head -n 1 "$documents/WYNIKI.CSV" | grep -q 'Linia L1' || fail "unexpected CSV header: $(head -n 1 "$documents/WYNIKI.CSV")"
close_program Kavrel-Monitor.exe
key='HKCU\Software\Ostrevan\Kavrel'
registry_value "$key" Port_COM | grep -Eq 'REG_DWORD +0x7$' || fail "Port_COM after the monitor: $(registry_value "$key" Port_COM)"
registry_value "$key" Transmisja_TCP | grep -Eq 'REG_DWORD +0x0$' || fail "Transmisja_TCP is no DWORD 0"

step "Kavrel-Config.exe and Kavrel-Logger.exe start and close"
(cd "$documents" && wine "$install/Kavrel-Config.exe" </dev/null >/dev/null 2>&1 &)
wait_for_window Kavrel-Config.exe
sleep 2
close_program Kavrel-Config.exe
registry_value "$key" Adres_IP | grep -q 'REG_SZ' || fail "Adres_IP is no string: $(registry_value "$key" Adres_IP)"
registry_value "$key" Port_TCP | grep -q 'REG_DWORD' || fail "Port_TCP is no DWORD"
(cd "$documents" && wine "$install/Kavrel-Logger.exe" </dev/null >/dev/null 2>&1 &)
wait_for_window Kavrel-Logger.exe
sleep 2
close_program Kavrel-Logger.exe
logger_key='HKCU\Software\Ostrevan\Kavrel-Logger'
registry_value "$logger_key" ComPORT | grep -q 'REG_DWORD' || fail "the logger's ComPORT is no DWORD"
registry_value "$logger_key" Speed | grep -q 'REG_DWORD' || fail "the logger's Speed is no DWORD"

step "kavrel.exe ports and version on COM7"
wine_quiet "$install/kavrel.exe" --com 7 version | tr -d '\r' | grep -q '^Kavrel V3.6EL$' || fail "kavrel.exe --com 7 version"
wine_quiet "$install/kavrel.exe" ports >/dev/null || fail "kavrel.exe ports"

step "silent uninstall"
echo "moje" > "$install/moje-notatki.txt"   # a file of the user's in the program folder stays
wine_quiet "$install/uninstall.exe" /S || fail "the uninstaller exited with $?"
wineserver -w
remaining=$(cd "$install" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$remaining" = "./moje-notatki.txt " ] || fail "left in the program folder: $remaining"
[ ! -e "$menu" ] || fail "the Start-menu folder is left"
wine_quiet reg query "$uninstall_key" >/dev/null 2>&1 && fail "the Add/Remove Programs entry is left"
wine_quiet reg query 'HKLM\Software\Classes\Kavrel.Konfiguracja' >/dev/null 2>&1 && fail "the .kvl file type is left"
wine_quiet reg query 'HKLM\Software\Classes\.kvl' >/dev/null 2>&1 && fail "the .kvl extension is left"
registry_value "$key" Port_COM | grep -q 'REG_DWORD' || fail "the user's settings went with the uninstall"
[ -f "$documents/WYNIKI.CSV" ] || fail "the user's CSV log went with the uninstall"
echo "installer end to end: ok"
