#!/usr/bin/env bash
# CI's short run of one fuzz target: a fresh working folder, the seed folders read only, and a
# run that counts only when libFuzzer reported at least one new input ("NEW") after loading the
# seeds ("INITED"), so a target whose input no longer reaches the code under test fails.
#   short-run.sh FUZZER WORK-FOLDER [SEED-FOLDER...] [libFuzzer options...]
set -uo pipefail
fuzzer=$1 work=$2
shift 2
rm -rf "$work"
mkdir -p "$work"
log="$work.log"
"$fuzzer" "$work" "$@" >"$log" 2>&1
status=$?
cat "$log"
if [ "$status" -ne 0 ]; then
  echo "short-run: $(basename "$fuzzer") ended with $status" >&2
  exit "$status"
fi
if ! awk '/INITED/ { seeded = 1 } seeded && /^#[0-9]+[ \t]+NEW / { found = 1 } END { exit !found }' "$log"; then
  echo "short-run: $(basename "$fuzzer") found no new path beyond its seeds" >&2
  exit 1
fi
