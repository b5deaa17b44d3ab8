#!/usr/bin/env bash
# Link-scanning throughput against a local nginx: Tarvimo's crawler (tarvimo-cli scan, to
# depth 4 with 6 parallel downloads) and wget (--recursive, three links deep, which is the
# same reach) crawl the same site of linked HTML pages, every page three links or fewer
# from /index.html. Prints pages, pages/s, links/s, wall time, CPU time per 1000 pages
# and peak memory of both, checks that both fetched every page, and sets Tarvimo's rate
# against its own pacing bound (a 200 ms tick, one page per download slot and tick) and
# against wget's.
#
#   bash bench/scan_bench.sh [BUILD_DIR]     (default build/release)
#
# PAGES (default 20000), DOWNLOADS (default 6) and DEPTH (default 4) change the run. The
# pacing bound is DOWNLOADS x 5 pages/s, so the default run takes about 11 minutes.
# Nothing leaves 127.0.0.1; nginx runs from a temporary folder and is stopped on exit.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/release}
pages=${PAGES:-20000}
downloads=${DOWNLOADS:-6}
depth=${DEPTH:-4}
cli=$build/src/app/tarvimo-cli
site=$root/bench/scan_bench/site.py
export PYTHONDONTWRITEBYTECODE=1
# Ceiling for one crawler's pass, so a hung run cannot hold the script for ever.
pass_limit=3600

die() { echo "scan_bench.sh: $*" >&2; exit 1; }

[[ "$pages" =~ ^[1-9][0-9]*$ && "$downloads" =~ ^[1-9][0-9]*$ && "$depth" =~ ^[1-9][0-9]*$ ]] ||
    die "PAGES, DOWNLOADS and DEPTH must be positive whole numbers"
[ "$pages" -ge 3 ] || die "PAGES must be at least 3"
# The site is four levels deep: a shallower crawl cannot fetch every page.
[ "$depth" -ge 4 ] || die "DEPTH must be at least 4 to reach every page"

[ -x "$cli" ] || die "$cli not built (cmake --build $build --target tarvimo-cli)"
"$cli" scan --help >/dev/null 2>&1 || die "$cli has no scan command"
# shellcheck source=nginx_site.sh
source "$root/bench/nginx_site.sh"
find_nginx
command -v curl >/dev/null || die "curl not found (bash scripts/install-deps.sh)"
command -v wget >/dev/null || die "wget not found (bash scripts/install-deps.sh)"
command -v python3 >/dev/null || die "python3 not found (bash scripts/install-deps.sh)"
[ -x /usr/bin/time ] || die "/usr/bin/time not found (bash scripts/install-deps.sh)"

make_workspace scan-bench


# ---- pages --------------------------------------------------------------------------
python3 "$site" make "$work/www" "$pages"
# Reads the site back: page count, every page within three links, no dangling link.
site_line=$(python3 "$site" check "$work/www" "$pages") || die "the generated site is not right"
site_links=$(sed -n 's/.* \([0-9][0-9]*\) distinct links.*/\1/p' <<<"$site_line")
widest=$(sed -n 's|.*(\([0-9/]*\) pages at .*|\1|p' <<<"$site_line" | tr / '\n' | sort -n | tail -n 1)

# ---- nginx --------------------------------------------------------------------------
serve_pages "$work/www" /index.html
start=http://127.0.0.1:$port/index.html

echo "scan benchmark: $site_line; nginx on 127.0.0.1:$port," \
    "depth $depth, $downloads parallel downloads"


