#!/usr/bin/env bash
# Installs what is missing, builds the release programs and runs the main job: a keyword
# search of every directory site of the bundled demo world (served on 127.0.0.1 for the
# length of the run) headless, and the collected table is printed.
#
#   bash scripts/run.sh [KEYWORD]     (default 机械)
set -euo pipefail
cd "$(dirname "$0")/.."

keyword=${1:-机械}
bash scripts/install-deps.sh
cmake --preset release
cmake --build build/release -j "${JOBS:-2}" --target tarvimo-cli tarvimo-demo-world

cli=build/release/src/app/tarvimo-cli
world=build/release/examples/demo_world/tarvimo-demo-world
home=$(mktemp -d)
world_pid=
cleanup() {
  # The world stops on SIGTERM (a background job of a script ignores SIGINT).
  if [[ -n $world_pid ]]; then
    kill -TERM "$world_pid" 2>/dev/null || true
    wait "$world_pid" 2>/dev/null || true
  fi
  rm -rf "$home"
}
trap cleanup EXIT
# Leave through the EXIT trap on an interrupt too, so the world never outlives the script.
trap 'exit 130' INT
trap 'exit 143' TERM

# Port 0: the world takes a free port, writes a sites.ini naming its hosts with that port
# into the temporary home and prints the port as its first line.
"$world" --port 0 --sites-ini "$home/sites.ini" >"$home/world-port" &
world_pid=$!
port=
for _ in $(seq 100); do
  read -r port <"$home/world-port" || true
  [[ -n $port ]] && break
  kill -0 "$world_pid" 2>/dev/null || { echo "run.sh: the demo world did not start" >&2; exit 1; }
  sleep 0.1
done
[[ -n $port ]] || { echo "run.sh: the demo world printed no port" >&2; exit 1; }

echo "Tarvimo keyword search for \"$keyword\" on the demo world's directory sites (port $port)"
echo "Rows (UTF-8, TAB separated, title line first):"
"$cli" --home "$home" search "$keyword" --utf8
