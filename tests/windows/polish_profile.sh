# shellcheck shell=bash
# Sourced by the Wine tests: Wine runs as a Polish user, as most of ours are. The account is
# Michał (profile C:\users\Michał, APPDATA below it; a prefix takes the name it is made
# with), and the locale is Polish, so that the ANSI code page is 1250 as on a Polish Windows.
# The pl_PL.UTF-8 locale comes from the system, or is made once with localedef into
# KAVREL_WINE_LOCALES (build-windows/locale when the script gives no other folder).
#   polish_profile LOCALE_FOLDER      sets USER, LOGNAME and the locale for Wine
#   linux_tool COMMAND...             runs a Linux program in the neutral locale
polish_profile() {
  local locales=${KAVREL_WINE_LOCALES:-$1}
  export USER=Michał LOGNAME=Michał
  if locale -a 2>/dev/null | grep -qix 'pl_PL.utf-\?8'; then
    export LC_ALL=pl_PL.UTF-8
    return
  fi
  if [ ! -f "$locales/pl_PL.UTF-8/LC_CTYPE" ]; then
    mkdir -p "$locales"
    localedef -i pl_PL -f UTF-8 "$locales/pl_PL.UTF-8" >/dev/null 2>&1 || true
  fi
  if [ -f "$locales/pl_PL.UTF-8/LC_CTYPE" ]; then
    export LOCPATH=$locales
    # (this shell does not see its own LOCPATH and would warn that it cannot switch)
    export LC_ALL=pl_PL.UTF-8 2>/dev/null
  else
    echo "polish_profile: no pl_PL.UTF-8 locale (localedef failed); Wine keeps its default code page" >&2
  fi
}

# The Linux simulator and tool, whose output the tests compare with, in the locale they are
# tested in on Linux. A program started in the background takes the array, so that $! is its
# own process id (env runs it in its place): "${linux_env[@]}" "$sim" ... &
linux_env=(env -u LOCPATH LC_ALL=C.UTF-8)
linux_tool() { "${linux_env[@]}" "$@"; }
