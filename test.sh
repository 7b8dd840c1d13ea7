#!/usr/bin/env bash
# Installs what is missing, builds with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ (with the fuzz programs of
# fuzz/), runs every test, then fuzzes every reader of stored data for
# ORBA_FUZZ_SECONDS (default 20) each, failing on any finding.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBA_SANITIZE=ON -DORBA_BUILD_BENCH=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j"$jobs"
start=$(date +%s)
ORBA_FUZZ_BUILD=build-asan bash fuzz/run.sh all "${ORBA_FUZZ_SECONDS:-20}"
echo "fuzzing took $(($(date +%s) - start)) s"
