#!/bin/bash
# Runs acceptance scenarios against the built program on a private X server and a private
# session bus, so that runs never see each other or the desktop of whoever starts them.
#
#   run_acceptance.sh <path-to-wendlow> [scenario...]     (no scenario: all of them)
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

fail() {
    echo "acceptance: $*" >&2
    exit 2
}

[ $# -ge 1 ] || fail "usage: run_acceptance.sh <path-to-wendlow> [scenario...]"
program=$(realpath -e "$1" 2>/dev/null) || fail "program not found: $1"
[ -x "$program" ] || fail "program is not executable: $program"
shift

python=/usr/bin/python3
for tool in Xvfb dbus-run-session xdotool; do
    command -v "$tool" >/dev/null || fail "missing tool: $tool"
done
"$python" -c 'import gi; gi.require_version("Atspi", "2.0"); import Xlib' 2>/dev/null ||
    fail "$python lacks the AT-SPI bindings or Xlib (Debian: python3-pyatspi, python3-xlib)"

work=$(mktemp -d "${TMPDIR:-/tmp}/wendlow-acceptance.XXXXXX") || fail "cannot make a temp dir"
xvfb_pid=""
session_pid=""

cleanup() {
    # The session runs in its own process group, which also holds the bus daemons it started.
    if [ -n "$session_pid" ]; then
        kill -TERM -- "-$session_pid" 2>/dev/null
        wait "$session_pid" 2>/dev/null
        kill -KILL -- "-$session_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill -TERM "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# -displayfd lets the server pick a free display itself and tells us once it accepts
# connections; -noreset keeps it from resetting (and refusing clients) when the last one leaves.
: >"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!

deadline=$((SECONDS + 20))
display=""
while [ -z "$display" ]; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        cat "$work/xvfb.log" >&2
        fail "Xvfb exited before it was ready"
    fi
    [ $SECONDS -lt $deadline ] || fail "Xvfb did not report a display within 20 s"
    display=$(tr -dc '0-9' <"$work/display")
    [ -n "$display" ] || sleep 0.05
done

mkdir -m 700 "$work/runtime" "$work/home"
export DISPLAY=":$display"
export XDG_RUNTIME_DIR="$work/runtime"
export HOME="$work/home"
export XDG_CONFIG_HOME="$work/home/.config"
export QT_ACCESSIBILITY=1
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_QPA_PLATFORM=xcb
export PYTHONDONTWRITEBYTECODE=1  # keep the source tree clean
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY

# The bus daemons and the services they start chatter on stderr; keep that out of the
# scenarios' report and show it only when something failed.
cat >"$work/dbus-daemon" <<DAEMON
#!/bin/sh
exec dbus-daemon "\$@" >>"$work/buses.log" 2>&1
DAEMON
chmod +x "$work/dbus-daemon"

setsid dbus-run-session --dbus-daemon="$work/dbus-daemon" -- \
    "$python" "$here/scenarios.py" --program "$program" --work "$work" "$@" &
session_pid=$!
wait "$session_pid"
status=$?
# The session has ended; sweep its process group for anything it left behind.
kill -KILL -- "-$session_pid" 2>/dev/null
session_pid=""
# 1 is a failed scenario, 2 a wrong call, 77 every scenario skipped; anything else means the
# buses or the driver broke.
if [ "$status" -gt 2 ] && [ "$status" -ne 77 ] && [ -s "$work/buses.log" ]; then
    echo "--- bus log ---" >&2
    tail -n 40 "$work/buses.log" >&2
fi
exit "$status"
