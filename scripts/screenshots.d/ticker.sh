#!/usr/bin/env bash
# The ticker strip held mid-effect, for each of the five effects with a Latin
# and a Japanese headline: ticker-<effect>-latin.png and ticker-<effect>-ja.png,
# each the bottom of the screen with the strip over a backdrop; the keyword
# filter editor; and the real program showing a 'Tckm' message.
# Needs DISPLAY (Xvfb with xcompmgr), VARNOKE_BUILD and SHOTS.
set -euo pipefail

showcase="$VARNOKE_BUILD/bin/ticker_showcase"
[ -x "$showcase" ] || { echo "# $showcase is missing: build the ticker_showcase target"; exit 1; }
home=$(mktemp -d)
# The web view's helpers may still be writing for a moment after the quit.
trap 'rm -rf "$home" 2>/dev/null || { sleep 1; rm -rf "$home" 2>/dev/null; } || true' EXIT
export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache"

read -r width height < <(xdpyinfo | awk '/dimensions:/ { split($2, size, "x"); print size[1], size[2] }')
band=72 # the strip and a little of what is above it

# Columns: effect name, frame to hold (mid-slide, mid-fade, a lit blink, a lit
# sparkle, halfway up).
for pair in "Flash 18" "Twinkle 4" "Blink 3" "Sparkle 5" "Rising 20"; do
  read -r effect frame <<<"$pair"
  for language in latin ja; do
    name="ticker-${effect,,}-$language.png"
    fifo="$home/out"
    rm -f "$fifo" && mkfifo "$fifo"
    "$showcase" hold "$effect" "$language" "$frame" >"$fifo" 2>"$home/err" &
    pid=$!
    if timeout 10 grep -q -m1 ready <"$fifo"; then
      import -window root -crop "${width}x${band}+0+$((height - band))" +repage "$SHOTS/$name"
      echo "  $name"
    else
      echo "# $name: the strip never came up"; cat "$home/err"
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
done

# The keyword filter editor with a few filters, one of them selected.
fifo="$home/out"
rm -f "$fifo" && mkfifo "$fifo"
"$showcase" editor >"$fifo" 2>"$home/err" &
pid=$!
if timeout 10 grep -q -m1 ready <"$fifo"; then
  import -window root -crop 640x480+160+110 +repage "$SHOTS/ticker-filter-editor.png"
  echo "  ticker-filter-editor.png"
else
  echo "# the filter editor never came up"; cat "$home/err"; exit 1
fi
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true

# The real program: a 'Tckm' message sent over its bus as another program
# would, caught halfway up its rise.
varnoke="$VARNOKE_BUILD/bin/varnoke"
[ -x "$varnoke" ] || { echo "# $varnoke is missing"; exit 1; }
export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" QT_LOGGING_RULES="qt.webenginecontext.info=false"
dbus-run-session -- bash -c '
  "$1" >"$2/varnoke.log" 2>&1 &
  pid=$!
  for _ in $(seq 150); do grep -q "^  started" "$2/varnoke.log" && break; sleep 0.1; done
  bytes=$(printf "Build Bot\rNightly build 512 passed all tests\rChime\rRising\r1,0,0" | od -An -tu1 | tr -s " \n" "," | sed "s/^,//;s/,$//")
  dbus-send --session --print-reply --dest=org.varnoke.Rssv /org/varnoke/Events org.varnoke.Events.Send \
    string:Rssv string:Tckm array:byte:$bytes | grep -q "int32 0" || { echo "# Tckm was refused"; kill $pid; exit 1; }
  sleep 1.2 # the idle step starts it within 0.5 s; the rise takes about a second
  import -window root -crop "$3x$4+0+$(($5 - $4))" +repage "$SHOTS/ticker-rising-varnoke.png"
  echo "  ticker-rising-varnoke.png"
  dbus-send --session --dest=org.varnoke.Rssv /org/varnoke/Events org.varnoke.Events.Send \
    string:aevt string:quit array:byte: >/dev/null
  for _ in $(seq 50); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.1; done
  kill $pid
' _ "$varnoke" "$home" "$width" "$band" "$height"
