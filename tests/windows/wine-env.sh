# Sourced by the Windows checks: a Wine of our own, set up like a Japanese
# Windows, in an X server of our own.
#   - a private prefix (WINEPREFIX), made once and kept in the state folder;
#   - a Japanese locale (built with localedef into a private LOCPATH), which
#     makes Wine's ANSI and console code page 932. Wine is always started
#     with it: a change of locale rewrites the font substitutes;
#   - Wine's own fonts in the prefix, and the Japanese Windows UI fonts
#     (MS UI Gothic, Meiryo, Yu Gothic UI, …) replaced by Noto Sans CJK JP,
#     so that they are real families and every window draws Japanese alike;
#   - a virtual desktop, which frames the windows as Windows does without a
#     window manager; Xvfb under it (tests/common/xsession.sh, whose xdotool
#     helpers the checks use: wait_window, window_gone, activate, key,
#     type_text, shot_root).
# wine_start STATE_DIR starts it all; wine_stop ends it (call it on exit).
# The caller defines fail MESSAGE.

# shellcheck source=../common/xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/../common/xsession.sh"
# Wine keeps up with a faster typist, and only ASCII is typed into it:
# xdotool cannot type kana into Wine reliably.
x_key_pause=0.2
x_type_delay=40

wine_bin=/usr/lib/wine/wine64
wineserver_bin=/usr/lib/wine/wineserver

# "Z:\path\to\file" for a path of this machine (Wine maps / to Z:).
win_path() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
}

wine_run() {
    "$wine_bin" "$@"
}

# Waits for every Windows program of the prefix to end.
wine_wait() {
    "$wineserver_bin" -w
}

# The Windows user's folders, as this machine's paths.
wine_user_dir() {
    printf '%s/drive_c/users/%s' "$WINEPREFIX" "$(id -un)"
}

wine_start() {
    local state=$1
    mkdir -p "$state"
    # One run at a time per prefix (other work trees share the cache).
    exec {wine_lock}>"$state/.lock"
    flock "$wine_lock"
    export LOCPATH=$state/locale
    if [ ! -d "$LOCPATH/ja_JP.UTF-8" ]; then
        mkdir -p "$LOCPATH"
        localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1 ||
            [ -d "$LOCPATH/ja_JP.UTF-8" ]
    fi
    # For the programs started from here; this shell itself cannot take a
    # locale from LOCPATH, and would say so.
    { export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 TZ=Asia/Tokyo; } 2>/dev/null
    export WINEPREFIX=$state/prefix WINEARCH=win64 WINEDEBUG=-all
    # No Mono or Gecko to install: none of it is used. No menu entries or
    # icons for the shortcuts the installer makes: they would land in this
    # machine's own menus.
    export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
    # Wine links the Windows user's folders (Desktop, Documents, …) to the
    # home folder: a home of its own keeps this machine's out of reach.
    export HOME=$state/home
    mkdir -p "$HOME"

    start_x 1280x1024x24 no-wm

    # The prefix is made again when Wine or this set-up changes.
    local stamp
    stamp=$( { dpkg-query -W -f='${Version}' wine64; cat "${BASH_SOURCE[0]}"; } | sha256sum | cut -c1-12)
    if [ "$(cat "$WINEPREFIX/.sorabi-stamp" 2>/dev/null)" != "$stamp" ]; then
        echo "Making the Wine prefix (once)"
        rm -rf "$WINEPREFIX"
        wine_run wineboot -i >/dev/null 2>&1
        wine_wait
        # Real folders, as on Windows, in place of the links to the home.
        local link
        for link in "$(wine_user_dir)"/*; do
            if [ -L "$link" ]; then
                rm "$link"
                mkdir "$link"
            fi
        done
        cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
        local reg=$state/setup.reg
        cat >"$reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1280x1024"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="Noto Sans CJK JP"
"MS Gothic"="Noto Sans CJK JP"
"MS PGothic"="Noto Sans CJK JP"
"Meiryo"="Noto Sans CJK JP"
"Meiryo UI"="Noto Sans CJK JP"
"Yu Gothic"="Noto Sans CJK JP"
"Yu Gothic UI"="Noto Sans CJK JP"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
EOF
        wine_run regedit /S "$(win_path "$reg")" >/dev/null 2>&1
        wine_wait
        echo "$stamp" >"$WINEPREFIX/.sorabi-stamp"
    fi
}

wine_stop() {
    "$wineserver_bin" -k >/dev/null 2>&1 || true
    stop_x
}
