#!/usr/bin/env bash
# Starts the panel with the board simulator on COM1 and the motion editor stand-in, so
# that it can be tried without a robot. The demo keeps its own folder in the build tree;
# its settings file is made from the sample only when missing, so changes survive.
set -uo pipefail

build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
demo="$build/demo"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: the panel needs one. Without a desktop, run it under xvfb-run -a make run" >&2
    exit 1
fi

mkdir -p "$demo"
# A copy, not a link: the program keeps its settings and ports beside its resolved path.
cp -f "$build/app/tapdeck" "$demo/tapdeck"
if [ ! -e "$demo/Vodazevivuzo3.ini" ]; then
    iconv -f UTF-8 -t CP932 "$here/sample.ini" > "$demo/Vodazevivuzo3.ini"
fi

# Ctrl+C reaches the panel, which closes as by its close box and writes its settings
# file; the script stays to end the helpers once the panel has gone.
trap 'true' INT
simulator_pid=""
editor_pid=""
cleanup() {
    [ -n "$editor_pid" ] && kill "$editor_pid" 2>/dev/null
    [ -n "$simulator_pid" ] && kill "$simulator_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 143' TERM HUP

echo "Board simulator on COM1: every play number the board plays is logged here."
"$build/tools/board_simulator/board_simulator" --dir "$demo" --port 1 &
simulator_pid=$!
for _ in $(seq 50); do
    [ -e "$demo/ports/COM1" ] && break
    sleep 0.1
done
"$build/tools/motion_editor/motion_editor" > >(sed -u 's/^/motion editor: /') &
editor_pid=$!

echo "Panel: right click for its menu; choose PWT3 in the property editor for the motion editor."
"$demo/tapdeck"
