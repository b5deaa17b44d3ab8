#!/usr/bin/env bash
# Fetch throughput against a local nginx: curl with 20 parallel transfers sets the mark,
# then a real Tarvimo address-list task with 20 workers fetches the same pages and cuts
# each title. Prints pages/s of both and Tarvimo's share of curl's rate.
#
#   bash bench/fetch_bench.sh [BUILD_DIR]     (default build/release)
#
# PAGES (default 20000), PARALLEL (default 20) and ROUNDS (default 3) change the run;
# BENCH_WRAP prefixes the Tarvimo run (e.g. "perf record -g -o /tmp/fetch.data"). Nothing
# leaves 127.0.0.1; nginx runs from a temporary folder and is stopped on exit.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/release}
pages=${PAGES:-20000}
parallel=${PARALLEL:-20}
rounds=${ROUNDS:-3}
bench_bin=$build/bench/fetch_bench

die() { echo "fetch_bench.sh: $*" >&2; exit 1; }

[ -x "$bench_bin" ] || die "$bench_bin not built (cmake --build $build --target fetch_bench)"
# shellcheck source=nginx_site.sh
source "$root/bench/nginx_site.sh"
find_nginx
command -v curl >/dev/null || die "curl not found (bash scripts/install-deps.sh)"
command -v python3 >/dev/null || die "python3 not found (bash scripts/install-deps.sh)"

work=$(mktemp -d /tmp/tarvimo-fetch-bench-XXXXXX)
cleanup() {
    stop_nginx
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM


# ---- pages and address list ---------------------------------------------------------
python3 - "$work/www" "$pages" <<'EOF'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
os.makedirs(root)
# Filler mixes GBK and ASCII as a directory page would, about 10 KB per page.
row = ('<tr><td>杭州机械有限公司</td><td>联系人：王先生</td><td>电话：0571-88886666</td>'
       '<td>地址：杭州市文三路</td><td><a href="/c/1.html">more</a></td></tr>\r\n').encode('gbk')
filler = row * (10000 // len(row))
for i in range(count):
    d = os.path.join(root, str(i // 1000))
    if i % 1000 == 0:
        os.mkdir(d)
    with open(os.path.join(d, '%d.html' % i), 'wb') as f:
        f.write(b'<html><head><meta http-equiv="Content-Type" content="text/html; charset=gbk">'
                b'<title>Company %d</title></head><body><table>\r\n' % i)
        f.write(filler)
        f.write(b'</table></body></html>\r\n')
EOF
page_bytes=$(stat -c %s "$work/www/0/0.html")

# ---- nginx --------------------------------------------------------------------------
serve_pages "$work/www" /0/0.html

# The address list (CR LF, as the program's own files) and the same addresses for curl.
awk -v n="$pages" -v base="http://127.0.0.1:$port" -v list="$work/list.txt" -v cfg="$work/curl.cfg" 'BEGIN {
    for (i = 0; i < n; i++) {
        url = sprintf("%s/%d/%d.html", base, int(i / 1000), i)
        printf "%s\r\n", url >list
        printf "url = \"%s\"\noutput = \"/dev/null\"\n", url >cfg
    }
}'

echo "fetch benchmark: $pages pages of $page_bytes bytes from nginx on 127.0.0.1:$port, $parallel parallel"

# ---- rounds -------------------------------------------------------------------------
# curl and Tarvimo take turns, and each keeps its best round: on a shared two-core machine
# a single pass measures the neighbours as much as the client.
run_curl() {
    TIMEFORMAT='%R %U %S'
    { time curl --silent --show-error --parallel --parallel-max "$parallel" --config "$work/curl.cfg" \
        --write-out '%{http_code}\n' >"$work/curl.codes" 2>"$work/curl.err"; } 2>"$work/curl.time" ||
        { cat "$work/curl.err" >&2; die "curl failed"; }
    local wall user sys ok
    read -r wall user sys <"$work/curl.time"
    ok=$(grep -c '^200$' "$work/curl.codes" || true)
    [ "$ok" -eq "$pages" ] || die "curl fetched $ok of $pages pages"
    curl_rate=$(awk -v n="$pages" -v t="$wall" 'BEGIN { printf "%.0f", n / t }')
    curl_line=$(awk -v n="$pages" -v t="$wall" -v u="$user" -v s="$sys" \
        'BEGIN { printf "%.0f pages/s, %.3f s wall, %.3f CPU s per 1000 pages", n / t, t, (u + s) * 1000 / n }')
}

run_tarvimo() {
    ${BENCH_WRAP:-} "$bench_bin" "$work/list.txt" "$parallel" >"$work/tarvimo.out" || { cat "$work/tarvimo.out" >&2; die "fetch_bench failed"; }
    tarvimo_rate=$(awk '$1 == "pages/s:" { print $2 }' "$work/tarvimo.out")
    [ -n "$tarvimo_rate" ] || die "fetch_bench printed no rate"
    tarvimo_line=$(awk '$1 == "pages/s:" { r = $2 } $1 == "wall:" { w = $2 } $1 == "CPU:" { c = $2 }
        END { printf "%s pages/s, %s s wall, %s CPU s per 1000 pages", r, w, c }' "$work/tarvimo.out")
}

best_curl=0 best_tarvimo=0
for ((round = 1; round <= rounds; round++)); do
    run_curl
    run_tarvimo
    echo "round $round:  curl     $curl_line"
    echo "          tarvimo  $tarvimo_line"
    if [ "$curl_rate" -gt "$best_curl" ]; then best_curl=$curl_rate; fi
    if [ "$tarvimo_rate" -gt "$best_tarvimo" ]; then
        best_tarvimo=$tarvimo_rate
        cp "$work/tarvimo.out" "$work/tarvimo.best"
    fi
done

echo "best of $rounds:"
echo "curl:     $best_curl pages/s"
sed 's/^/  /' "$work/tarvimo.best"
awk -v t="$best_tarvimo" -v c="$best_curl" \
    'BEGIN { printf "ratio:    Tarvimo/curl %.1f %% (target >= 70 %%)\n", 100 * t / c }'
