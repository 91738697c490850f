#!/usr/bin/env bash
# The main job: the touch-screen driver running on a simulated sensor. Installs what is missing,
# builds, starts zt7-sensor-sim on a pseudo-terminal with a scripted session (taps, presses,
# drags, holds, two fingers), and runs ZT7_DRIVER on it with ready settings (sensor on COM1, mouse
# output on, a press holds the left button) and the log sink, so the mouse moves and clicks it
# would make scroll by. Ends by itself after about half a minute and cleans up.
#   ./run.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")"
seconds=${1:-30}

# ZT7_BIN=<folder> runs programs already built there instead of installing and building.
if [ -z "${ZT7_BIN:-}" ]; then
    bash scripts/deps.sh
    bash scripts/build.sh build
fi
bin=${ZT7_BIN:-$PWD/build/bin}

work=$(mktemp -d)
ns="zt7demo-$$"
sim_pid=""
drv_pid=""
cleanup() {
    [ -n "$drv_pid" ] && kill "$drv_pid" 2>/dev/null && wait "$drv_pid" 2>/dev/null || true
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null || true
    rm -rf "$work"
    rm -f /dev/shm/"$ns"-* 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# An isolated set of shared variables and its own single-instance lock: a driver already running
# for this user is not disturbed.
export ZT7_SHM_NAMESPACE=$ns
export ZT7_COM1=$work/sensor
cp demo/ZT7.INI "$work/ZT7.INI"

echo "== ZT7 demonstration: simulated sensor -> ZT7_DRIVER -> mouse actions (log sink), ${seconds} s"
echo "   settings folder $work (ZT7.INI from demo/ZT7.INI), sensor on COM1 = $ZT7_COM1"
echo

# Sensor: what the finger does, prefixed "sensor |".
"$bin/zt7-sensor-sim" --script demo --link "$work/sensor" --duration "$seconds" \
    > >(sed -u 's/^/sensor | /') 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -e "$work/sensor" ] && break; sleep 0.05; done

# Driver: mouse actions on stdout ("mouse  |"), status and diagnostics on stderr ("driver |").
"$bin/ZT7_DRIVER" --dir="$work" --mouse=log --verbose \
    > >(tee "$work/mouse.log" | sed -u 's/^/mouse  | /') \
    2> >(sed -u 's/^ZT7_DRIVER: /driver | /' >&2) &
drv_pid=$!

wait "$sim_pid" || true
sim_pid=""
sleep 1
echo
echo "== asking the driver to stop through its command channel (zt7ctl status Terminate)"
"$bin/zt7ctl" status Terminate >/dev/null || kill "$drv_pid" 2>/dev/null || true
wait "$drv_pid" || true
drv_pid=""
sleep 0.2

moves=$(grep -c '^mouse move' "$work/mouse.log" || true)
downs=$(grep -c '^mouse left down' "$work/mouse.log" || true)
ups=$(grep -c '^mouse left up' "$work/mouse.log" || true)
rights=$(grep -c '^mouse right down' "$work/mouse.log" || true)
echo
echo "== done: $moves pointer moves, $downs left presses, $ups left releases, $rights right clicks"
echo "   (run ZT7_DRIVER --mouse=uinput or under X with --mouse=xtest to drive the real pointer)"
