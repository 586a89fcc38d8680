#!/usr/bin/env bash
# Builds Tessivane (optimised, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds, then runs
# the tests of the threaded libraries under ThreadSanitizer. Any failure
# fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake --preset default
cmake --build --preset default -j"$jobs"
ctest --preset default -j"$jobs"

cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

cmake --preset tsan
cmake --build --preset tsan -j"$jobs"
ctest --preset tsan -j"$jobs"
