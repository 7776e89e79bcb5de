#!/usr/bin/env bash
# Installs what is missing, builds, starts the reader simulator on a pseudo-terminal and starts
# the program against it. Without a display it shows the main job headless instead: identify the
# simulated reader, print its configuration report, save it to a .mkr file and program the file
# back. `scripts/run.sh --headless` asks for the headless run on a desktop too.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh normal
bin=build/bin

workdir=$(mktemp -d)
simout=$workdir/sim.out
"$bin/qn-sim" --state "${QN_SIM_STATE:-$workdir/reader-state.txt}" >"$simout" &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true; rm -rf "$workdir"' EXIT
for _ in $(seq 1 50); do
  [ -s "$simout" ] && break
  sleep 0.1
done
port=$(head -n 1 "$simout")
echo "Simulated reader on $port"

if [ "${1:-}" != "--headless" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  "$bin/quarnel-veltra" --port "$port"
  exit 0
fi

echo "No display: the main job, headless, with veltra-cli."
set -x
"$bin/veltra-cli" identify --port "$port:1"
"$bin/veltra-cli" report --port "$port:1"
"$bin/veltra-cli" save --port "$port:1" "$workdir/reader.mkr"
"$bin/veltra-cli" program --port "$port:1" --yes "$workdir/reader.mkr"
