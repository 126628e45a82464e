#!/usr/bin/env bash
# The ticker's CPU use: flash entries back to back for 10 s, then 10 s idle,
# in a process holding only the strip, on a virtual screen with a compositor
# (or on $DISPLAY when one is set). Usage: bench/bench_ticker.sh [BUILD] [SECONDS]
set -euo pipefail

build=$(realpath "${1:-build}")
seconds=${2:-10}
showcase="$build/bin/ticker_showcase"
[ -x "$showcase" ] || { echo "# $showcase is missing: build the ticker_showcase target"; exit 1; }
home=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$home"' EXIT
export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache"

if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=":$((500 + RANDOM % 400))"
  Xvfb "$DISPLAY" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  xcompmgr >/dev/null 2>&1 &
  pids+=($!)
fi
"$showcase" measure "$seconds"
