#!/usr/bin/env bash
# The bash completion of kavrel, driven as bash drives it: words in, candidates out.
#   completion_test.sh COMPLETION_SCRIPT KAVREL_FOLDER
set -u
script=$1
export PATH="$2:$PATH"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && touch modul.kvl MONITOR.CFG notatki.txt && mkdir kopie
export XDG_CONFIG_HOME="$folder/config" KAVREL_COM6="$folder/notatki.txt"
# shellcheck source=/dev/null
source "$script"
failures=0
expect() {   # expect "CANDIDATES" WORD...: the completion of the last word
    local want=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _kavrel
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    if [[ "$got" != "$want " ]]; then
        echo "FAIL: [$*] gave [$got], expected [$want ]"
        failures=$((failures + 1))
    fi
}
expect "config" kavrel co
expect "--device" kavrel --tcp 127.0.0.1 --d
expect "--com" kavrel --c
expect "set-period status" kavrel --tcp h:1 logger s
expect "kopie modul.kvl" kavrel config write ""
expect "--dry-run" kavrel config write modul.kvl --dr
expect "MONITOR.CFG kopie" kavrel monitor --settings ""
expect "6" kavrel --com 6
expect "0 1 2 3 4 5" kavrel logger print --period ""
expect "--json" kavrel logger status --j
expect "--json" kavrel ports --j
expect "chart clear" kavrel logger c
expect "poll" kavrel fleet p
[[ $failures -eq 0 ]] && echo "completion: all cases pass"
exit "$failures"
