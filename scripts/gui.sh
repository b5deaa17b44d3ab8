#!/usr/bin/env bash
# Starts the bundled demo world (every directory site, the web search and the template
# server, on 127.0.0.1) and the desktop program on a temporary home pointing at it, with
# a keyword search under way, so a first look shows rows arriving in the window.
#
#   bash scripts/gui.sh [KEYWORD]     (default 机械)
#
# Needs a display; both stop when the window is closed.
set -euo pipefail
cd "$(dirname "$0")/.."

keyword=${1:-机械}
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build build/release -j "${JOBS:-2}" --target tarvimo tarvimo-demo-world

world=build/release/examples/demo_world/tarvimo-demo-world
source scripts/lib/demo_world.sh
demo_world_home "$world"
port=$world_port

# The demo world is on 127.0.0.1: a proxy of the desktop would be copied into the
# program's settings at start and take the requests away from it.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY
echo "Tarvimo on the demo world (port $port), searching for \"$keyword\"; home $home"
build/release/bin/tarvimo --home "$home" --search "$keyword"
