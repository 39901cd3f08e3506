#!/usr/bin/env bash
# Builds the label designer and runs every test. With --sanitize, builds a second tree under
# AddressSanitizer and UndefinedBehaviorSanitizer and runs the tests there as well.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
run_tree() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600)
}

run_tree build
if [ "${1:-}" = "--sanitize" ]; then
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_tree build-sanitize -DQB_SANITIZE=ON

  # The reader of label files under libFuzzer, with clang, for a bounded time; a finding fails.
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQB_FUZZ=ON -DQB_BUILD_TESTS=OFF >/dev/null
  cmake --build build-fuzz -j "$jobs" --target document_fuzzer
  corpus=$(mktemp -d)
  cp tests/fuzz/corpus/* "$corpus"/
  QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    build-fuzz/tests/fuzz/document_fuzzer -max_total_time=60 -rss_limit_mb=2048 \
    -artifact_prefix=build-fuzz/ "$corpus"
  rm -rf "$corpus"
fi
