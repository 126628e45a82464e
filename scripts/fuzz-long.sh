#!/usr/bin/env bash
# The long fuzz runs: libFuzzer targets one at a time for SECONDS of wall time
# each, under `nice -n 19` so that builds keep the cores. The names given (all
# of fuzz/fuzz_*.cpp when none is) join a queue, <build>/long/queue, that one
# runner works through; while a runner is at work, a second call only adds
# its names, and the queue file may be edited to reorder what is left.
# A crash is kept and the target goes on for the time left; the readers'
# own diagnostics (standard output) are dropped. Each target
# leaves <build>/long/<name>.log and a line in <build>/long/summary.txt: user
# and system CPU seconds, executions, coverage, features and crashes.
#
#   scripts/fuzz-long.sh [-b build-fuzz] [-t 600] [name...]
#   scripts/fuzz-long.sh -r      # only work through what is queued
set -uo pipefail

cd "$(dirname "$0")/.."
build=build-fuzz
seconds=600
resume=0
while getopts "b:t:r" option; do
  case $option in
    b) build=$OPTARG ;;
    t) seconds=$OPTARG ;;
    r) resume=1 ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))

names=("$@")
if [ ${#names[@]} -eq 0 ] && [ $resume -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do
    stem=$(basename "$source" .cpp)
    names+=("${stem#fuzz_}")
  done
fi

long=$build/long
queue=$long/queue
mkdir -p "$long" "$build/crashes"
[ ${#names[@]} -eq 0 ] || printf '%s\n' "${names[@]}" >>"$queue"

exec 9>"$long/.runner"
flock -n 9 || { echo "queued behind the running runner: ${names[*]}"; exit 0; }

# One target for the whole time; a crash ends a libFuzzer run, so it starts
# again with a new seed, at most a few times so one fault cannot eat the run.
run_target() {
  local name=$1 program=$build/bin/fuzz_$1
  if [ ! -x "$program" ]; then
    echo "# $name: $program is missing" | tee -a "$long/summary.txt"
    return
  fi
  local found=$build/corpus/$name log=$long/$name.log
  mkdir -p "$found"
  : >"$log"
  local user=0 system=0 runs=0 crashes=0 round=0 started left status u s executed
  started=$(date +%s)
  while :; do
    left=$((seconds - ($(date +%s) - started)))
    [ "$left" -gt 5 ] || break
    round=$((round + 1))
    nice -n 19 /usr/bin/time -f '%U %S' -o "$long/$name.time" \
      "$program" -max_total_time="$left" -print_final_stats=1 -seed="$round$RANDOM" \
      -rss_limit_mb=2048 -timeout=10 -close_fd_mask=1 \
      -artifact_prefix="$build/crashes/$name-" "$found" "fuzz/corpus/$name" >"$log.part" 2>&1
    status=$?
    cat "$log.part" >>"$log"
    read -r u s <"$long/$name.time" 2>/dev/null || { u=0; s=0; }
    user=$(echo "$user + ${u:-0}" | bc)
    system=$(echo "$system + ${s:-0}" | bc)
    executed=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log.part" | tail -1 | grep -o '[0-9]*$')
    runs=$((runs + ${executed:-0}))
    [ $status -eq 0 ] && break
    crashes=$((crashes + 1))
    [ $crashes -lt 5 ] || break
  done
  rm -f "$log.part"
  local coverage
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  echo "$name wall=$(($(date +%s) - started))s user=${user}s system=${system}s execs=$runs $coverage crashes=$crashes" |
    tee -a "$long/summary.txt"
}

while :; do
  name=$(head -n 1 "$queue" 2>/dev/null)
  [ -n "$name" ] || break
  sed -i 1d "$queue"
  run_target "$name"
done
