#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors), runs every test, then builds the
# libFuzzer targets with clang and runs each for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

JOBS=${JOBS:-2}
FUZZ_SECONDS=${FUZZ_SECONDS:-30}

echo "== build (ASan + UBSan, -Werror)"
# The benchmarks are built too (never run here), so an interface change cannot leave one
# that no longer compiles.
cmake --preset asan
cmake --build build/asan -j "$JOBS"

echo "== tests"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir build/asan --output-on-failure -j "$JOBS"

echo "== fuzz (${FUZZ_SECONDS}s per target)"
cmake --preset fuzz
cmake --build build/fuzz -j "$JOBS"
for target in build/fuzz/fuzz/fuzz_*; do
  name=$(basename "$target")
  seeds=fuzz/corpus/${name#fuzz_}
  work=build/fuzz/corpus-$name
  mkdir -p "$work"
  echo "-- $name"
  "$target" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    "$work" $( [ -d "$seeds" ] && echo "$seeds" ) 2>&1 | tail -n 12
  status=${PIPESTATUS[0]}
  if [ "$status" -ne 0 ]; then
    echo "fuzz target $name failed (exit $status)"
    exit 1
  fi
done
echo "== all tests and fuzz runs passed"
