#!/usr/bin/env bash
# Builds the label designer and runs every test. With --sanitize (as CI runs it), also builds a
# second tree with clang under AddressSanitizer and UndefinedBehaviorSanitizer, runs every test
# there, and fuzzes the readers of label files, pictures and data sources for a bounded time with
# the same tree's libraries, so that nothing is compiled twice.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The tests of numbers typed into the sheet's boxes also run under a German locale, whose decimal
# separator is a comma.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

jobs=$(nproc)
# run_tree folder generator [cmake options...]
run_tree() {
  local dir=$1 generator=$2; shift 2
  # A tree made earlier with another generator cannot be reconfigured: start it afresh.
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -qxF "CMAKE_GENERATOR:INTERNAL=$generator" "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  cmake -S . -B "$dir" -G "$generator" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  # Each test has its own time limit, a few times its usual run (tests/CMakeLists.txt).
  (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
}

# fuzz target seeds description [seconds]: runs one fuzz target (for a minute unless told) on a
# copy of its seeds; a finding, or an input that takes more than 2 GB (in all or in one
# allocation), fails the run.
fuzz() {
  local target=$1 seeds=$2 what=$3 seconds=${4:-60} corpus log
  corpus=$(mktemp -d)
  log=build-sanitize/$target.log
  cp "$seeds"/* "$corpus"/
  if ! QT_QPA_PLATFORM=offscreen \
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0 \
      LSAN_OPTIONS=suppressions=$PWD/tests/fuzz/lsan.supp \
      "build-sanitize/tests/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=2048 \
      -artifact_prefix="build-sanitize/$target-" "$corpus" >"$log" 2>&1; then
    cat "$log"
    echo "The $what fuzzer found a fault; its input is in build-sanitize/." >&2
    rm -rf "$corpus"
    return 1
  fi
  echo "$what fuzzer: $(grep -E '^Done [0-9]+ runs' "$log" || tail -n 1 "$log"), no finding"
  rm -rf "$corpus"
}

run_fuzzer() {
  # The readers of label files and of pictures under libFuzzer, built in the sanitizer tree.
  # libgsf's own losses on damaged files are suppressed (tests/fuzz/lsan.supp); ours are not.
  fuzz document_fuzzer tests/fuzz/corpus "Label-file"
  # Label files printed: the same seeds and those of sheets and objects no printer can take.
  fuzz print_fuzzer tests/fuzz/corpus "Label-print" 45
  fuzz picture_fuzzer tests/fuzz/picture-corpus "Picture"
  # The parsers of data sources, briefly.
  fuzz csv_fuzzer tests/fuzz/data-corpus/csv "Delimited-text" 20
  fuzz xlsx_fuzzer tests/fuzz/data-corpus/xlsx "Workbook" 20
  fuzz connstring_fuzzer tests/fuzz/data-corpus/connstring "Connection-string" 20
  fuzz storedsource_fuzzer tests/fuzz/data-corpus/storedsource "Stored data-source" 20
  fuzz readerstream_fuzzer tests/fuzz/data-corpus/readerstream "Reader-stream" 20
  fuzz workbookcells_fuzzer tests/fuzz/data-corpus/workbookcells "Workbook-cells" 20
  # Binding documents of text objects loaded, edited and written back.
  fuzz binding_fuzzer tests/fuzz/data-corpus/binding "Binding-document" 20
}

# The main tree builds with Ninja and the sanitizer tree with Make, CMake's default generator, so
# that the build rules work with both.
run_tree build Ninja -DQB_BUILD_BENCH=ON  # the benchmarks are built too, so they keep compiling
if [ "${1:-}" = "--sanitize" ]; then
  # One clang tree serves the tests under the sanitizers and the fuzzers: its code carries the
  # fuzzers' coverage marks too, which the tests do not mind.
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  run_tree build-sanitize "Unix Makefiles" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DQB_SANITIZE=ON -DQB_FUZZ=ON
  run_fuzzer
fi
