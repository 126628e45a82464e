#!/usr/bin/env bash
# The viewer window with a fixture profile: two groups and a dozen feeds
# served by a local web server, hot items (a keyword filter) and permanent
# ones. Starts Varnoke on a private session bus, waits for the first refresh
# of every feed, then saves viewer-*.png into $SHOTS: the window after the
# refresh, a folder and an item picked by clicks, a keyword search ('Fltr'),
# a web page opened by 'GURL', and the description pane's cases (a picture
# enclosure, an audio enclosure, an item without description). Then times
# showing an item, click to painted page, over 50 items (bench_panes).
set -euo pipefail

build=${VARNOKE_BUILD:?VARNOKE_BUILD names the build tree}
shots=${SHOTS:?SHOTS names the output folder}
mkdir -p "$shots"
profile_maker="$build/bin/viewer_fixture_profile"
[ -x "$profile_maker" ] || cmake --build "$build" --target viewer_fixture_profile >/dev/null
[ -x "$build/bin/bench_panes" ] || cmake --build "$build" --target bench_panes >/dev/null

root=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT

export HOME="$root/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$root/run"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY no_proxy NO_PROXY

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
base="http://127.0.0.1:$port"
"$profile_maker" "$base" "$root/site"
cat > "$root/site/page.html" <<'PAGE'
<!DOCTYPE html><html><head><meta charset="utf-8"><title>Harbour Gazette: Port strike ends</title>
<style>body{font-family:serif;margin:24px 40px;color:#222}h1{color:#1a4f8a}</style></head>
<body><h1>Port strike ends after nine days</h1><p>Dock workers returned on Wednesday morning after
the union and the port authority agreed on a new shift plan.</p><p>Ferries resume their full
timetable tomorrow.</p></body></html>
PAGE
# The picture enclosure: an evening sky over the pier.
convert -size 560x300 gradient:'#1d3557-#f4a261' \
  -fill '#1b1b1b' -draw 'rectangle 0,250 560,300' -draw 'rectangle 400,120 418,250' \
  -fill '#fff3b0' -draw 'circle 409,112 409,100' "$root/site/lighthouse.png"
(cd "$root/site" && exec python3 -m http.server --bind 127.0.0.1 "$port" >/dev/null 2>&1) &
server=$!
for _ in $(seq 50); do
  python3 -c "import urllib.request; urllib.request.urlopen('$base/feed1.rss')" 2>/dev/null && break
  sleep 0.1
done

export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu"
export QT_LOGGING_RULES="qt.webenginecontext.info=false"
export VARNOKE_BIN="$build/bin/varnoke" SHOTS_DIR="$shots" LOG="$root/varnoke.log" BASE="$base"
export CLICK="$(cd "$(dirname "$0")/../.." && pwd)/tests/window/fixtures/xclick.py"

# Everything that needs the bus runs inside one private session.
dbus-run-session -- bash -euo pipefail -c '
send() { # class id text
  local bytes
  bytes=$(printf "%s" "$3" | od -An -tu1 | tr -s " \n" "," | sed "s/^,//; s/,$//")
  dbus-send --session --print-reply --dest=org.varnoke.Rssv /org/varnoke/Events \
    org.varnoke.Events.Send "string:$1" "string:$2" "array:byte:$bytes" >/dev/null
}
wait_for() { # pattern count seconds
  for _ in $(seq $(( $3 * 10 ))); do
    [ "$(grep -c -- "$1" "$LOG" || true)" -ge "$2" ] && return 0
    sleep 0.1
  done
  echo "# gave up waiting for \"$1\" x$2"; return 1
}
"$VARNOKE_BIN" >"$LOG" 2>&1 &
varnoke=$!
wait_for "viewer window shown" 1 20
wait_for "new headlines in" 13 30 || true
sleep 1.5
import -window root "$SHOTS_DIR/viewer-refreshed.png"
# The window sits at the top left of the bare screen: a folder row of the
# pane, then the first headline.
python3 "$CLICK" 100 153
sleep 0.5
python3 "$CLICK" 500 114
sleep 1.5
import -window root "$SHOTS_DIR/viewer-item.png"
send Rssv Fltr "release"
sleep 1
import -window root "$SHOTS_DIR/viewer-search.png"
send GURL GURL "$BASE/page.html"
sleep 3
import -window root "$SHOTS_DIR/viewer-webpage.png"
# Each case found by a search, then its first row clicked.
for shot in picture:picture audio:episode nodesc:Tide; do
  send Rssv Fltr "${shot#*:}"
  sleep 1
  python3 "$CLICK" 500 114
  sleep 2.5
  import -window root "$SHOTS_DIR/viewer-${shot%%:*}.png"
done
# The last item page as the pane loaded it, to read beside its picture.
cp "$XDG_DATA_HOME/varnoke/description.html" "$SHOTS_DIR/viewer-nodesc.html" 2>/dev/null || true
send aevt quit ""
for _ in $(seq 100); do kill -0 $varnoke 2>/dev/null || break; sleep 0.1; done
kill $varnoke 2>/dev/null || true
grep -E "^# " "$LOG" | head -20 || true
'
ls "$shots"/viewer-*.png
# Showing an item, click to painted page: the median over 50 items.
QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" "$build/bin/bench_panes" 50 2>/dev/null | tee "$shots/viewer-show-item.txt"
