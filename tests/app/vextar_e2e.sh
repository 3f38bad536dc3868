#!/bin/sh
# The application as a user starts it: offscreen, on simulated devices, in
# a private runtime folder. A second start brings the first forward and
# exits 0; vextarctl reaches it over the bus; SIGTERM ends it within a
# second with status 0.
set -eu
VEXTAR=$1
VEXTARCTL=$2
WORK=$3

rm -rf "$WORK"
mkdir -p "$WORK/run" "$WORK/config" "$WORK/data"
chmod 700 "$WORK/run"
export XDG_RUNTIME_DIR="$WORK/run" XDG_CONFIG_HOME="$WORK/config" VEXTAR_DATA_HOME="$WORK/data"
export QT_QPA_PLATFORM=offscreen VEXTAR_LOG=info

fail() {
    echo "FAIL: $*"
    echo "--- first instance's log:"
    cat "$WORK/first.log" || true
    kill -9 "$PID" 2>/dev/null || true
    exit 1
}

"$VEXTAR" --simulate all 2>"$WORK/first.log" &
PID=$!
i=0
until [ -S "$WORK/run/vextar/bus" ]; do
    i=$((i + 1))
    [ $i -le 300 ] || fail "the bus never appeared"
    sleep 0.1
done
sleep 0.5

# A second start asks the first to come forward and exits 0.
"$VEXTAR" 2>"$WORK/second.log" || fail "the second start exited $?"
sleep 0.5
grep -q "brought to the front" "$WORK/first.log" || fail "the first instance was not activated"

# Scripts reach it: a named message, the tool's query and its answer.
"$VEXTARCTL" send "{4695579F-999A-41d4-9FAF-EFFCE93EBF17}" 1 0 || fail "send exited $?"
ANSWER=$("$VEXTARCTL" tool-query) || fail "tool-query exited $?"
echo "$ANSWER" | grep -q "dwData=5" || fail "tool answer: $ANSWER"
echo "$ANSWER" | grep -q "2 3 0 2 4 12815 28788 2" || fail "tool answer: $ANSWER"
# An unknown name is dropped by the window, which keeps running.
"$VEXTARCTL" send "No_Such_Message" 1 2 || fail "send of an unknown name exited $?"
sleep 0.5
grep -q "No_Such_Message" "$WORK/first.log" || fail "the unknown message was not logged"
kill -0 "$PID" || fail "the window died"

# The devices: all four in the strip; the mouse goes, comes back through
# its receiver, and a battery level out of range shows as full.
wait_status() {
    i=0
    until "$VEXTARCTL" status >"$WORK/status.txt" 2>&1 && grep -q "$1" "$WORK/status.txt"; do
        i=$((i + 1))
        [ $i -le 50 ] || fail "status never showed '$1': $(cat "$WORK/status.txt")"
        sleep 0.1
    done
}
wait_status "^mouse connected cable selected"
for type in keyboard MousePad HD; do
    wait_status "^$type connected cable"
done
"$VEXTARCTL" sim unplug mouse || fail "sim unplug exited $?"
wait_status "^mouse absent"
"$VEXTARCTL" sim plug mouse-receiver || fail "sim plug mouse-receiver exited $?"
wait_status "^mouse connected receiver"
"$VEXTARCTL" sim battery mouse 255 charging || fail "sim battery exited $?"
wait_status "^mouse connected receiver .* battery=100"
"$VEXTARCTL" sim unlink mouse-receiver || fail "sim unlink exited $?"
wait_status "^mouse absent"
"$VEXTARCTL" sim link mouse-receiver || fail "sim link exited $?"
wait_status "^mouse connected receiver"
STATUS=0
"$VEXTARCTL" sim link mouse 2>"$WORK/sim.err" || STATUS=$?
[ "$STATUS" -eq 1 ] && grep -q "mouse is not a receiver" "$WORK/sim.err" || fail "sim link mouse: $STATUS"

# SIGTERM: a clean stop within a second, status 0.
START=$(date +%s%N)
kill -TERM "$PID"
STATUS=0
wait "$PID" || STATUS=$?
END=$(date +%s%N)
[ "$STATUS" -eq 0 ] || fail "exit status $STATUS after SIGTERM"
MS=$(((END - START) / 1000000))
[ "$MS" -lt 1000 ] || fail "took $MS ms to stop"
[ ! -e "$WORK/run/vextar/bus" ] || fail "the bus socket was left behind"
echo "stopped in $MS ms"

# Without a display it says why and fails.
if env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$VEXTAR" 2>"$WORK/nodisplay.log"; then
    fail "started without a display"
fi
grep -q "no display" "$WORK/nodisplay.log" || fail "no reason given without a display"
echo "ok"
