#!/usr/bin/env bash
# The installer end to end under Wine, in a fresh prefix on a virtual display (Xvfb): a silent
# install; the installed Kavrel-Monitor.exe started with a settings file and /start on COM7,
# the simulator's pseudo-terminal, writing its CSV log; Kavrel-Config.exe reading the module
# and saving a .kvl equal to the Linux tool's, driven as a user drives it (xdotool's clicks and
# keys); Kavrel-Logger.exe started; each closed as the close box closes it (WM_CLOSE) and its registry values read back;
# a silent uninstall that removes what it installed and leaves the user's settings and files.
# The prefix is a Polish user's (polish_profile.sh): the account Michał, whose Documents
# folder is the programs' working folder, and the Polish code page. The Start-menu links start
# in each user's own Documents; the uninstaller refuses while a program runs. Then the install
# for one user only (/CURRENTUSER): the user's folders and HKCU alone, and its uninstall.
#   installer_end_to_end.sh SETUP.EXE KAVREL-SIM KAVREL "PROGRAM..."
#   (KAVREL: the Linux tool whose configuration file Kavrel-Config's must equal; PROGRAM: the
#   window programs the build made)
set -euo pipefail
setup=$(realpath "$1")
sim=$(realpath "$2")
kavrel=$(realpath "$3")
programs=" $4 "
built() { [[ $programs == *" $1 "* ]]; }

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# shellcheck source=polish_profile.sh
. "$(dirname "$0")/polish_profile.sh"
polish_profile "$(dirname "$setup")/locale"
# Wine links the profile's Documents to the home folder: one of the test's own.
export HOME="$work/dom Michała"
mkdir -p "$HOME"
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
# reg query's line of one value: "    NAME    REG_DWORD    0x7" (-a: a Polish path is no binary).
registry_value() { wine_quiet reg query "$1" /v "$2" | tr -d '\r' | grep -aE "^ +$2 " || true; }
# Whether a program runs in this prefix (Wine's tasklist lists nothing): Wine's processes show
# the path they were started by as their command line, and carry the prefix in their environment.
running() {
  local pid
  for pid in $(pgrep -f "[/\\\\]$1" || true); do
    tr '\0' '\n' 2>/dev/null < "/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
# Closes a program as its close box does, and waits until it has ended. On a busy machine
# the process may be up before its window is: the close message is sent again every 2 s.
close_program() {
  for _ in $(seq 1 10); do
    wine_quiet taskkill /IM "$1" >/dev/null || true
    for _ in $(seq 1 10); do running "$1" || return 0; sleep 0.2; done
  done
  fail "$1 did not end after WM_CLOSE"
}
wait_for_window() {
  for _ in $(seq 1 150); do running "$1" && return 0; sleep 0.2; done
  fail "$1 did not start"
}

step "fresh Wine prefix of the user Michał, silent install"
wineboot --init >/dev/null 2>&1 || true
profile="$WINEPREFIX/drive_c/users/$USER"
[ -d "$profile/AppData/Roaming" ] || fail "the prefix has no profile $profile"
wine_quiet "$setup" /S || fail "the installer exited with $?"
wineserver -w
install="$WINEPREFIX/drive_c/Program Files/Kavrel"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kavrel"
# A link's texts are UTF-16: its working folder is the variable that each user's shell
# expands, never the installing account's folder.
link_texts() { strings -e l "$1" || true; }
for program in $programs; do
  [ -f "$install/$program.exe" ] || fail "$program.exe is not installed"
  [ -f "$menu/$program.lnk" ] || fail "no Start-menu entry $program"
  link_texts "$menu/$program.lnk" | grep -qxF '%USERPROFILE%\Documents' ||
    fail "$program.lnk does not start in %USERPROFILE%\Documents: $(link_texts "$menu/$program.lnk" | tr '\n' ' ')"
  ! link_texts "$menu/$program.lnk" | grep -qi 'users.Micha' || fail "$program.lnk names the installing account's folder"
done
for file in kavrel.exe uninstall.exe README.txt qt.conf \
            Qt6Core.dll Qt6Widgets.dll Qt6PrintSupport.dll libstdc++-6.dll plugins/platforms/qwindows.dll \
            plugins/styles/qwindowsvistastyle.dll translations/qtbase_pl.qm; do
  [ -f "$install/$file" ] || fail "$file is not installed"
done
[ ! -e "$install/Qt6Test.dll" ] || fail "the test library is installed"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel'
registry_value "$uninstall_key" UninstallString | grep -q 'uninstall.exe' || fail "no Add/Remove Programs entry"
registry_value 'HKLM\Software\Classes\.kvl' '(Default)' | grep -q 'Kavrel.Konfiguracja' ||
  wine_quiet reg query 'HKLM\Software\Classes\.kvl' | grep -q 'Kavrel.Konfiguracja' || fail ".kvl is not registered"
wine_quiet reg query 'HKLM\Software\Classes\Kavrel.Konfiguracja\shell\open\command' | grep -q 'Kavrel-Config.exe' ||
  fail ".kvl does not open in Kavrel-Config"
# A silent install starts nothing.
running Kavrel-Config.exe && fail "the silent install started Kavrel-Config"

step "the simulator's pseudo-terminal as COM7"
received="$work/received.log"   # every line the simulator received
"${linux_env[@]}" "$sim" --pty --records 40 --line-log "$received" > "$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 1 50); do grep -q '^pty=' "$work/sim.out" && break; sleep 0.1; done
pty=$(sed -n 's/^pty=//p' "$work/sim.out")
[ -n "$pty" ] || fail "the simulator gave no pseudo-terminal"
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com7"
documents="$profile/Documents"
[ -d "$documents" ] || fail "the profile has no Documents folder"
echo "notatka" > "$documents/notatka.txt"   # a file of the user's, which the uninstall leaves
key='HKCU\Software\Ostrevan\Kavrel'
logger_key='HKCU\Software\Ostrevan\Kavrel-Logger'

if built Kavrel-Monitor; then
step "Kavrel-Monitor.exe MON.CFG /start on COM7"
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
registry_value "$key" Port_COM | grep -Eq 'REG_DWORD +0x7$' || fail "Port_COM after the monitor: $(registry_value "$key" Port_COM)"
registry_value "$key" Transmisja_TCP | grep -Eq 'REG_DWORD +0x0$' || fail "Transmisja_TCP is no DWORD 0"
fi

# The top-level windows shown (Wine gives each its own X window).
shown_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | sort || true; }
# A path of this machine as the programs under Wine name it.
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }
# The button map a program keeps when started with KAVREL_BUTTON_MAP (lines of window title,
# caption, X and Y on the screen, 1 when enabled; tab-separated).
button_map="$work/buttons.tsv"
button_place() { awk -F'\t' -v window="$1" -v caption="$2" '$1 == window && $2 == caption && $5 == 1 { print $3, $4; exit }' "$button_map" 2>/dev/null; }
# Waits until the window shows the button enabled, at most 30 s.
wait_for_button() {
  for _ in $(seq 1 150); do [ -n "$(button_place "$1" "$2")" ] && return 0; sleep 0.2; done
  return 1
}
map_listing() { tr '\t\n' ' ;' < "$button_map" 2>/dev/null | cut -c1-600 || echo "none written"; }
click_in() { # click_in WINDOW CAPTION
  local place
  place=$(button_place "$1" "$2")
  # shellcheck disable=SC2086  # "X Y"
  xdotool mousemove $place click 1
}
click_button() { click_in "Konfigurator Kavrel" "$1"; }
# Clicks the button until a new top-level window (a dialog) shows, at most five times: the
# map may still show the button as it was a moment before. Sets dialog.
click_for_dialog() { # click_for_dialog WINDOW CAPTION
  local before
  before=$(shown_windows)
  dialog=""
  for _ in $(seq 1 5); do
    wait_for_button "$1" "$2" || break
    click_in "$1" "$2"
    for _ in $(seq 1 15); do
      dialog=$(comm -13 <(echo "$before") <(shown_windows) | head -n 1)
      [ -n "$dialog" ] && return 0
      sleep 0.2
    done
  done
  return 1
}
# Types a text into the focused field. xdotool types a letter its keyboard map lacks (ł, ś)
# by mapping a spare key for a moment, which a busy Wine can miss: such a letter goes alone,
# with time before and after it.
type_text() {
  local LC_ALL=C.UTF-8 text=$1 run="" letter i
  for ((i = 0; i < ${#text}; i++)); do
    letter=${text:i:1}
    if [[ $letter == [\ -~] ]]; then run+=$letter; continue; fi
    [ -n "$run" ] && xdotool type --delay 20 "$run"
    run=""
    sleep 0.5
    xdotool type --delay 100 "$letter"
    sleep 0.5
  done
  [ -n "$run" ] && xdotool type --delay 20 "$run"
  return 0
}
# Gives the dialog click_for_dialog found the keyboard and time to put its name field in front:
# on a loaded machine the first keys typed could reach no field and be lost.
focus_dialog() {
  timeout 5 xdotool windowfocus --sync "$dialog" >/dev/null 2>&1 || true
  sleep 2
}
# The simulator's received lines: how many so far, those after the first N, and a wait (at
# most 60 s) until one of them after the first N is LINE.
received_count() { wc -l < "$received" 2>/dev/null || echo 0; }
received_since() { tail -n +"$(($1 + 1))" "$received" 2>/dev/null | tr -d '\r' | tr '\n' ' ' | cut -c1-400; }
wait_for_received() {
  for _ in $(seq 1 300); do
    tail -n +"$(($2 + 1))" "$received" 2>/dev/null | tr -d '\r' | grep -qxF "$1" && return 0
    sleep 0.2
  done
  return 1
}

if built Kavrel-Config; then
step "Kavrel-Config.exe reads the module on COM7 and saves a .kvl"
wine_quiet reg add "$key" /v Port_COM /t REG_DWORD /d 7 /f >/dev/null
wine_quiet reg add "$key" /v Transmisja_TCP /t REG_DWORD /d 0 /f >/dev/null
(cd "$documents" && KAVREL_BUTTON_MAP="$(windows_path "$button_map")" wine "$install/Kavrel-Config.exe" </dev/null >/dev/null 2>&1 &)
wait_for_window Kavrel-Config.exe
# Driven by what its controls are: the window keeps a map of its buttons (their captions,
# places on the screen and whether they are enabled), and the simulator a log of the lines it
# received, so that each step waits for what shows it done and names what did not happen.
wait_for_button "Konfigurator Kavrel" "Odczytaj z modułu" ||
  fail "Kavrel-Config showed no enabled \"Odczytaj z modułu\" button (its button map: $(map_listing))"
sent_before=$(received_count)
click_button "Odczytaj z modułu"
wait_for_received 'SET?' "$sent_before" ||
  fail "clicking \"Odczytaj z modułu\" sent the module no SET? (received: $(received_since "$sent_before"))"
wait_for_received 'ECFG?' "$sent_before" ||
  fail "the read stopped before its last query, ECFG? (received: $(received_since "$sent_before"))"
# The window takes the answers and enables its buttons again.
wait_for_button "Konfigurator Kavrel" "Zapisz na dysk" ||
  fail "\"Zapisz na dysk\" was not enabled again after the read (its button map: $(map_listing))"
# The map may still show the button as it was before the read took it: a click that opens
# no dialog is tried again.
click_for_dialog "Konfigurator Kavrel" "Zapisz na dysk" || fail "clicking \"Zapisz na dysk\" showed no save dialog"
focus_dialog
# The file name field has the focus; a full Windows path of the documents folder (the home
# folder Wine links it to, with its Polish letter).
type_text "$(windows_path "$(realpath "$documents")")\\MODUL.KVL"
xdotool key Return
for _ in $(seq 1 50); do [ -s "$documents/MODUL.KVL" ] && break; sleep 0.2; done
[ -s "$documents/MODUL.KVL" ] || fail "Kavrel-Config saved no MODUL.KVL"
close_program Kavrel-Config.exe
linux_tool "$kavrel" --device "$pty" config read -o "$work/linux.kvl" >/dev/null 2>&1 || fail "the Linux tool could not read the module"
cmp "$work/linux.kvl" "$documents/MODUL.KVL" >&2 || fail "Kavrel-Config's MODUL.KVL differs from the Linux tool's"
fi

if built Kavrel-Logger; then
step "Kavrel-Logger.exe starts and closes"
# A first run creates the logger's key with every value at its default (COM1); the close
# box writes the port and the speed again.
(cd "$documents" && wine "$install/Kavrel-Logger.exe" </dev/null >/dev/null 2>&1 &)
wait_for_window Kavrel-Logger.exe
sleep 2
close_program Kavrel-Logger.exe
registry_value "$logger_key" ComPORT | grep -Eq 'REG_DWORD +0x1$' || fail "the logger's ComPORT: $(registry_value "$logger_key" ComPORT)"

step "Kavrel-Logger.exe downloads on COM7 into a Polish file name in Michał's Documents"
wine_quiet reg add "$logger_key" /v ComPORT /t REG_DWORD /d 7 /f >/dev/null
(cd "$documents" && KAVREL_BUTTON_MAP="$(windows_path "$button_map")" wine "$install/Kavrel-Logger.exe" </dev/null >/dev/null 2>&1 &)
wait_for_window Kavrel-Logger.exe
wait_for_button "Kavrel-Logger" "Połącz" || fail "Kavrel-Logger showed no enabled \"Połącz\" button (its button map: $(map_listing))"
click_in "Kavrel-Logger" "Połącz"
wait_for_button "Kavrel-Logger" "Odczytaj dane" ||
  fail "\"Odczytaj dane\" was not enabled after \"Połącz\" (its button map: $(map_listing))"
sent_before=$(received_count)
# On a loaded machine the typed name can miss the dialog's field: when the module has been
# asked nothing 15 s after Return, the dialog is closed and the name given once more.
for attempt in 1 2; do
  click_for_dialog "Kavrel-Logger" "Odczytaj dane" || fail "clicking \"Odczytaj dane\" showed no save dialog"
  focus_dialog
  type_text "$(windows_path "$(realpath "$documents")")\\pomiary_środa"
  xdotool key Return
  for i in $(seq 1 300); do
    [ -s "$documents/pomiary_środa.html" ] && break
    [ "$i" -eq 75 ] && [ "$attempt" -eq 1 ] && [ -z "$(received_since "$sent_before")" ] && break
    sleep 0.2
  done
  [ -s "$documents/pomiary_środa.html" ] || [ -n "$(received_since "$sent_before")" ] && break
  echo "   the name reached no dialog field; once more" >&2
  xdotool key Escape
  sleep 1
done
window_names() { for window in $(shown_windows); do xdotool getwindowname "$window" 2>/dev/null; done | tr '\n' ';'; }
# The dialog adds the extension of its filter, "*.CSV".
[ -s "$documents/pomiary_środa.CSV" ] ||
  fail "no pomiary_środa.CSV in Documents: $(ls "$documents" | tr '\n' ' ') (windows: $(window_names); received: $(received_since "$sent_before"))"
[ -s "$documents/pomiary_środa.html" ] || fail "no pomiary_środa.html in Documents: $(ls "$documents" | tr '\n' ' ')"

step "the uninstaller refuses while Kavrel-Logger.exe runs"
# In place (_?=), as deployment tools run it to learn its exit code; from a batch file, since
# _?= takes the rest of the command line unquoted.
printf '"C:\\Program Files\\Kavrel\\uninstall.exe" /S _?=C:\\Program Files\\Kavrel\r\nexit /b %%ERRORLEVEL%%\r\n' > "$work/in_place.bat"
status=0
wine_quiet cmd /c "$(windows_path "$work/in_place.bat")" >/dev/null || status=$?
[ "$status" -eq 2 ] || fail "the uninstaller exited with $status while Kavrel-Logger.exe ran"
for file in uninstall.exe Kavrel-Logger.exe kavrel.exe Qt6Core.dll; do
  [ -f "$install/$file" ] || fail "the refused uninstall removed $file"
done
close_program Kavrel-Logger.exe
fi

step "the registry values the programs wrote, with their types"
# Numbers are DWORDs, texts strings: the configurator and the monitor write theirs when they
# are closed, the logger its own when it finds its key missing.
expected_values=()
if built Kavrel-Config || built Kavrel-Monitor; then
  expected_values+=("$key Port_COM REG_DWORD" "$key Transmisja_TCP REG_DWORD" "$key Adres_IP REG_SZ" "$key Port_TCP REG_DWORD")
fi
if built Kavrel-Logger; then
  # (its address and TCP port are written by "Koniec pracy" only)
  for value in ComPORT Speed Connect_9600 Connect_TCPIP Separate_Comma; do
    expected_values+=("$logger_key $value REG_DWORD")
  done
fi
for entry in "${expected_values[@]}"; do
  read -r where name type <<< "$entry"
  registry_value "$where" "$name" | grep -Eq "^ +$name +$type( |$)" ||
    fail "$where\\$name is no $type: '$(registry_value "$where" "$name")'"
done

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
[ -f "$documents/notatka.txt" ] || fail "the user's files went with the uninstall"

step "install for me only (/S /CURRENTUSER): the user's own folders and HKCU, no HKLM key"
wine_quiet "$setup" /S /CURRENTUSER || fail "the per-user installer exited with $?"
wineserver -w
user_install="$profile/AppData/Local/Programs/Kavrel"
user_menu="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kavrel"
for file in kavrel.exe uninstall.exe $programs; do
  [ "${file%.exe}" = "$file" ] && file="$file.exe"
  [ -f "$user_install/$file" ] || fail "no $file in $user_install"
done
[ -f "$user_menu/Kavrel-Config.lnk" ] || fail "no Kavrel-Config link in the user's Start menu"
for machine_key in "$uninstall_key" 'HKLM\Software\Classes\.kvl' 'HKLM\Software\Classes\Kavrel.Konfiguracja'; do
  wine_quiet reg query "$machine_key" >/dev/null 2>&1 && fail "the per-user install wrote $machine_key"
done
user_uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel'
for value in DisplayVersion Publisher DisplayIcon EstimatedSize QuietUninstallString; do
  [ -n "$(registry_value "$user_uninstall_key" "$value")" ] || fail "the user's uninstall entry has no $value"
done
# (Wine's shell looks file types up in HKLM alone: the association is checked in the registry.)
wine_quiet reg query 'HKCU\Software\Classes\Kavrel.Konfiguracja\shell\open\command' | grep -aq 'AppData.Local.Programs.Kavrel.Kavrel-Config.exe' ||
  fail ".kvl does not open in the user's Kavrel-Config"
wine_quiet "$user_install/kavrel.exe" --version | tr -d '\r' | grep -q . || fail "the user's kavrel.exe does not start"
if [ -n "${KAVREL_SIGN_CERT:-}" ]; then
  # The uninstaller is signed inside the installer, as it is built.
  osslsigncode verify -CAfile "$KAVREL_SIGN_CERT" -in "$user_install/uninstall.exe" >/dev/null ||
    fail "the installed uninstall.exe carries no valid signature"
fi
wine_quiet "$user_install/uninstall.exe" /S || fail "the per-user uninstaller exited with $?"
wineserver -w
[ ! -e "$user_install" ] || fail "left in the user's program folder: $(cd "$user_install" && find . -mindepth 1 | tr '\n' ' ')"
[ ! -e "$user_menu" ] || fail "the user's Start-menu folder is left"
wine_quiet reg query "$user_uninstall_key" >/dev/null 2>&1 && fail "the user's uninstall entry is left"
wine_quiet reg query 'HKCU\Software\Classes\Kavrel.Konfiguracja' >/dev/null 2>&1 && fail "the user's .kvl file type is left"

if built Kavrel-Monitor; then
step "portable copy from the zip (portable.ini): settings beside the programs, nothing in the registry"
zip="$(dirname "$setup")/$(basename "$setup" .exe | sed 's/^kavrel-setup-/kavrel-/').zip"
stick="$work/pendrive"
mkdir -p "$stick"
(cd "$stick" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
: > "$stick/Kavrel/portable.ini"
for own_key in 'HKCU\Software\Ostrevan' 'HKCU\Software\QtProject'; do
  wine_quiet reg delete "$own_key" /f >/dev/null 2>&1 || true
done
touch "$work/before-portable"
(cd "$documents" && wine "$stick/Kavrel/Kavrel-Monitor.exe" MON.CFG /start </dev/null >/dev/null 2>&1 &)
wait_for_window Kavrel-Monitor.exe
sleep 2
close_program Kavrel-Monitor.exe
grep -aq 'Port_COM=dword:7' "$stick/Kavrel/Kavrel.ini" 2>/dev/null ||
  fail "the portable monitor kept no Port_COM beside itself: $(cd "$stick/Kavrel" && echo ./*.ini)"
# The command-line tool of the same copy takes the connection the monitor saved there.
wine_quiet "$stick/Kavrel/kavrel.exe" version | tr -d '\r' | grep -q '^Kavrel V3.6EL$' ||
  fail "the portable kavrel.exe did not reach COM7 by the monitor's saved connection"
wineserver -w
for own_key in 'HKCU\Software\Ostrevan' 'HKCU\Software\QtProject'; do
  wine_quiet reg query "$own_key" >/dev/null 2>&1 && fail "the portable copy wrote $own_key"
done
written=$(find "$profile" -newer "$work/before-portable" -type f -path '*Ostrevan*' | tr '\n' ' ')
[ -z "$written" ] || fail "the portable copy wrote into the profile: $written"
fi
echo "installer end to end: ok"
