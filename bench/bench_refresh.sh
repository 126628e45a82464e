#!/usr/bin/env bash
# Compares Varnoke's refresh cycle with newsboat on the same 500 feeds of 50
# items, served by a local server (bench_refresh --serve) that answers 200
# with Last-Modified, and 304 to any request carrying If-Modified-Since.
# Round 1 fetches every feed into empty caches; round 2 fetches them all
# again and every answer is 304. Varnoke runs its real cycle headless
# (bench_refresh --client: the idle tick paces starts 3 ticks apart, six
# workers at most), newsboat runs `newsboat -x reload` with reload-threads 6.
# Prints wall time and CPU seconds (user + system) per round for both, and
# the ratios Varnoke / newsboat (goal: CPU at most 0.5 in both rounds).
# newsboat is installed with apt-get when missing (it is not needed by make test).
#
#     bench/bench_refresh.sh [build folder, default build] [feeds, default 500] [items, default 50]
set -euo pipefail

build=${1:-build}
feeds=${2:-500}
items=${3:-50}
bench="$build/bin/bench_refresh"

[ -x "$bench" ] || { echo "bench_refresh.sh: $bench not built (cmake --build $build --target bench_refresh)" >&2; exit 1; }

if ! command -v newsboat >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "bench_refresh.sh: installing newsboat" >&2
  $sudo apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq newsboat >/dev/null
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/varnoke-bench-refresh.XXXXXX")
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

"$bench" --serve "$feeds" "$items" >"$scratch/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$scratch/port" ] && break; sleep 0.1; done
port=$(head -n1 "$scratch/port")
[ -n "$port" ] || { echo "bench_refresh.sh: the local server did not start" >&2; exit 1; }

# Varnoke: both rounds in one process, figures on standard error.
"$bench" --client "$port" "$scratch/varnoke" "$feeds" 2>"$scratch/varnoke.txt" >"$scratch/varnoke.log" ||
  { cat "$scratch/varnoke.txt" >&2; echo "bench_refresh.sh: some Varnoke fetches failed" >&2; exit 1; }

# newsboat: one process per round, in a home of its own.
mkdir -p "$scratch/newsboat/home"
for ((number = 0; number < feeds; number++)); do echo "http://127.0.0.1:$port/feed/$number"; done >"$scratch/newsboat/urls"
echo "reload-threads 6" >"$scratch/newsboat/config"
newsboat_round() {
  local TIMEFORMAT='%R %U %S'
  local times
  times=$( { time HOME="$scratch/newsboat/home" newsboat -u "$scratch/newsboat/urls" -c "$scratch/newsboat/cache.db" \
            -C "$scratch/newsboat/config" -x reload >/dev/null 2>"$scratch/newsboat/stderr"; } 2>&1) ||
    { cat "$scratch/newsboat/stderr" >&2; return 1; }
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$times"
}
read -r newsboat_wall1 newsboat_cpu1 < <(newsboat_round)
read -r newsboat_wall2 newsboat_cpu2 < <(newsboat_round)

read -r _ varnoke_wall1 varnoke_cpu1 varnoke_items1 _ < <(grep '^round1 ' "$scratch/varnoke.txt")
read -r _ varnoke_wall2 varnoke_cpu2 varnoke_items2 _ < <(grep '^round2 ' "$scratch/varnoke.txt")

echo "$feeds feeds of $items items on 127.0.0.1, six downloads at a time"
report() {
  awk -v title="$1" -v vw="$2" -v vc="$3" -v vi="$4" -v nw="$5" -v nc="$6" 'BEGIN {
    printf "%s\n", title
    printf "  varnoke   %7.2f s wall  %6.3f s CPU  (%s items registered)\n", vw, vc, vi
    printf "  newsboat  %7.2f s wall  %6.3f s CPU\n", nw, nc
    printf "  varnoke / newsboat: CPU %.2f (goal: at most 0.50), wall %.2f\n", vc / nc, vw / nw
  }'
}
report "Round 1, every feed new (200):" "$varnoke_wall1" "$varnoke_cpu1" "$varnoke_items1" "$newsboat_wall1" "$newsboat_cpu1"
report "Round 2, every feed unchanged (304):" "$varnoke_wall2" "$varnoke_cpu2" "$varnoke_items2" "$newsboat_wall2" "$newsboat_cpu2"
echo "Varnoke's wall time is paced: one start every 3 ticks (50 ms) of its idle tick."
