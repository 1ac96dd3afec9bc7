# shellcheck shell=bash
# Sourced by scripts/windows-qt and scripts/windows-libs: what a library
# built once for Windows into the cache folder needs, the same for both.
#   cache_setup NAME        sets root, cache (${SORABI_CACHE_DIR:-~/.cache/sorabi}),
#                           toolchain and src_dir; say prints "NAME: …" to stderr
#   cache_lock LOCK         waits for another work tree building the same
#                           (a file of that name in the cache), then holds it
#   cache_reuse PREFIX      when PREFIX was completed, prints it and exits
#   apt_setup DIR SUITE…    a sources list of our own in the cache (the
#                           system's apt configuration stays as it is):
#                           Debian's deb-src of those suites and of their
#                           security updates; sets apt_options
#   work_setup DIR          a build folder that does not stay behind, whatever
#                           happens; the logs of a failed build go to the cache
#   cache_complete PREFIX PATTERN   marks PREFIX complete, removes the other
#                           folders of the cache named PATTERN (earlier
#                           builds with other inputs) and prints PREFIX
# Progress goes to stderr, the folder alone to stdout.

cache_setup() {
    cache_name=$1
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    cache=${SORABI_CACHE_DIR:-$HOME/.cache/sorabi}
    toolchain=$root/cmake/mingw-w64-x86_64.cmake
    src_dir=$cache/src
}

say() { echo "$cache_name: $*" >&2; }

cache_lock() {
    mkdir -p "$cache"
    exec {cache_lock_fd}>"$cache/$1"
    flock "$cache_lock_fd"
}

cache_reuse() {
    if [ -f "$1/.complete" ]; then
        echo "$1"
        exit 0
    fi
}

apt_setup() {
    apt_dir=$1
    shift
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/parts" "$apt_dir/cache" "$src_dir"
    local suite
    for suite in "$@"; do
        echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main"
        echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security $suite-security main"
    done >"$apt_dir/sources.list"
    apt_options=(-q -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
        -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")
}

work_setup() {
    work=$1
    rm -rf "$work"
    mkdir -p "$work"
    trap 'status=$?; [ "$status" -eq 0 ] || cp "$work"/*.log "$cache/" 2>/dev/null; rm -rf "$work"' EXIT
}

cache_complete() {
    touch "$1/.complete"
    find "$cache" -maxdepth 1 -name "$2" ! -path "$1" -exec rm -rf {} +
    echo "$1"
}
