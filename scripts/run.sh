#!/usr/bin/env bash
# Installs what is missing, builds the release programs and runs the main job: the bundled
# example task collects the bundled demo business directory (served on 127.0.0.1 for the
# length of the run) headless, and the collected rows are printed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release
cmake --build build/release -j "${JOBS:-2}" --target tarvimo-cli tarvimo-demo-site

cli=build/release/src/app/tarvimo-cli
site=build/release/examples/demo_site/tarvimo-demo-site
home=$(mktemp -d)
site_pid=
cleanup() {
  # The site stops on SIGTERM (a background job of a script ignores SIGINT).
  if [[ -n $site_pid ]]; then
    kill -TERM "$site_pid" 2>/dev/null || true
    wait "$site_pid" 2>/dev/null || true
  fi
  rm -rf "$home"
}
trap cleanup EXIT
# Leave through the EXIT trap on an interrupt too, so the site never outlives the script.
trap 'exit 130' INT
trap 'exit 143' TERM

# Port 0: the site takes a free port and prints it as its first line.
"$site" --port 0 >"$home/site-port" &
site_pid=$!
port=
for _ in $(seq 100); do
  read -r port <"$home/site-port" || true
  [[ -n $port ]] && break
  kill -0 "$site_pid" 2>/dev/null || { echo "run.sh: the demo site did not start" >&2; exit 1; }
  sleep 0.1
done
[[ -n $port ]] || { echo "run.sh: the demo site printed no port" >&2; exit 1; }

# The copy in the home's task library gets the site's real port in its addresses.
mkdir -p "$home/Task"
task="$home/Task/demo-directory.tak"
cp examples/tasks/demo-directory.tak "$task"
base="http://demo.localhost:$port"
"$cli" --home "$home" task set "$task" url urlbegin "$base/list?page=1" >/dev/null
"$cli" --home "$home" task set "$task" url urlkeyword "$base/list?page=" >/dev/null

echo "Tarvimo example run: task demo-directory on the demo business directory at $base"
echo "Rows (UTF-8, TAB separated, title line first):"
"$cli" --home "$home" run "$task" --utf8
