#!/usr/bin/env bash
# Sets up, builds, and starts a program on the simulated controller.
#   scripts/run.sh [target-sim options]          Bramlet on a simulated C167 board
#   scripts/run.sh quorra [target-sim options]   Quorra on a simulated uploader device
# Extra options go to target-sim after the defaults below and override them, e.g.
#   scripts/run.sh --baud 115200 --bank-erase-ms 0     scripts/run.sh quorra --erase-ms 5000
# The programs run in demo/ (sample files, their settings under demo/config; your own settings are
# not touched); the simulator's flash contents are written to demo/flash/ when it stops.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

program=bramlet
if [ "${1:-}" = quorra ] || [ "${1:-}" = bramlet ]; then
    program=$1
    shift
fi

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

sim="$top/build/target-sim/target-sim"
if [ "$program" = quorra ]; then
    exe="$top/build/uploader/windows/Quorra"
    sim_options=(--uploader --baud 19200 --erase-ms 1500 --zero-resets)
else
    exe="$top/build/programming-tool/main-window/Bramlet"
    sim_options=(--baud 38400 --bank-erase-ms 200 --zero-resets)
fi
if [ ! -x "$exe" ]; then
    echo "run.sh: ${exe#"$top"/} is not built yet; nothing to start." >&2
    exit 1
fi

# Working folder with our sample files; files already there (settings) are kept.
demo="$top/demo"
mkdir -p "$demo/config" "$demo/flash"
for f in samples/*; do
    [ "$(basename "$f")" = make-samples.sh ] && continue
    cp -rn "$f" "$demo/"
done
export XDG_CONFIG_HOME="$demo/config"

# The simulated controller, in the background; its first line of output is the device path.
out="$demo/target-sim.out"
: >"$out"
"$sim" --dump "$demo/flash" --link "$demo/COM1" "${sim_options[@]}" "$@" </dev/null >"$out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ -s "$out" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { echo "run.sh: target-sim did not start" >&2; exit 1; }
    sleep 0.05
done
device=$(head -n 1 "$out")
[ -n "$device" ] || { echo "run.sh: target-sim gave no device path" >&2; exit 1; }
export COM1="$device"

echo "run.sh: simulated controller on $device (COM1), pid $sim_pid"
echo "run.sh: to reset it into bootstrap mode by hand: kill -USR1 $sim_pid"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display found; try: xvfb-run -a scripts/run.sh ${program/bramlet/}" >&2
fi
cd "$demo"
status=0
"$exe" || status=$?
exit "$status"
