#!/bin/bash
# Builds the entry file parser's fuzz target with clang's libFuzzer and AddressSanitizer, and
# runs it for a bounded time. Usage: run_fuzz.sh <source root> <work dir> [seconds]
set -euo pipefail
src=$1
work=$2
seconds=${3:-30}
mkdir -p "$work/corpus"
cp "$src"/tests/fixtures/entry_*.txt "$work/corpus/" 2>/dev/null || true
# shellcheck disable=SC2046  # pkg-config prints several flags
clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined \
    -I"$src/data" -I"$src/platform" $(pkg-config --cflags Qt6Core) \
    "$src/tests/fuzz/fuzz_entry_file.cpp" "$src/data/entry_file.cpp" \
    -o "$work/fuzz_entry_file" $(pkg-config --libs Qt6Core)
cd "$work"
ASAN_OPTIONS=detect_leaks=1 ./fuzz_entry_file -max_total_time="$seconds" -max_len=4096 \
    -print_final_stats=1 corpus
