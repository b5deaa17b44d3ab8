#!/usr/bin/env bash
# Photographs the program's windows in a real X server (Xvfb), so they can be looked at:
# bash scripts/screenshots.sh [OUTDIR]  (default build/screenshots). Uses the release build.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
mkdir -p "$out"
cmake --preset release >/dev/null
cmake --build build/release -j "${JOBS:-2}" --target tarvimo-ui-preview
preview=build/release/tools/tarvimo-ui-preview
for shot in "search" "search --busy" "search --empty-ok" "search-single" \
            "export-text" "export-db" "export-db --busy" "dbset" "oracle" "mysql" "connstr" "mapping" "query" \
            "progress" "options" "options --page 1" "options --page 2" "about"; do
  name=$(echo "$shot" | tr -d ' -')
  # shellcheck disable=SC2086
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 800x600x24" "$preview" $shot --grab "$out/$name.png"
done
ls -l "$out"
