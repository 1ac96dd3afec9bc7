# A virtual X server with a window manager, and a user's hands through
# xdotool: sourced by tests/e2e/desktop.sh, tests/e2e/upload.sh and scripts/screenshots.
# Needs Xvfb and xdotool; openbox if present; ImageMagick for the pictures.
#
#   start_x GEOMETRY            an X server of its own (e.g. 1280x1024x24), then
#                               openbox; sets DISPLAY, x_pid and wm_pid
#   stop_x                      ends both (call it from the EXIT trap)
#   wait_window TITLE [SECONDS] prints the id of the visible window titled so
#   wait_gone WINDOW            waits until that window is no longer shown
#   wait_message TEXT SECONDS   with message_log naming the program's log (and
#                               QT_LOGGING_RULES="sorabi.message.info=true"):
#                               waits for a message box or prompt saying TEXT,
#                               sets box (its window) and last_message
#   answer TEXT SECONDS KEY…    wait_message, then the keys, then wait_gone
#   activate WINDOW             raises and focuses a window
#   prime_keyboard              see below; once, before the first typing
#   key KEY…, type_text TEXT    keys and text, at a pace the program keeps up with
#   shot_root FILE, shot_window WINDOW FILE   pictures (PNG)
#   fail MESSAGE                says so and exits; with failure_shot set, takes
#                               a picture of the screen into that file first
#   take_arguments SORABI_BINARY EXAMPLES_DIR [SCREENSHOT_DIR]
#                               the end-to-end tests' arguments: sets binary,
#                               examples, shots, failure_shot, work (a new
#                               folder) and main_title (from SORABI_VERSION)

take_arguments() {
    main_title="Sorabi Ver. ${SORABI_VERSION:?SORABI_VERSION must name the version the program shows}"
    binary=$(realpath "$1")
    examples=$(realpath "$2")
    shots=${3:-$(mktemp -d)}
    mkdir -p "$shots"
    failure_shot=$shots/failure.png
    work=$(mktemp -d)
}

fail() {
    echo "FAIL: $*" >&2
    if [ -n "${failure_shot:-}" ] && [ -n "${DISPLAY:-}" ]; then
        import -window root "$failure_shot" 2>/dev/null || true
    fi
    exit 1
}

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
    if command -v openbox >/dev/null; then
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

# What the program said since the last message waited for.
message_seen=0
new_messages() { tail -c +$((message_seen + 1)) "$message_log"; }

wait_message() { # text, seconds
    for _ in $(seq $(($2 * 10))); do
        new_messages | grep -qF -- "$1" && break
        sleep 0.1
    done
    new_messages | grep -qF -- "$1" || fail "no message saying \"$1\"; the program said: $(new_messages)"
    last_message=$(new_messages)
    message_seen=$(stat -c %s "$message_log")
    box=$(wait_window "Sorabi" 10) || fail "no window for \"$1\""
    activate "$box"
}

answer() { # text, seconds, keys…
    wait_message "$1" "$2"
    shift 2
    key "$@"
    wait_gone "$box"
}

activate() {
    xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1" 2>/dev/null || true
    sleep 0.5
}

key() { xdotool key --clearmodifiers "$@"; sleep 0.15; }

# Characters beyond the keyboard map are typed by remapping a spare key; a
# slow pace gives the program time to see each remapping.
type_text() { xdotool type --delay 120 "$1"; sleep 0.3; }

# The first remapped key can arrive before the program has read the new map
# and be lost: one throwaway character, erased, takes that risk.
prime_keyboard() { type_text "あ"; key BackSpace; }

shot_root() { import -window root "$1"; }

# One window with its frame.
shot_window() { sleep 0.4; import -frame -window "$1" "$2"; }
