#!/usr/bin/env bash
# A Wine session for one test run: a fresh copy of the prepared prefix, an Xvfb display of its own, and one
# persistent wineserver, so that each Windows program starts in one to three seconds instead of booting Wine.
#
#   bash scripts/wine/session.sh start [--auto] [DIR]   start one (DIR defaults to build/win64/wine-session)
#   bash scripts/wine/session.sh stop  [--auto] [DIR]   stop it and remove its prefix
#   bash scripts/wine/session.sh status [DIR]            print its variables, exit 1 when none runs
#
# DIR/session.env holds WINEPREFIX, DISPLAY and the process ids; scripts/wine/emulator.sh reads it.
# `--auto` is what ctest's fixture uses: start reuses a session that already runs (started by scripts/test.sh,
# say), and stop only stops a session that ctest itself started.
#
# The programs always get an Xvfb display, even when DISPLAY is set: tests click and type into their windows
# and must not pop up on, or be disturbed by, a person's desktop. (scripts/run.sh shows the program on a
# person's display instead.)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

command="${1:-}"
shift || true
auto=no
if [ "${1:-}" = "--auto" ]; then auto=yes; shift; fi
dir="$(realpath -m "${1:-$quillon_repo/build/win64/wine-session}")"
state="$dir/session.env"

log() { echo "wine session: $*" >&2; }

# True when the session in $state is alive: its prefix is there and its Xvfb runs. (Should its wineserver
# have gone, the next Wine process starts another.)
alive() {
    [ -f "$state" ] || return 1
    (
        source "$state"
        [ -d "$WINEPREFIX/drive_c" ] && kill -0 "$XVFB_PID" 2>/dev/null && [ -S "/tmp/.X11-unix/X${DISPLAY#:}" ]
    )
}

stop_session() {
    [ -f "$state" ] || return 0
    (
        source "$state"
        if [ -d "$WINEPREFIX" ]; then
            WINEPREFIX="$WINEPREFIX" "$wineserver" -k 2>/dev/null || true
            WINEPREFIX="$WINEPREFIX" timeout 20 "$wineserver" -w 2>/dev/null || true
        fi
        if kill -0 "$XVFB_PID" 2>/dev/null; then
            kill "$XVFB_PID" 2>/dev/null || true
            for _ in $(seq 50); do kill -0 "$XVFB_PID" 2>/dev/null || break; sleep 0.1; done
            kill -9 "$XVFB_PID" 2>/dev/null || true
        fi
    )
    rm -rf "$dir/prefix" "$state"
}

start_session() {
    bash "$quillon_repo/scripts/wine/prefix.sh"
    mkdir -p "$dir"
    stop_session  # what a run that was killed left behind
    cp -a "$prefix_template" "$dir/prefix"
    export WINEPREFIX="$dir/prefix"

    # Xvfb picks a free display number itself and writes it to file descriptor 3. Its output goes to a log,
    # never to the caller's pipes (ctest waits until every holder of a test's output has closed it).
    rm -f "$dir/display"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$dir/display" </dev/null >"$dir/xvfb.log" 2>&1 &
    local xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$dir/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || { cat "$dir/xvfb.log" >&2; log "Xvfb did not start"; exit 1; }
        sleep 0.1
    done
    [ -s "$dir/display" ] || { log "Xvfb gave no display number"; exit 1; }
    export DISPLAY=":$(tr -dc 0-9 <"$dir/display")"

    # One wineserver for the whole run; then start Wine's own background processes (services, the desktop
    # window's explorer.exe) here, with their output in a log, so that they do not hold a test's output open.
    "$wineserver" -p </dev/null >"$dir/wineserver.log" 2>&1
    "${wine64[@]}" wineboot </dev/null >"$dir/warmup.log" 2>&1 || true

    cat >"$state.new" <<EOF
WINEPREFIX='$WINEPREFIX'
DISPLAY='$DISPLAY'
XVFB_PID=$xvfb_pid
SESSION_OWNER=$([ "$auto" = yes ] && echo ctest || echo manual)
EOF
    mv "$state.new" "$state"
    log "started in $dir (DISPLAY=$DISPLAY)"
}

case "$command" in
    start)
        if alive; then
            [ "$auto" = yes ] || log "already running in $dir"
            exit 0
        fi
        start_session
        ;;
    stop)
        if [ "$auto" = yes ] && [ -f "$state" ] && ! grep -q '^SESSION_OWNER=ctest$' "$state"; then
            exit 0  # started around ctest, to be stopped by whoever started it
        fi
        stop_session
        ;;
    status)
        alive || { echo "no Wine session in $dir"; exit 1; }
        cat "$state"
        ;;
    *)
        echo "usage: session.sh start|stop [--auto] [DIR] | status [DIR]" >&2
        exit 2
        ;;
esac
