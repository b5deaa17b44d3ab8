#!/usr/bin/env bash
# Installs what is missing, builds the release programs and runs the main job: for now,
# tarvimo-cli shows the bundled example task file and prints its decoded INI text.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVIMO_TESTS=OFF -DTARVIMO_BENCH=OFF
cmake --build build/release -j "${JOBS:-2}" --target tarvimo-cli

cli=build/release/src/app/tarvimo-cli
task=examples/tasks/demo-directory.tak
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
"$cli" --home "$home" task show "$task"
echo
"$cli" --home "$home" task decrypt "$task"
