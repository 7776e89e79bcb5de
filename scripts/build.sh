#!/usr/bin/env bash
# Configures and builds one build tree.
#   scripts/build.sh [normal|sanitize]
# normal:   build/          gcc, warnings as errors
# sanitize: build-sanitize/ clang, address and undefined-behaviour sanitizers, libFuzzer targets
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-normal}
jobs=$(nproc)
case "$kind" in
normal)
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRA_WERROR=ON >/dev/null
  cmake --build build -j "$jobs"
  ;;
sanitize)
  CC=clang CXX=clang++ cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVELTRA_SANITIZE=ON -DVELTRA_FUZZ=ON -DVELTRA_BUILD_BENCH=OFF >/dev/null
  cmake --build build-sanitize -j "$jobs"
  ;;
*)
  echo "usage: $0 [normal|sanitize]" >&2
  exit 2
  ;;
esac
