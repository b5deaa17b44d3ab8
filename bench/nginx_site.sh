# Sourced by the benchmark scripts that serve generated pages from a local nginx.
#
#   find_nginx                  sets nginx_bin (dies through the caller's die() when missing)
#   serve_pages ROOT PROBE      starts nginx on a free port of 127.0.0.1 serving ROOT from
#                               the folder $work/nginx, waits until PROBE (a path) answers,
#                               and sets port and nginx_pid; dies when it cannot start
#   stop_nginx                  stops it (fast shutdown) if it runs; for the EXIT trap
#   make_workspace NAME         sets $work to a new temporary folder and, on exit or
#                               interruption, ends a pass still running, stops nginx and
#                               removes the folder
#   timed_pass NAME CMD...      runs CMD under /usr/bin/time (wall, user, sys, max RSS in
#                               $work/NAME.time), its output in $work/NAME.out and .err, in
#                               a process group of its own, ended after $pass_limit seconds
#
# The caller defines die() and $pass_limit.

nginx_pid=""
pass_pgid=""

make_workspace() {
    work=$(mktemp -d "/tmp/tarvimo-$1-XXXXXX")
    trap workspace_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

workspace_cleanup() {
    # A pass still running (the script was interrupted) goes with its process group.
    if [ -n "$pass_pgid" ]; then kill -TERM -- "-$pass_pgid" 2>/dev/null || true; fi
    stop_nginx
    rm -rf "$work"
}

timed_pass() {
    local name=$1 status=0
    shift
    set -m
    /usr/bin/time -f '%e %U %S %M' -o "$work/$name.time" \
        timeout --foreground "$pass_limit" "$@" >"$work/$name.out" 2>"$work/$name.err" &
    pass_pgid=$!
    set +m
    wait "$pass_pgid" || status=$?
    pass_pgid=""
    [ "$status" -eq 0 ] || tail -n 20 "$work/$name.err" >&2
    return "$status"
}

find_nginx() {
    nginx_bin=$(command -v nginx || true)
    [ -n "$nginx_bin" ] || nginx_bin=/usr/sbin/nginx
    [ -x "$nginx_bin" ] || die "nginx not found (bash scripts/install-deps.sh)"
}

stop_nginx() {
    if [ -n "$nginx_pid" ] && kill -0 "$nginx_pid" 2>/dev/null; then
        kill -TERM "$nginx_pid" 2>/dev/null || true   # TERM: fast shutdown of master and workers
        wait "$nginx_pid" 2>/dev/null || true
    fi
    nginx_pid=""
}

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_nginx() {
    local root=$1 probe=$2 port=$3
    mkdir -p "$work/nginx"
    cat >"$work/nginx/nginx.conf" <<EOF
daemon off;
# One worker: on a two-core machine a second one only competes with the clients measured.
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 1024; }
http {
    access_log off;
    client_body_temp_path $work/nginx/client_body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    types { text/html html; }
    default_type text/html;
    sendfile on;
    tcp_nopush on;
    # The clients keep their connections for the whole run.
    keepalive_requests 1000000;
    keepalive_timeout 120s;
    server {
        listen 127.0.0.1:$port;
        root $root;
    }
}
EOF
    "$nginx_bin" -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
    nginx_pid=$!
    local i
    for i in $(seq 50); do
        if curl -s -o /dev/null -f "http://127.0.0.1:$port$probe"; then return 0; fi
        kill -0 "$nginx_pid" 2>/dev/null || break
        sleep 0.1
    done
    stop_nginx
    return 1
}

serve_pages() {
    # Run as root, nginx's workers drop to an unprivileged user, which must read the pages.
    [ "$(id -u)" -ne 0 ] || chmod 755 "$work"
    # The port is free when probed but may be taken before nginx binds it: try a few.
    port=""
    local attempt candidate
    for attempt in 1 2 3 4 5; do
        candidate=$(free_port)
        if start_nginx "$1" "$2" "$candidate"; then port=$candidate; return 0; fi
    done
    cat "$work/nginx/error.log" >&2 || true
    die "nginx did not start"
}
