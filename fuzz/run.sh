#!/usr/bin/env bash
# Builds the fuzz targets with Clang and runs each for a bounded time.
#
#   FUZZ_SECONDS    seconds per target (default 60)
#   FUZZ_BUILD_DIR  build folder (default build-fuzz)
#
# Each target works on a copy of its seed corpus in a temporary folder, so
# nothing it finds is written into the source tree. Prints libFuzzer's
# final figures for each target. When a target finds a crash, a leak or a
# timeout, prints its report and the input as a hex dump, keeps the
# temporary folder for reproducing it, and exits with status 1.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}

if ! command -v clang++ >/dev/null || ! command -v clang >/dev/null; then
  echo "fuzz: clang is missing (apt-get install clang libclang-rt-dev)" >&2
  exit 2
fi
if [ ! -f "$(clang -print-runtime-dir)/libclang_rt.fuzzer-$(uname -m).a" ]; then
  echo "fuzz: the fuzzer runtime is missing (apt-get install libclang-rt-dev)" >&2
  exit 2
fi
# Sanitizer reports with function names and lines, when a symbolizer is found.
if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ]; then
  for s in "$(clang -print-prog-name=llvm-symbolizer)" /usr/lib/llvm-*/bin/llvm-symbolizer; do
    if [ -x "$s" ]; then
      export ASAN_SYMBOLIZER_PATH="$s"
      break
    fi
  done
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -DLORVEX_FUZZ=ON -DLORVEX_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2 --target fuzz_convert fuzz_number

work=$(mktemp -d "${TMPDIR:-/tmp}/lorvex-fuzz.XXXXXX")
failed=0

# run_target NAME MAX_LEN
run_target() {
  local name=$1 max_len=$2
  local dir="$work/$name"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp fuzz/corpus/"$name"/* "$dir/corpus/"

  echo "== fuzz_$name: $seconds s, inputs up to $max_len bytes"
  local status=0
  "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$dir/log" 2>&1 || status=$?

  grep -E '^#[0-9]+[[:space:]]+DONE|^Done [0-9]+ runs|^stat::' "$dir/log" || true
  echo "corpus: $(find "$dir/corpus" -type f | wc -l) files," \
    "$(find "$dir/corpus" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }') bytes"

  if [ "$status" -ne 0 ] || [ -n "$(find "$dir/artifacts" -type f)" ]; then
    failed=1
    echo "!! fuzz_$name failed (status $status); the end of its log:"
    tail -n 60 "$dir/log"
    find "$dir/artifacts" -type f | sort | while IFS= read -r f; do
      echo "!! input $(basename "$f") ($(stat -c %s "$f") bytes):"
      od -An -tx1 -v "$f"
      echo "!! reproduce: $build/fuzz/fuzz_$name $f"
    done
  fi
}

run_target convert 4096
run_target number 8

if [ "$failed" -ne 0 ]; then
  echo "fuzz: failure; inputs and logs kept in $work"
  exit 1
fi
rm -rf "$work"
echo "fuzz: no failure"
