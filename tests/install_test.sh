#!/usr/bin/env bash
# Installs the build into a temporary prefix and converts the sample with
# the installed program.
set -euo pipefail
build=$1 samples=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/lorvex"
test -f "$prefix/share/man/man1/lorvex.1"
"$prefix/bin/lorvex" -q "$samples/logger-run.tim" "$prefix/out.txt" >/dev/null
# The two header lines carry the build and run times.
cmp <(tail -n +3 "$prefix/out.txt") <(tail -n +3 "$samples/logger-run.txt")
echo "installed and converted the sample"
