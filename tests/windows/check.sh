#!/usr/bin/env bash
# The Windows release checked under Wine (tests/windows/wine-env.sh), the
# way a user gets it: the zip unpacked into a folder, the installer run.
#   1. the programs import only Windows' own DLLs and carry their icon,
#      manifest and version information;
#   2. tst_windows passes on Windows (and draws the upload's progress text
#      in Windows' fonts: upload-progress.png);
#   3. sorabi-batch.exe makes, for the example and the stress lists
#      (stress.sh), pages byte for byte those of the Linux sorabi-batch, with
#      the same exit status and the same messages, in code page 932 with CR LF
#      when redirected; Japanese on a console is readable (screenshot);
#   4. sorabi-batch.exe upload to a local FTPS and SFTP server (upload.sh);
#      the desktop program worked with xdotool (desktop.sh), portable, and
#      its upload (desktop-upload.sh);
#   5. the installer, silently: installed, the program keeps its data in
#      %USERPROFILE%\Sorabi and says so; uninstalled, the data stays.
# Screenshots go to WIN_BUILD/shots.
# Usage: check.sh WIN_BUILD VERSION HOST_SORABI_BATCH WINE_STATE_DIR
set -euo pipefail
win_build=$(realpath "$1")
version=$2
host_batch=$(realpath "$3")
state=$4
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
shots=$win_build/shots
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"

work=$(mktemp -d)
cleanup() {
    declare -F servers_stop >/dev/null && servers_stop
    wine_stop
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    import -window root "$shots/failure.png" 2>/dev/null || true
    exit 1
}
pass() { echo "PASS: $*"; }

rm -rf "$shots"
mkdir -p "$shots"
wine_start "$state"

unzip -q "$win_build/Sorabi-$version-win64.zip" -d "$work/zip"
app=$work/zip/Sorabi-$version-win64
for f in sorabi.exe sorabi-batch.exe readme-ja.txt sample/products.csv sample/option.ini; do
    [ -f "$app/$f" ] || fail "the zip lacks $f"
done

# 1. What the programs are made of.
system32=$WINEPREFIX/drive_c/windows/system32
for exe in sorabi.exe sorabi-batch.exe; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$app/$exe" | sed -n 's/^\s*DLL Name: //p'); do
        # api-ms-win-*: API sets, which Windows' loader resolves itself.
        [[ "${dll,,}" == api-ms-win-* ]] || [ -n "$(find "$system32" -maxdepth 1 -iname "$dll")" ] ||
            fail "$exe imports $dll, which is not one of Windows' own"
    done
    resources=$(wrestool -l "$app/$exe")
    for type in 14 16 24; do # icon group, version, manifest
        grep -q -- "--type=$type " <<<"$resources" || fail "$exe lacks resource type $type"
    done
    info=$(wrestool -x --raw --type=16 "$app/$exe" | iconv -f UTF-16LE -t UTF-8 -c | tr -d '\0')
    grep -qF "$version" <<<"$info" && grep -qF 'Sorabi 商品ページ作成' <<<"$info" ||
        fail "$exe: no version $version or description in its version information"
done
pass "programs import only Windows DLLs; icon, manifest and version $version inside"

# 2. The unit test that must pass on both systems.
tst=$(find "$win_build" -name tst_windows.exe | head -n 1)
# Without a console, Qt would log to the debugger.
(cd "$work" && QT_FORCE_STDERR_LOGGING=1 SORABI_SHOTS=$(win_path "$shots") wine_run "$tst" -o "$(win_path "$work/tst.log"),txt" >/dev/null 2>&1) ||
    { grep -v '^PASS' "$work/tst.log" >&2; fail "tst_windows on Windows"; }
pass "tst_windows on Windows ($(grep -o 'Totals:.*' "$work/tst.log"))"

# 3. sorabi-batch.exe against the Linux sorabi-batch.
bash "$here/stress.sh" "$work/stress"
cp "$root/examples/products.csv" "$work/stress/example.csv"
cp "$root/examples/products.csv" "$work/stress/example-url.csv"
settings=$root/examples/option.ini
# With the public address: list pages, sitemap and the record of digests.
url_settings=$work/option-url.ini
{ cat "$settings"; printf 'SITEURL=https://example.jp/items/\r\n'; } >"$url_settings"

