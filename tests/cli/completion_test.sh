#!/usr/bin/env bash
# The bash completion of kavrel, driven as bash drives it: words in, candidates out.
#   completion_test.sh COMPLETION_SCRIPT KAVREL_FOLDER
set -u
script=$1
export PATH="$2:$PATH"
folder=$(mktemp -d) settings=$(mktemp -d)
trap 'rm -rf "$folder" "$settings"' EXIT
cd "$folder" && touch modul.kvl MONITOR.CFG notatki.txt "pomiary środa.kvl" stacja.db && mkdir kopie "stare pomiary"
export XDG_CONFIG_HOME="$settings" KAVREL_COM6="$folder/notatki.txt"
# shellcheck source=/dev/null
source "$script"
failures=0
expect() {   # expect "CANDIDATE|CANDIDATE..." WORD...: the completion of the last word, sorted
    local want=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _kavrel
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd '|')
    if [[ "$got" != "$want" ]]; then
        echo "FAIL: [$*] gave [$got], expected [$want]"
        failures=$((failures + 1))
    fi
}
expect "config" kavrel co
expect "--device" kavrel --tcp 127.0.0.1 --d
expect "--com" kavrel --c
expect "set-period|status" kavrel --tcp h:1 logger s
expect "kopie|modul.kvl|pomiary środa.kvl|stare pomiary" kavrel config write ""
expect "--dry-run" kavrel config write modul.kvl --dr
expect "MONITOR.CFG|kopie|stare pomiary" kavrel monitor --settings ""
expect "6" kavrel --com 6
expect "0|1|2|3|4|5" kavrel logger print --period ""
expect "--json" kavrel logger status --j
expect "--json" kavrel ports --j
expect "chart|clear" kavrel logger c
expect "archive" kavrel logger a
expect "poll" kavrel fleet p
expect "apply" kavrel fleet config a
expect "--stop-at" kavrel fleet config apply szablon.kvl --st
expect "--from-backups" kavrel fleet config drift --fr
expect "history" kavrel config h
# Names with spaces stay whole, typed plain, after a backslash or after a quote.
expect "pomiary środa.kvl" kavrel config write pom
expect "pomiary środa.kvl" kavrel config write 'pomiary\ ś'
expect "pomiary środa.kvl" kavrel config write '"pomiary ś'
expect "stacja.db|stare pomiary" kavrel --trace st
# What came with the journal, the backups and the archive.
expect "restore|resume" kavrel config res
expect "status" kavrel config st
expect "--backup" kavrel config write modul.kvl --ba
expect "--yes" kavrel config write modul.kvl --y
expect "kopie|modul.kvl|pomiary środa.kvl|stare pomiary" kavrel config restore ""
expect "--help|export|import|status|update" kavrel logger archive ""
expect "kvl-csv" kavrel logger archive export stacja.db --format k
expect "rfc4180" kavrel logger download -o wyniki --dialect r
expect "jsonl" kavrel logger archive export stacja.db --format j
expect "--influx" kavrel fleet poll --hosts flota.txt --inf
expect "homeassistant" kavrel fleet poll --mqtt 127.0.0.1 --mqtt-discovery h
expect "--archive" kavrel logger archive import historia.csv --ar
expect "kopie|stacja.db|stare pomiary" kavrel logger archive update ""
expect "--segment" kavrel logger archive export stacja.db --se
expect "--archived" kavrel logger clear --archiv
expect "kopie|stacja.db|stare pomiary" kavrel logger clear --archived ""
expect "kopie|stacja.db|stare pomiary" kavrel logger chart --archive ""
expect "--name" kavrel logger clear --archived stacja.db --na
[[ $failures -eq 0 ]] && echo "completion: all cases pass"
exit "$failures"
