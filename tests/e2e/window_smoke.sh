#!/usr/bin/env bash
# Starts the real game under a private X server and checks that its 800 x 600 window
# titled "Spraydash" appears. Usage: window_smoke.sh <spraydash binary> <generated Data dir>
# Exit 77 (skipped) only when Xvfb is not installed.
set -u

game=$1
data=$2

if ! command -v Xvfb >/dev/null 2>&1; then
    echo "Xvfb is not installed: skipped"
    exit 77
fi
for tool in xdotool xwininfo; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "FAIL: $tool is not installed"
        exit 1
    fi
done
for file in Res/Res1.dxg Res/Res3.dxg Res/Sounds.dxw Music/Menu.xm Music/Race.xm; do
    if [ ! -f "$data/$file" ]; then
        echo "FAIL: $data/$file has not been generated"
        exit 1
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/spraydash-e2e-XXXXXX")
xvfb_pid=""
game_pid=""
cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null && wait "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A display number drawn at random (servers started side by side would all race for the lowest
# free one); Xvfb's lock refuses a taken number, and then another is drawn.
for _ in $(seq 20); do
    : >"$work/display"
    Xvfb ":$((RANDOM % 3980 + 20))" -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$work/display" ] && break
    xvfb_pid=
done
if [ ! -s "$work/display" ]; then
    echo "FAIL: Xvfb did not start"
    cat "$work/xvfb.log"
    exit 1
fi
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
# A new server can turn a client away for a moment after it has named its display: wait until
# one gets through, or the game would find no display.
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

mkdir -p "$work/run/Data/Save"
ln -s "$data/Res" "$work/run/Data/Res"
ln -s "$data/Music" "$work/run/Data/Music"
(cd "$work/run" && SDL_AUDIODRIVER=dummy exec "$game" >"$work/game.log" 2>&1) &
game_pid=$!

wid=""
for _ in $(seq 200); do
    wid=$(xdotool search --name '^Spraydash$' 2>/dev/null | head -n1)
    [ -n "$wid" ] && break
    if ! kill -0 "$game_pid" 2>/dev/null; then
        echo "FAIL: the game ended before its window appeared"
        cat "$work/game.log"
        game_pid=""
        exit 1
    fi
    sleep 0.1
done
if [ -z "$wid" ]; then
    echo "FAIL: no window titled Spraydash on $DISPLAY"
    cat "$work/game.log"
    exit 1
fi

info=$(xwininfo -id "$wid")
width=$(awk '/^ *Width:/ {print $2}' <<<"$info")
height=$(awk '/^ *Height:/ {print $2}' <<<"$info")
if [ "$width" != 800 ] || [ "$height" != 600 ]; then
    echo "FAIL: the window is ${width} x ${height}, not 800 x 600"
    echo "$info"
    exit 1
fi
if ! kill -0 "$game_pid" 2>/dev/null; then
    echo "FAIL: the game ended"
    cat "$work/game.log"
    game_pid=""
    exit 1
fi
echo "window $wid: Spraydash, 800 x 600"
exit 0