# Runs both on one list; compares the status, the pages and the messages.
compare_batch() { # name, expected exit status[, settings]
    local name=$1 expected=$2 csv=$work/stress/$1.csv settings=${3:-$settings}
    local linux=$work/linux/$name windows=$work/windows/$name status_linux=0 status_windows=0
    mkdir -p "$linux" "$windows"
    (cd "$linux" && LC_ALL=C.UTF-8 "$host_batch" --settings "$settings" --output-dir . "$csv" \
        >stdout.txt 2>stderr.txt) || status_linux=$?
    (cd "$windows" && wine_run "$app/sorabi-batch.exe" --settings "$(win_path "$settings")" \
        --output-dir . "$(win_path "$csv")" >stdout.txt 2>stderr.txt) || status_windows=$?
    [ "$status_linux" -eq "$expected" ] || fail "$name: Linux exit status $status_linux, not $expected"
    [ "$status_windows" -eq "$expected" ] ||
        fail "$name: Windows exit status $status_windows, not $expected: $(iconv -f CP932 -t UTF-8 "$windows/stderr.txt")"
    local out_linux out_windows
    out_linux=$(cd "$linux" && echo 20*/)
    out_windows=$(cd "$windows" && echo 20*/)
    [ -d "$linux/$out_linux" ] && [ -d "$windows/$out_windows" ] || fail "$name: no output folder"
    diff -r "$linux/$out_linux" "$windows/$out_windows" >"$work/diff.txt" ||
        fail "$name: the pages differ: $(head -n 5 "$work/diff.txt")"
    pages=$(find "$linux/$out_linux" -type f | wc -l)
    [ "$pages" -gt 0 ] || fail "$name: no pages"
    # The next run on either system must be able to use this one's digests.
    [ -z "${3:-}" ] || cmp -s "$linux/${out_linux%/}.lastmod" "$windows/${out_windows%/}.lastmod" ||
        fail "$name: the records of page digests differ or are missing"
    # The folder printed on stdout is the one made, in Windows' notation.
    grep -qF "${out_windows%/}" "$windows/stdout.txt" || fail "$name: stdout names no output folder"
    # Redirected, a Windows program writes code page 932 with CR LF.
    iconv -f UTF-8 -t CP932 "$linux/stderr.txt" | sed 's/$/\r/' >"$work/expected-stderr.txt"
    cmp -s "$work/expected-stderr.txt" "$windows/stderr.txt" ||
        fail "$name: messages differ: $(iconv -f CP932 -t UTF-8 "$windows/stderr.txt" | head -n 3)"
    pass "$name: $pages pages identical, exit status $expected"
}
compare_batch example 0
compare_batch example-url 0 "$url_settings"
compare_batch sjis 0
compare_batch utf8 0
compare_batch failing 1
compare_batch duplicate 1

# Usage errors: same status, same message.
status=0
(cd "$work" && LC_ALL=C.UTF-8 "$host_batch" >/dev/null 2>linux-usage.txt) || status=$?
[ "$status" -eq 2 ] || fail "usage error: Linux exit status $status, not 2"
status=0
(cd "$work" && wine_run "$app/sorabi-batch.exe" >/dev/null 2>windows-usage.txt) || status=$?
[ "$status" -eq 2 ] || fail "usage error: Windows exit status $status, not 2"
iconv -f UTF-8 -t CP932 "$work/linux-usage.txt" | sed 's/$/\r/' | cmp -s - "$work/windows-usage.txt" ||
    fail "usage message differs: $(iconv -f CP932 -t UTF-8 "$work/windows-usage.txt")"
pass "usage error: exit status 2, message in code page 932"

# The fragments, in this order: each says at its top what it needs (of the
# globals above and of the fragments before it) and what it provides.
source "$here/console.sh"
source "$here/upload.sh"
source "$here/desktop.sh"
source "$here/desktop-upload.sh"
source "$here/installer.sh"
