# A virtual X server with a window manager, and a user's hands through
# xdotool: sourced by tests/e2e/desktop.sh, tests/e2e/upload.sh and scripts/screenshots.
# The X server and the xdotool helpers are tests/common/xsession.sh's:
# start_x, stop_x, wait_window, wait_gone, activate, key, type_text,
# shot_root, shot_window (see there). These are the desktop checks' own:
#
#   wait_message TEXT SECONDS   with message_log naming the program's log (and
#                               QT_LOGGING_RULES="sorabi.message.info=true"):
#                               waits for a message box or prompt saying TEXT,
#                               sets box (its window) and last_message
#   answer TEXT SECONDS KEY…    wait_message, then the keys, then wait_gone
#   prime_keyboard              see below; once, before the first typing
#   fail MESSAGE                says so and exits; with failure_shot set, takes
#                               a picture of the screen into that file first
#   take_arguments SORABI_BINARY EXAMPLES_DIR [SCREENSHOT_DIR]
#                               the end-to-end tests' arguments: sets binary,
#                               examples, shots, failure_shot, work (a new
#                               folder) and main_title (from SORABI_VERSION)

# shellcheck source=../common/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/../common/xsession.sh"

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

# The first remapped key can arrive before the program has read the new map
# and be lost: one throwaway character, erased, takes that risk.
prime_keyboard() { type_text "あ"; key BackSpace; }

# Text beyond ASCII is pasted: xdotool types such characters by remapping a
# spare key, and a busy machine loses some of them (the first after a Return,
# mostly). ASCII is typed as a user would.
type_text() {
    if LC_ALL=C grep -q '[^ -~]' <<<"$1"; then
        printf %s "$1" | xclip -selection clipboard
        key ctrl+v
    else
        xdotool type --delay "$x_type_delay" "$1"
    fi
    sleep 0.3
}
