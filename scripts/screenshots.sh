#!/usr/bin/env bash
# Starts a virtual screen with a compositor and runs every part in
# scripts/screenshots.d/ against the build tree; each writes PNG files into
# $SHOTS. Usage: scripts/screenshots.sh BUILD SHOTS
set -euo pipefail

build=$(realpath "${1:-build}")
shots=$(realpath -m "${2:-$build/screenshots}")
mkdir -p "$shots"

display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1440x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $compositor $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  xdpyinfo -display "$display" >/dev/null 2>&1 && break
  sleep 0.1
done
DISPLAY="$display" xcompmgr >/dev/null 2>&1 &
compositor=$!

export DISPLAY="$display" VARNOKE_BUILD="$build" SHOTS="$shots"
status=0
for part in "$(dirname "$0")"/screenshots.d/*.sh; do
  [ -e "$part" ] || continue
  echo "== $(basename "$part")"
  bash "$part" || { echo "# $(basename "$part") failed"; status=1; }
done
ls "$shots"
exit $status
