#!/usr/bin/env bash
# Checks a Debian package of Sorabi the way an installation would use it: its
# control data and file list, then unpacked into a folder of its own, the
# programs run from there against the system's Qt.
# Usage: package.sh VERSION BATCH EXAMPLES_DIR CPACK_CONFIG|PACKAGE.deb
#   VERSION       the project's version, which the package must carry
#   BATCH         the sorabi-batch of the build, whose pages the installed one must match
#   CPACK_CONFIG  the build's CPackConfig.cmake, to make the package from first
set -euo pipefail

[ $# -eq 4 ] || { sed -n '5,8s/^# \?//p' "$0" >&2; exit 2; }
expected_version=$1
built_batch=$(realpath "$2")
examples=$(realpath "$3")
work=$(mktemp -d)
cleanup() {
    [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if [[ "$4" == *.deb ]]; then
    deb=$(realpath "$4")
else
    cpack --config "$4" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 \
        || { cat "$work/cpack.log"; fail "cpack"; }
    deb=$(echo "$work"/pkg/sorabi_*.deb)
fi
[ -f "$deb" ] || fail "no package: $deb"
echo "package: $deb"

# 1. Control data.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = sorabi ] || fail "package name $(field Package)"
[ "$(field Version)" = "$expected_version" ] || fail "version $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture $(field Architecture)"
[[ "$(field Maintainer)" == *@*.example\> ]] || fail "maintainer $(field Maintainer)"
depends=$(field Depends)
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 qt6-qpa-plugins \
    'fonts-noto-cjk | fonts-ipafont-gothic'; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done
# Every dependency can be met on this machine (the first choice of each).
IFS=',' read -ra alternatives <<<"$depends"
for alternative in "${alternatives[@]}"; do
    name=$(sed -E 's/^ *([^ |(]+).*/\1/' <<<"$alternative")
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' \
        || fail "dependency $name is not installed here"
done

# 2. The files: the programs, the menu entry, the icons, the manual page, the
# guide; nothing of the build (helpers, tests, libraries) and nothing
# outside the one prefix.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' | grep -v '/$' | sort >"$work/files"
prefix=$(sed -n 's|/bin/sorabi-batch$||p' "$work/files")
[ -n "$prefix" ] || fail "no sorabi-batch in the package"
expected=("$prefix/bin/sorabi" "$prefix/bin/sorabi-batch" "$prefix/libexec/sorabi/sorabi-upload"
    "$prefix/share/applications/sorabi.desktop"
    "$prefix/share/man/man1/sorabi-batch.1.gz"
    "$prefix/share/doc/sorabi/guide-ja.md")
for size in 16 22 24 32 48 64 128 256; do
    expected+=("$prefix/share/icons/hicolor/${size}x${size}/apps/sorabi.png")
done
for file in "${expected[@]}"; do
    grep -qxF "$file" "$work/files" || fail "missing from the package: $file"
done
unexpected=$(grep -vxF -f <(printf '%s\n' "${expected[@]}") "$work/files" \
    | grep -vE "^$prefix/share/doc/sorabi/images/[a-z0-9-]+\.png$" || true)
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"
dpkg-deb -c "$deb" | awk '$2 != "root/root" {bad=1; print} END {exit bad}' \
    || fail "files not owned by root"

# 3. Unpacked into a root of its own.
root=$work/root
dpkg -x "$deb" "$root"
bin=$root/$prefix/bin
for program in "$bin/sorabi" "$bin/sorabi-batch" "$root/$prefix/libexec/sorabi/sorabi-upload"; do
    [ -x "$program" ] || fail "$program is not executable"
    ! readelf -d "$program" | grep -qE 'RPATH|RUNPATH' || fail "$program carries a library path"
    ! ldd "$program" | grep -q 'not found' || fail "$program misses libraries: $(ldd "$program")"
done
# Making pages does not load the upload's libraries; "upload" finds its program.
! ldd "$bin/sorabi-batch" | grep -q libcurl || fail "sorabi-batch loads libcurl at every start"
"$bin/sorabi-batch" upload --help | grep -q -- '--dry-run' || fail "the installed sorabi-batch upload did not start"
unset LD_LIBRARY_PATH
version=$("$bin/sorabi-batch" --version)
[ "$version" = "Sorabi Ver. $expected_version" ] || fail "sorabi-batch --version said: $version"

# A small generation gives the same pages as the program of the build.
mkdir "$work/installed" "$work/built"
(cd "$work" && "$bin/sorabi-batch" --settings "$examples/option.ini" --output-dir installed \
    "$examples/products.csv" >installed.out 2>installed.err) \
    || fail "the installed sorabi-batch failed: $(cat "$work/installed.err")"
"$built_batch" --settings "$examples/option.ini" --output-dir "$work/built" \
    "$examples/products.csv" >/dev/null 2>&1
count=$(find "$work/installed" -name '*.html' | wc -l)
[ "$count" -eq 25 ] || fail "expected 25 pages, found $count"
diff -r "$work/installed"/*/ "$work/built"/*/ >/dev/null || fail "the pages differ from the build's"

# 4. The menu entry, its icon and the manual page.
desktop=$root/$prefix/share/applications/sorabi.desktop
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
fi
for line in 'Type=Application' 'Name=Sorabi' 'Icon=sorabi' 'Categories=Office;' 'Terminal=false'; do
    grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
done
grep -qP '^Name\[ja\]=.*[^\x00-\x7F]' "$desktop" || fail "desktop entry lacks a Japanese name"
grep -qP '^Comment\[ja\]=.*[^\x00-\x7F]' "$desktop" || fail "desktop entry lacks a Japanese comment"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
exec_args=
[[ "$exec_line" == *" "* ]] && exec_args=${exec_line#* }
[ -x "$bin/${exec_line%% *}" ] || fail "the desktop entry starts ${exec_line%% *}, which the package lacks"
for size in 16 22 24 32 48 64 128 256; do
    icon=$root/$prefix/share/icons/hicolor/${size}x${size}/apps/sorabi.png
    [ "$(identify -format '%m %wx%h' "$icon")" = "PNG ${size}x${size}" ] || fail "icon $icon"
done
warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$root/$prefix/share/man/man1/sorabi-batch.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page: $warnings"
man -l "$root/$prefix/share/man/man1/sorabi-batch.1.gz" 2>/dev/null | grep -q -- '--output-dir' \
    || fail "the manual page does not describe --output-dir"
header=$(zcat "$root/$prefix/share/man/man1/sorabi-batch.1.gz" | sed -n 1p)
[[ "$header" == *"\"Sorabi $expected_version\""* ]] || fail "the manual page's header names another version: $header"

# 5. The desktop program starts from the unpacked root as the menu starts it:
# from the root folder, with the per-user folder made and nothing written
# into its own folders.
home=$work/home
mkdir "$home"
find "$root" | sort >"$work/before"
(cd / && HOME=$home QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' \
    exec "$bin/sorabi" $exec_args >"$work/gui.log" 2>&1) &
app_pid=$!
for _ in $(seq 50); do [ -d "$home/Sorabi" ] && break; sleep 0.1; done
sleep 1
kill -0 "$app_pid" 2>/dev/null || fail "sorabi did not keep running: $(cat "$work/gui.log")"
[ -d "$home/Sorabi" ] || fail "sorabi made no per-user folder"
kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=
find "$root" | sort >"$work/after"
diff "$work/before" "$work/after" >/dev/null || fail "sorabi wrote into its installed tree"

echo "PASS: $deb"
