#!/usr/bin/env bash
# Compares Varnoke's HTTP client with curl on the same 500 conditional GETs:
# a local server (bench_http --serve) answers half of them 304 and half 200
# with a 100 KB body; each client runs them six at a time, writing the bodies
# to files, first into empty folders, then over the files already there. The
# medians of requests per second and CPU seconds (user + system, the whole
# process) per request are printed with the ratio Varnoke / curl (goal: at
# most 1).
#
#     bench/bench_http.sh [build folder, default build] [rounds, default 5]
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench="$build/bin/bench_http"
requests=500
parallel=6
condition_date="Mon, 15 Jan 2024 12:30:00 GMT"

[ -x "$bench" ] || { echo "bench_http.sh: $bench not built (cmake --build $build --target bench_http)" >&2; exit 1; }
command -v curl >/dev/null || { echo "bench_http.sh: curl is not installed" >&2; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/varnoke-bench-http.XXXXXX")
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

"$bench" --serve >"$scratch/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$scratch/port" ] && break; sleep 0.1; done
port=$(head -n1 "$scratch/port")
[ -n "$port" ] || { echo "bench_http.sh: the local server did not start" >&2; exit 1; }

curl_config="$scratch/curl.config"
for ((number = 0; number < requests; number++)); do
  echo "url = \"http://127.0.0.1:$port/feed/$number\""
  echo "output = \"$scratch/out-curl/feed-$number\""
done >"$curl_config"

# Runs a command as one process and prints "<wall seconds> <cpu seconds>".
measure() {
  local TIMEFORMAT='%R %U %S'
  local times
  times=$({ time "$@" >/dev/null 2>"$scratch/stderr"; } 2>&1) || { cat "$scratch/stderr" >&2; return 1; }
  awk '{ printf "%.4f %.4f\n", $1, $2 + $3 }' <<<"$times"
}

fresh_output() { rm -rf "$scratch/out-varnoke" "$scratch/out-curl"; mkdir "$scratch/out-varnoke" "$scratch/out-curl"; }

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Both clients run ROUNDS times, taking turns, as whole processes. With
# "new", every round writes into empty folders; with "replacing", the files
# of the previous round are there and each 200 replaces one (as a feed that
# changed replaces its cache document).
run_rounds() {
  local scenario=$1
  : >"$scratch/varnoke-$scenario"
  : >"$scratch/curl-$scenario"
  mkdir -p "$scratch/out-varnoke" "$scratch/out-curl"
  for ((round = 1; round <= rounds; round++)); do
    [ "$scenario" = new ] && fresh_output
    measure "$bench" --client "$port" "$scratch/out-varnoke" >>"$scratch/varnoke-$scenario"
    measure curl --silent --http1.0 --parallel --parallel-max "$parallel" \
      --header "If-Modified-Since: $condition_date" --config "$curl_config" >>"$scratch/curl-$scenario"
  done
}

column() { cut -d' ' -f"$2" "$1" | median; }

line() {
  awk -v name="$1" -v wall="$2" -v cpu="$3" -v n="$requests" \
    'BEGIN { printf "  %-8s %8.0f requests/s   %.6f CPU s/request   (medians: %.3f s wall, %.3f s CPU)\n", name, n / wall, cpu / n, wall, cpu }'
}

report() {
  local scenario=$1 title=$2
  local varnoke_cpu curl_cpu
  varnoke_cpu=$(column "$scratch/varnoke-$scenario" 2)
  curl_cpu=$(column "$scratch/curl-$scenario" 2)
  echo "$title"
  line varnoke "$(column "$scratch/varnoke-$scenario" 1)" "$varnoke_cpu"
  line curl "$(column "$scratch/curl-$scenario" 1)" "$curl_cpu"
  awk -v v="$varnoke_cpu" -v c="$curl_cpu" \
    'BEGIN { printf "  CPU per request, varnoke / curl: %.2f (goal: at most 1.00)\n", v / c }'
}

run_rounds new
run_rounds replacing
echo "$requests conditional GETs (half 304, half 200 with 100 KB), $parallel at a time, $rounds rounds each"
report new "Bodies written into an empty folder:"
report replacing "Bodies replacing the previous files (Varnoke: temporary file and rename; curl: overwritten in place):"
