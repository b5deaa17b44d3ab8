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
source scripts/lib/demo_world.sh
demo_world_home "$world"
port=$world_port

echo "Tarvimo keyword search for \"$keyword\" on the demo world's directory sites (port $port)"
echo "Rows (UTF-8, TAB separated, title line first):"
"$cli" --home "$home" search "$keyword" --utf8
