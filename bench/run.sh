#!/usr/bin/env bash
# The whole benchmark, from the repository root:
#
#     bash bench/run.sh
#
# Builds lorvex (release) and the benchmark programs in build-bench/,
# writes the timing files into bench/out/ once, times lorvex -q, lorvex with
# its trace, cat and the stdio port on each, prints the table, then runs the
# number-text micro-benchmark.
#
#   BENCH_ROUNDS=N   rounds per case (default 5; 3 with BENCH_QUICK)
#   BENCH_QUICK=1    32 MiB inputs instead of 256 and 64 MiB, 3 rounds
#   BENCH_MICRO=0    skip the micro-benchmark
#   BENCH_CLEAN=1    also remove the generated inputs at the end
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-bench
out=$root/bench/out
quick=${BENCH_QUICK:-0}
if [ "$quick" = 1 ]; then rounds=${BENCH_ROUNDS:-3}; else rounds=${BENCH_ROUNDS:-5}; fi
mkdir -p "$out"

# name, MiB and generator options of each case.
if [ "$quick" = 1 ]; then
  cases=("realistic-32 32 --seed 1 --values 8-64"
         "long-records-32 32 --seed 2 --values 200"
         "noise-32 32 --seed 3 --noise"
         "realistic-16 16 --seed 4 --values 8-64")
else
  cases=("realistic-256 256 --seed 1 --values 8-64"
         "long-records-256 256 --seed 2 --values 200"
         "noise-64 64 --seed 3 --noise"
         "realistic-16 16 --seed 4 --values 8-64")
fi

# Room for the inputs still to write and for the largest output (about
# 1.8 times its input) with a margin.
need_mib=512
largest=0
for c in "${cases[@]}"; do
  read -r name mib _ <<<"$c"
  [ -f "$out/$name.tim" ] || need_mib=$((need_mib + mib))
  [ "$mib" -gt "$largest" ] && largest=$mib
done
need_mib=$((need_mib + 2 * largest))
echo "== disk"
df -h "$out" | sed 's/^/   /'
avail_mib=$(df -Pm "$out" | awk 'NR == 2 { print $4 }')
if [ "$avail_mib" -lt "$need_mib" ]; then
  echo "bench: $avail_mib MiB free under $out, $need_mib MiB needed" >&2
  exit 1
fi

echo "== build (release) in $build"
cxx=${CXX:-g++}
warnings=(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror)
if grep -q 'LORVEX_BUILD_BENCH' CMakeLists.txt; then
  # bench/CMakeLists.txt is part of the build.
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLORVEX_BUILD_TESTS=OFF \
    -DLORVEX_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" -j2 --target lorvex stdio_port spawn_usage >/dev/null
  bin=$build/bench
  targets=$(cmake --build "$build" --target help 2>/dev/null || true)
  if grep -q '[ ]number_text_bench$' <<<"$targets"; then
    cmake --build "$build" -j2 --target number_text_bench >/dev/null
  fi
else
  # Not yet hooked into the top-level build: the same programs by hand.
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLORVEX_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 --target lorvex >/dev/null
  bin=$build/bench-direct
  mkdir -p "$bin"
  "$cxx" -std=c++20 -O2 "${warnings[@]}" bench/stdio_port.cpp -o "$bin/stdio_port"
  "$cxx" -std=c++20 -O2 "${warnings[@]}" bench/spawn_usage.cpp -o "$bin/spawn_usage"
  core=$(find "$build" -name liblorvex_core.a -print -quit)
  if [ -f /usr/include/benchmark/benchmark.h ] && [ -n "$core" ]; then
    # -flto: the library may hold LTO objects only (IPO build).
    "$cxx" -std=c++20 -O3 -DNDEBUG -ffp-contract=off -flto=auto "${warnings[@]}" -I. \
      bench/number_text_bench.cpp "$core" -lbenchmark -lpthread -o "$bin/number_text_bench"
  fi
fi
lorvex=$build/lorvex
[ -x "$lorvex" ] || lorvex=$(find "$build" -maxdepth 2 -type f -name lorvex -perm -u+x -print -quit)

echo "== inputs in $out"
gen_sum=$(sha256sum bench/gen_timing.py | cut -c1-16)
inputs=()
for c in "${cases[@]}"; do
  read -r name mib opts <<<"$c"
  file=$out/$name.tim
  stamp="$mib $opts $gen_sum"
  if [ ! -f "$file" ] || [ "$(cat "$file.stamp" 2>/dev/null)" != "$stamp" ]; then
    start=$EPOCHREALTIME
    # shellcheck disable=SC2086  # opts holds several options
    python3 bench/gen_timing.py --mib "$mib" $opts "$file"
    echo "$stamp" >"$file.stamp"
    awk -v n="$name" -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "   %-20s written in %.1f s\n", n, b - a }'
  else
    printf '   %-20s kept\n' "$name"
  fi
  inputs+=("$name=$file")
done

echo "== machine"
echo "   $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "   $("$cxx" --version | head -1)"
dirty=$({ git status --porcelain --untracked-files=no 2>/dev/null || true; } | wc -l)
echo "   lorvex at $(git rev-parse --short HEAD 2>/dev/null || echo '?')$([ "$dirty" -gt 0 ] && echo " with $dirty changed files")"

echo "== conversion: $rounds rounds per case"
status=0
python3 bench/measure.py --lorvex "$lorvex" --port "$bin/stdio_port" --spawn "$bin/spawn_usage" \
  --rounds "$rounds" --out-dir "$out" --json "$out/last-run.json" "${inputs[@]}" \
  | tee "$out/last-run.txt" || status=1

if [ "${BENCH_MICRO:-1}" != 0 ]; then
  echo
  echo "== number text (ns per number = Time)"
  if [ -x "$bin/number_text_bench" ]; then
    if [ "$quick" = 1 ]; then min_time=0.1; else min_time=1; fi
    "$bin/number_text_bench" --benchmark_min_time=$min_time 2>&1 | tee -a "$out/last-run.txt" \
      || status=1
  else
    echo "   not built: Google Benchmark (libbenchmark-dev) not found"
  fi
fi

# Outputs are removed by measure.py; inputs stay for the next run.
rm -f "$out"/out-*.txt
if [ "${BENCH_CLEAN:-0}" = 1 ]; then
  for c in "${cases[@]}"; do
    read -r name _ <<<"$c"
    rm -f "$out/$name.tim" "$out/$name.tim.stamp"
  done
fi
exit $status
