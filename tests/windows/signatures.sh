#!/usr/bin/env bash
# Every program of the package and the installer carry a valid signature by the certificate
# that KAVREL_SIGN_CERT names (scripts/build-windows signs them when it is given; scripts/test
# --windows makes a throw-away one). Without a certificate there is nothing to check: skipped.
#   signatures.sh PACKAGE-FOLDER SETUP.EXE
set -euo pipefail
package=$1
setup=$2
if [ -z "${KAVREL_SIGN_CERT:-}" ]; then
  echo "signatures: KAVREL_SIGN_CERT not set, the build is not signed"
  exit 77
fi
checked=0
while IFS= read -r -d '' file; do
  osslsigncode verify -CAfile "$KAVREL_SIGN_CERT" -in "$file" >/dev/null 2>&1 ||
    { echo "FAIL: $file carries no valid signature" >&2; exit 1; }
  checked=$((checked + 1))
done < <(find "$package" "$setup" -name '*.exe' -print0)
[ "$checked" -ge 2 ] || { echo "FAIL: only $checked programs found in $package" >&2; exit 1; }
echo "signatures: $checked programs verified"
