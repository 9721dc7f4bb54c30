#!/usr/bin/env bash
# Every manual page, English and Polish, has the sections a user looks for, and man reads
# it without a warning.
#   manual_pages_test.sh BUILD_MAN_FOLDER
set -u
folder=$1
failures=0
check() {   # check PAGE SECTION...
    local page=$1 text
    shift
    text=$(zcat "$page")
    for section in "$@"; do
        grep -q "^\.SH \"\?$section\"\?\$" <<<"$text" || { echo "FAIL: $page has no $section"; failures=$((failures + 1)); }
    done
    if command -v man >/dev/null; then
        warnings=$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
        [[ -z $warnings ]] || { echo "FAIL: $page: $warnings"; failures=$((failures + 1)); }
    fi
}
for name in kavrel kavrel-sim Kavrel-Config Kavrel-Monitor Kavrel-Logger; do
    [[ -f $folder/$name.1.gz ]] || continue   # a program this build leaves out
    check "$folder/$name.1.gz" NAME SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT FILES "SEE ALSO"
    [[ -f $folder/pl/$name.1.gz ]] || { echo "FAIL: no Polish page of $name"; failures=$((failures + 1)); continue; }
    check "$folder/pl/$name.1.gz" NAZWA SKŁADNIA OPIS "KOD WYJŚCIA" ŚRODOWISKO PLIKI "ZOBACZ TAKŻE"
done
[[ -f $folder/kavrel.1.gz ]] || { echo "FAIL: no kavrel(1)"; failures=$((failures + 1)); }
zcat "$folder/kavrel.1.gz" | grep -q KAVREL_TRACE || { echo "FAIL: kavrel(1) does not name KAVREL_TRACE"; failures=$((failures + 1)); }
[[ $failures -eq 0 ]] && echo "manual pages: all sections present"
exit "$failures"