# Figures of one pass from its /usr/bin/time record and its page and link counts (links
# "-" when not known): sets rate (pages/s) and line (the printed figures).
figures() {
    local timefile=$1 n=$2 links=$3 wall user sys kb
    read -r wall user sys kb <"$timefile"
    rate=$(awk -v n="$n" -v t="$wall" 'BEGIN { printf "%.2f", (t > 0) ? n / t : 0 }')
    line=$(awk -v n="$n" -v l="$links" -v t="$wall" -v u="$user" -v s="$sys" -v k="$kb" 'BEGIN {
        if (t <= 0) t = 0.01
        ls = (l == "-") ? sprintf("%8s", "-") : sprintf("%8.1f", l / t)
        printf "%6d pages, %7.1f pages/s, %s links/s, %8.2f s wall, %6.2f CPU s per 1000 pages, %6.1f MB peak",
            n, n / t, ls, t, (u + s) * 1000 / n, k / 1024 }')
}

# ---- Tarvimo ------------------------------------------------------------------------
mkdir -p "$work/home"
# The queue must hold the widest level of the site (see below); the default of 5000 is
# too small for 20 000 pages in four levels.
queue=$(( widest > 5000 ? widest + 1000 : 5000 ))
timed_pass tarvimo "$cli" --home "$work/home" scan "$start" --depth "$depth" --downloads "$downloads" \
    --queue "$queue" --results "$work/results.txt" || die "tarvimo-cli scan failed"
summary=$(tail -n 1 "$work/tarvimo.err")
summary_re='^tarvimo-cli: scan ended: ([0-9]+) pages, ([0-9]+) links, ([0-9]+) retries, ([0-9]+) errors, ([0-9.]+) s$'
[[ "$summary" =~ $summary_re ]] ||
    { tail -n 5 "$work/tarvimo.err" >&2; die "tarvimo-cli scan ended without its summary line"; }
t_pages=${BASH_REMATCH[1]} t_links=${BASH_REMATCH[2]} t_retries=${BASH_REMATCH[3]} t_errors=${BASH_REMATCH[4]}
# A found link is marked seen even when the queue is too full to take it, so a crawler
# whose queue cannot hold the widest level of the site loses pages for good.
[ "$t_pages" -eq "$pages" ] ||
    die "Tarvimo fetched $t_pages pages of $pages (summary: $summary); the widest level of the site," \
        "which its queue must hold, has $widest pages"
out_lines=$(grep -c . "$work/tarvimo.out" || true)
[ "$out_lines" -eq "$t_links" ] ||
    die "Tarvimo printed $out_lines link lines but its summary says $t_links links (summary: $summary)"
figures "$work/tarvimo.time" "$t_pages" "$t_links"
tarvimo_rate=$rate tarvimo_line=$line

# ---- wget ---------------------------------------------------------------------------
# Not --spider: it sends a HEAD before the GET of every page. The images are left out, as
# Tarvimo reports them without fetching them. wget's level counts links from the start
# page, Tarvimo's depth counts the start page as 1.
timed_pass wget wget --recursive --level=$((depth - 1)) --no-verbose -e robots=off --reject gif \
    --delete-after --no-directories --directory-prefix "$work/wget" "$start" ||
    die "wget failed"
w_pages=$(grep -o 'URL:[^ ]*\.html ' "$work/wget.err" | sort -u | grep -c . || true)
[ "$w_pages" -eq "$pages" ] || die "wget fetched $w_pages pages of $pages"
figures "$work/wget.time" "$w_pages" -
wget_rate=$rate wget_line=$line

# ---- figures ------------------------------------------------------------------------
echo "tarvimo:  $tarvimo_line"
echo "          $t_links links reported ($site_links in the site), $t_retries retries, $t_errors errors"
echo "wget:     $wget_line"
awk -v d="$downloads" -v t="$tarvimo_rate" -v w="$wget_rate" 'BEGIN {
    bound = d * 5
    printf "pacing:   %d downloads x 5 ticks/s = %d pages/s at most; Tarvimo reached %.0f%% of it\n",
        d, bound, 100 * t / bound
    printf "ratio:    Tarvimo/wget pages/s %.3gx\n", (w > 0) ? t / w : 0
}'
if [ "$t_links" -ne "$site_links" ]; then
    echo "note:     Tarvimo reported $t_links links, the site has $site_links distinct links besides the start page" >&2
fi
