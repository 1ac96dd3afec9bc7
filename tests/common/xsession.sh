# shellcheck shell=bash
# A virtual X server and a user's hands through xdotool: sourced by
# tests/e2e/harness.sh (the Linux desktop checks, scripts/screenshots) and
# tests/windows/wine-env.sh (the Windows checks under Wine). Needs Xvfb and
# xdotool; openbox if present; ImageMagick for the pictures.
#
#   start_x GEOMETRY [no-wm]    an X server of its own (e.g. 1280x1024x24) and,
#                               unless no-wm, openbox; sets DISPLAY, x_pid, wm_pid
#   stop_x                      ends both (call it from the EXIT trap)
#   wait_window TITLE [SECONDS] prints the id of the visible window titled so
#                               (a regular expression); fails after SECONDS (10)
#   wait_gone WINDOW            waits until that window is no longer shown, or fails
#   window_gone TITLE [SECONDS] whether no visible window is titled so within SECONDS
#   activate WINDOW             raises and focuses a window
#   key KEY…, type_text TEXT    keys and text, at a pace the program keeps up with
#                               (x_key_pause seconds after keys, x_type_delay ms
#                               between characters: set them to change it)
#   shot_root FILE, shot_window WINDOW FILE   pictures (PNG)
# The caller defines fail MESSAGE (says so and exits).

x_key_pause=${x_key_pause:-0.15}
x_type_delay=${x_type_delay:-120}

start_x() {
    local number_file
    number_file=$(mktemp)
    # The server picks a free display itself and names it once it accepts
    # connections: no race with another server starting at the same time.
    # No auto-repeat: a key held down by a slow, busy machine would type twice.
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -r -ardelay 60000 3>"$number_file" >/dev/null 2>&1 &
    x_pid=$!
    for _ in $(seq 100); do
        [ -s "$number_file" ] && break
        kill -0 "$x_pid" 2>/dev/null || break
        sleep 0.1
    done
    local number
    number=$(tr -dc 0-9 <"$number_file")
    rm -f "$number_file"
    [ -n "$number" ] || fail "Xvfb did not start"
    export DISPLAY=:$number
    wm_pid=
    if [ "${2:-}" != no-wm ] && command -v openbox >/dev/null; then
        openbox >/dev/null 2>&1 &
        wm_pid=$!
        sleep 0.5
    fi
}

stop_x() {
    [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null
    [ -n "${x_pid:-}" ] && kill "$x_pid" 2>/dev/null
    wm_pid= x_pid=
    return 0
}

wait_window() { # title, seconds
    local id
    for _ in $(seq $((${2:-10} * 10))); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

wait_gone() { # window
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name '.*' 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    fail "window $1 stayed open"
}

window_gone() { # title, seconds
    for _ in $(seq $((${2:-10} * 10))); do
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# Without a window manager (Wine's virtual desktop) nothing activates a
# window: it is focused instead.
activate() {
    xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1" 2>/dev/null ||
        xdotool windowfocus "$1" 2>/dev/null || true
    sleep 0.5
}

key() { xdotool key --clearmodifiers "$@"; sleep "$x_key_pause"; }

# Characters beyond the keyboard map are typed by remapping a spare key; a
# slow pace gives the program time to see each remapping.
type_text() { xdotool type --delay "$x_type_delay" "$1"; sleep 0.3; }

shot_root() { import -window root "$1"; }

# One window with its frame.
shot_window() { sleep 0.4; import -frame -window "$1" "$2"; }
