#!/usr/bin/env bash
# The manual page renders without a warning and documents every switch
# that the usage text lists.
set -euo pipefail
lorvex=$1 page=$2
if ! command -v groff >/dev/null; then
  echo "SKIPPED: groff is not installed"
  exit 77
fi

warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
  echo "groff warns about $page:"
  echo "$warnings"
  exit 1
fi

switches=$( ("$lorvex" || true) | tr -d '\r' | sed -n 's/^-\([A-Za-z]\) .*/\1/p')
[ -n "$switches" ] || { echo "no switches found in the usage text"; exit 1; }
for s in $switches; do
  grep -q "^\.B \\\\-$s\$" "$page" || { echo "switch -$s is not documented in $page"; exit 1; }
done
echo "manual page renders cleanly and documents: $(echo $switches)"
