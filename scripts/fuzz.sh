#!/usr/bin/env bash
# Runs every fuzz target of the sanitizer build for longer than CI does, two at a time at low
# priority, and prints what each did.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS per target (default 600); without TARGET names, all of them. Each target keeps the
# corpus it grows and any crash files in build-sanitize/fuzz/<target>/ (corpus/, crashes/,
# run.log), so a later run goes on from there. A crash file replays with
#   build-sanitize/bin/<target> build-sanitize/fuzz/<target>/crashes/<file>
# Exits 1 when any target crashed or ended abnormally.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [SECONDS] [TARGET...]" >&2
  exit 2
fi

# The fuzz targets are built by the sanitizer build; build it when it is not there yet.
if [ ! -d build-sanitize/fuzz/targets ]; then
  bash scripts/build.sh sanitize
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in build-sanitize/fuzz/targets/*; do
    targets+=("$(basename "$f")")
  done
fi
cmake --build build-sanitize --target "${targets[@]}" -j "$(nproc)" >/dev/null

run() {
  local name=$1 program seeds
  { read -r program; read -r seeds; } <"build-sanitize/fuzz/targets/$name"
  local home=build-sanitize/fuzz/$name
  mkdir -p "$home/corpus" "$home/crashes"
  local status=0
  nice -n 10 "$program" "$home/corpus" "$seeds" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -timeout=10 -artifact_prefix="$home/crashes/" -print_final_stats=1 >"$home/run.log" 2>&1 ||
    status=$?
  echo "$status" >"$home/status"
}

running=0
for name in "${targets[@]}"; do
  if [ ! -f "build-sanitize/fuzz/targets/$name" ]; then
    echo "fuzz.sh: no fuzz target $name" >&2
    exit 2
  fi
  if [ "$running" -ge 2 ]; then
    wait -n
    running=$((running - 1))
  fi
  echo "$(date +%T) $name for ${seconds}s"
  run "$name" &
  running=$((running + 1))
done
wait

# The summary: runs and executions per second, coverage (cov) and features (ft) after the
# seeds and at the end, the corpus size and the crash files.
failed=0
printf '\n%-24s %10s %8s %15s %15s %7s %7s  %s\n' target runs exec/s "cov start>end" \
  "ft start>end" corpus crashes result
for name in "${targets[@]}"; do
  home=build-sanitize/fuzz/$name
  log=$home/run.log
  status=$(cat "$home/status")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  start=$(grep -m1 'INITED' "$log" || true)
  end=$(grep -E '^#[0-9]+' "$log" | grep 'cov:' | tail -1 || true)
  field() { sed -n "s/.* $1: \([0-9]*\).*/\1/p" <<<"$2"; }
  corpus=$(find "$home/corpus" -type f | wc -l)
  crashes=$(find "$home/crashes" -type f | wc -l)
  result=ok
  if [ "$status" -ne 0 ] || [ "$crashes" -gt 0 ]; then
    result="FAILED (exit $status, see $log)"
    failed=1
  fi
  printf '%-24s %10s %8s %15s %15s %7s %7s  %s\n' "$name" "${runs:-?}" "${rate:-?}" \
    "$(field cov "$start")>$(field cov "$end")" "$(field ft "$start")>$(field ft "$end")" \
    "$corpus" "$crashes" "$result"
done
exit "$failed"
