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
# kavrel's pages in both languages are made from its help: the same commands, each with its
# own part, the same exit statuses (3: records lost before they were archived) and the
# archive among the files; neither falls behind the other.
if [[ -f $folder/kavrel.1.gz && -f $folder/pl/kavrel.1.gz ]]; then
    english=$(zcat "$folder/kavrel.1.gz") polish=$(zcat "$folder/pl/kavrel.1.gz")
    [[ $(grep '^\.SS ' <<<"$english") == $(grep '^\.SS ' <<<"$polish") ]] ||
        { echo "FAIL: kavrel(1) and its Polish page describe other commands"; failures=$((failures + 1)); }
    for command in version ping monitor config logger ports fleet; do
        grep -q "^\.SS $command\$" <<<"$polish" || { echo "FAIL: the Polish kavrel(1) has no $command"; failures=$((failures + 1)); }
    done
    for text in "$english" "$polish"; do
        grep -q '^\.B 3$' <<<"$text" || { echo "FAIL: a kavrel(1) page has no exit status 3"; failures=$((failures + 1)); }
        grep -q 'archive update' <<<"$text" || { echo "FAIL: a kavrel(1) page has no archive update"; failures=$((failures + 1)); }
        grep -q 'config status' <<<"$text" || { echo "FAIL: a kavrel(1) page has no config status"; failures=$((failures + 1)); }
    done
    grep -q '^użycie: kavrel' <<<"$polish" || { echo "FAIL: the Polish kavrel(1) is not made from the Polish help"; failures=$((failures + 1)); }
    lines_en=$(wc -l <<<"$english") lines_pl=$(wc -l <<<"$polish")
    (( lines_pl * 10 >= lines_en * 9 )) ||
        { echo "FAIL: the Polish kavrel(1) has $lines_pl lines against $lines_en"; failures=$((failures + 1)); }
fi
[[ $failures -eq 0 ]] && echo "manual pages: all sections present"
exit "$failures"
