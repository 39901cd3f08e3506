#!/usr/bin/env bash
# Builds the label designer and starts it; arguments go to the program. Only what the program
# needs is built: the program, its reader of .xls and .mdb files and its resource module
# (scripts/test.sh builds the tests and benchmarks).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target quillbar quillbar-datareader quillbar_resources
exec build/bin/quillbar "$@"
