#!/bin/sh
# with_display.sh [--window-manager openbox] <command> [args...]: runs the command on an X
# server of its own, so that tests which raise windows, move the focus or type keys can run
# side by side. With a window manager, windows get frames as on a desktop; the command
# starts once the manager has taken the screen.
# The server picks a free display number itself (-displayfd), which avoids the race of
# several `xvfb-run -a` choosing the same number at once.
set -u
window_manager=""
if [ "${1:-}" = "--window-manager" ]; then
    window_manager=$2
    shift 2
fi
fifo_dir=$(mktemp -d "${TMPDIR:-/tmp}/tapdeck-display.XXXXXX") || exit 1
fifo=$fifo_dir/displayfd
mkfifo "$fifo" || exit 1

# -noreset: a server that resets whenever its last client leaves can refuse the next
# program started right after one has ended.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$fifo" >"$fifo_dir/log" 2>&1 &
server=$!
number=$(head -n 1 <"$fifo")
if [ -z "$number" ]; then
    echo "with_display.sh: Xvfb did not start:" >&2
    cat "$fifo_dir/log" >&2
    rm -rf "$fifo_dir"
    kill "$server" 2>/dev/null
    exit 1
fi
rm -rf "$fifo_dir"

manager=""
cleanup() {
    if [ -n "$manager" ]; then
        kill "$manager" 2>/dev/null
        wait "$manager" 2>/dev/null
    fi
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

DISPLAY=:$number
export DISPLAY
if [ -n "$window_manager" ]; then
    wm_log=$(mktemp "${TMPDIR:-/tmp}/tapdeck-wm.XXXXXX") || exit 1
    case $window_manager in
    # No session manager and no autostart: only the frames, placement and EWMH.
    openbox) openbox --sm-disable --config-file /etc/xdg/openbox/rc.xml >"$wm_log" 2>&1 & ;;
    *) "$window_manager" >"$wm_log" 2>&1 & ;;
    esac
    manager=$!
    # A manager that follows EWMH names its check window on the root once it manages.
    tries=0
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! kill -0 "$manager" 2>/dev/null; then
            echo "with_display.sh: $window_manager did not take the screen:" >&2
            cat "$wm_log" >&2
            rm -f "$wm_log"
            exit 1
        fi
        sleep 0.05
    done
    rm -f "$wm_log"
fi
"$@"
status=$?
exit $status
