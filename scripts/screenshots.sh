#!/usr/bin/env bash
# Photographs the program's windows in a real X server (Xvfb), so they can be looked at:
# bash scripts/screenshots.sh [OUTDIR]  (default build/screenshots). Uses the release build.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}
mkdir -p "$out"
cmake --preset release >/dev/null
cmake --build build/release -j "${JOBS:-2}" --target tarvimo-ui-preview tarvimo tarvimo-cli tarvimo-demo-world
preview=build/release/tools/tarvimo-ui-preview
for shot in "search" "search --busy" "search --empty-ok" "search-single" \
            "export-text" "export-db" "export-db --busy" "dbset" "oracle" "mysql" "connstr" "mapping" "query" \
            "progress" "options" "options --page 1" "options --page 2" "about" \
            "category-new" "category-move" "category-props" "category-root" "autorun"; do
  name=$(echo "$shot" | tr -d ' -')
  # shellcheck disable=SC2086
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 800x600x24" "$preview" $shot --grab "$out/$name.png"
done

# The program itself on the demo world: the search dialog filled in, then the main window
# while rows arrive, and once more a little later.
source scripts/lib/demo_world.sh
demo_world_home build/release/examples/demo_world/tarvimo-demo-world
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY
out_abs=$(cd "$out" && pwd)
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  QT_QPA_PLATFORM=xcb build/release/bin/tarvimo --home "$1" --search 机械 & pid=$!
  sleep 1; import -window root "$2/main-wizard.png"
  sleep 8; import -window root "$2/main-search.png"
  sleep 10; import -window root "$2/main-later.png"
  kill $pid; wait $pid 2>/dev/null || true' _ "$home" "$out_abs"

# Two of the tasks the search made set to run at start: the next start shows the
# auto-run dialog over the main window.
cli=build/release/src/app/tarvimo-cli
mapfile -t made < <(find "$home/Task" -name '*.tak' | sort | head -n 2)
for task in "${made[@]}"; do
  "$cli" --home "$home" task set "$task" schedule autotask 1
  "$cli" --home "$home" task set "$task" schedule autorunsystem 1
  "$cli" --home "$home" task set "$task" schedule autoruncount 2
done
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  QT_QPA_PLATFORM=xcb build/release/bin/tarvimo --home "$1" & pid=$!
  sleep 2; import -window root "$2/main-autorun.png"
  kill $pid; wait $pid 2>/dev/null || true' _ "$home" "$out_abs"
ls -l "$out"
