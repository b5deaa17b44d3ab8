# Sourced by the scripts that need the demo world served on 127.0.0.1 for their length.
#
#   start_demo_world WORLD_BINARY HOME   # sets world_pid and world_port; writes HOME/sites.ini
#   stop_demo_world                      # safe to call more than once
#   demo_world_home WORLD_BINARY         # a temporary home served by the world: sets home
#                                        # and world_port; both go when the script ends
#
# Port 0: the world takes a free port, writes a sites.ini naming its hosts with that port
# into the home and prints the port as its first line.
start_demo_world() {
  local binary=$1 home=$2
  "$binary" --port 0 --sites-ini "$home/sites.ini" >"$home/world-port" &
  world_pid=$!
  world_port=
  for _ in $(seq 100); do
    read -r world_port <"$home/world-port" || true
    [[ -n $world_port ]] && return 0
    kill -0 "$world_pid" 2>/dev/null || { echo "the demo world did not start" >&2; return 1; }
    sleep 0.1
  done
  echo "the demo world printed no port" >&2
  return 1
}

stop_demo_world() {
  # The world stops on SIGTERM (a background job of a script ignores SIGINT).
  if [[ -n ${world_pid:-} ]]; then
    kill -TERM "$world_pid" 2>/dev/null || true
    wait "$world_pid" 2>/dev/null || true
    world_pid=
  fi
}

demo_world_home() {
  home=$(mktemp -d)
  trap 'stop_demo_world; rm -rf "$home"' EXIT
  # Leave through the EXIT trap on an interrupt too, so the world never outlives the script.
  trap 'exit 130' INT
  trap 'exit 143' TERM
  start_demo_world "$1" "$home"
}
