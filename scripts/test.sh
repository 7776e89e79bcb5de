#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, then the sanitizer
# build with the short fuzz runs.
set -euo pipefail
cd "$(dirname "$0")/.."
# The Ethernet tests build network namespaces; here they must run, never skip.
export VELTRA_REQUIRE_NETNS=1
bash scripts/setup.sh
bash scripts/build.sh normal
ctest --test-dir build --output-on-failure -j "$(nproc)"
bash scripts/build.sh sanitize
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/sanitizer/leak-suppressions.txt" \
  ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)"
