#!/bin/sh
# with_display.sh <command> [args...]: runs the command on an X server of its own, so that
# tests which raise windows, move the focus or type keys can run side by side.
# The server picks a free display number itself (-displayfd), which avoids the race of
# several `xvfb-run -a` choosing the same number at once.
set -u
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

cleanup() {
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

DISPLAY=:$number
export DISPLAY
"$@"
status=$?
exit $status
