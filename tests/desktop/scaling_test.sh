#!/usr/bin/env bash
# Every window and dialog the screenshot programs show, at display scalings of 100, 125, 150
# and 200 % (Qt's scale factor), with no label, button, group title or header caption
# narrower than its text (KAVREL_CHECK_CLIPPING: the programs list each cut-off text).
#   scaling_test.sh SCREENSHOTS-FOLDER
set -euo pipefail
programs=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen KAVREL_CHECK_CLIPPING=1
failed=0
for factor in 1 1.25 1.5 2; do
  mkdir -p "$work/$factor"
  for program in config-screenshots monitor-screenshots logger-screenshots; do
    [ -x "$programs/$program" ] || continue
    # Only a cut-off text fails here: a picture the program could not make (a busy machine's
    # slow simulator) is the screenshots' business, and is said.
    QT_SCALE_FACTOR=$factor "$programs/$program" "$work/$factor" >/dev/null 2>"$work/$factor/$program.err" ||
      echo "note: $program at $factor did not make every picture" >&2
    if grep -aq 'ucięty tekst' "$work/$factor/$program.err"; then
      echo "FAIL: $program at $factor:" >&2
      grep -a 'ucięty tekst' "$work/$factor/$program.err" | head -n 20 >&2
      failed=1
    fi
  done
done
[ "$failed" -eq 0 ] && echo "scaling: no text cut off at 100, 125, 150 and 200 %"
exit "$failed"
