#!/usr/bin/env bash
# Installs what is missing, builds, starts the reader simulator on a pseudo-terminal and starts
# the program against it. Without a display it starts a virtual one (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh normal
bin=build/bin

simout=$(mktemp)
"$bin/qn-sim" --state "${QN_SIM_STATE:-$HOME/.qn-sim-state}" >"$simout" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$simout"' EXIT
for _ in $(seq 1 50); do
  [ -s "$simout" ] && break
  sleep 0.1
done
port=$(head -n 1 "$simout")
echo "Simulated reader on $port"

if [ -x "$bin/quarnel-veltra" ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a "$bin/quarnel-veltra" --port "$port"
  fi
  "$bin/quarnel-veltra" --port "$port"
elif [ -x "$bin/veltra-cli" ]; then
  "$bin/veltra-cli" identify --port "$port"
  "$bin/veltra-cli" report --port "$port"
else
  # Identification request to bus address 1 in STX/BCC framing, and the reader's answer.
  exec 3<>"$port"
  stty -F "$port" 19200 raw -echo cs8 -parenb -cstopb
  printf '\x02\x01\xf0\x00\xf1' >&3
  timeout 2 head -c 9 <&3 | od -An -tx1
fi
