#!/usr/bin/env bash
# Converts more than 4 GiB, streamed through a FIFO so that no disk holds
# it, with the output thrown away, and prints the wall time and the peak
# RSS next to those of a 16 MiB run: memory must not grow with the input.
#
#     bash bench/large_input.sh          # LARGE_GIB=4.5 by default
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-bench
out=bench/out
gib=${LARGE_GIB:-4.5}
mkdir -p "$out"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLORVEX_BUILD_TESTS=OFF -DLORVEX_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target lorvex spawn_usage >/dev/null
chunk=$out/realistic-16.tim
[ -f "$chunk" ] || python3 bench/gen_timing.py --mib 16 --seed 4 --values 8-64 "$chunk"

chunk_bytes=$(stat -c %s "$chunk")
repeats=$(python3 -c "import math; print(math.ceil($gib * 2**30 / $chunk_bytes))")
total=$((repeats * chunk_bytes))
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkfifo "$tmp/in"

run() {  # label, input, bytes
  read -r wall cpu rss code < <("$build/bench/spawn_usage" /dev/null "$build/lorvex" -q "$2" /dev/null)
  printf '%-10s %14d bytes  %8.2f s  %7.1f MB/s  peak RSS %6d KiB  exit %d\n' \
    "$1" "$3" "$wall" "$(python3 -c "print($3 / $wall / 1e6)")" "$rss" "$code"
  [ "$code" = 0 ]
}

run "16 MiB" "$chunk" "$chunk_bytes"
(for ((i = 0; i < repeats; i++)); do cat "$chunk"; done >"$tmp/in") &
run "$gib GiB" "$tmp/in" "$total"
wait
