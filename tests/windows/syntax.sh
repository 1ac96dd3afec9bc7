#!/usr/bin/env bash
# Compiles every source file of src/ for Windows with MinGW-w64, syntax only,
# against the Qt headers at hand: nothing POSIX-only may creep in outside
# the platform file. (It cannot show that the program works on Windows.)
# Usage: syntax.sh CXX SOURCE_DIR QT_HEADERS GENERATED_HEADERS
set -euo pipefail
cxx=$1
src=$(realpath "$2/src")
headers=$3
generated=$4

flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror
    -DQT_NO_CAST_TO_ASCII -DQT_RESTRICTED_CAST_FROM_ASCII -DQT_NO_URL_CAST_FROM_STRING
    -DQT_USE_QSTRINGBUILDER -DQT_NO_FOREACH -I"$src/core" -I"$src/gui" -I"$generated"
    -isystem "$headers")
for module in QtCore QtGui QtWidgets QtNetwork; do
    flags+=(-isystem "$headers/$module")
done

# Two at a time; each failure names its file and first errors. Files that need
# libcurl, QtKeychain or xxHash are left to scripts/windows, which has those libraries
# for Windows (scripts/windows-libs) and compiles them with warnings as errors.
export cxx src
find "$src" -name '*.cpp' ! -name '*_posix.cpp' | sort \
    | grep -v -x -F -f <(grep -rlE '^#include <(curl/|qt6keychain/|xxh)' "$src" || true) | xargs -P 2 -I{} bash -c '
    out=$("$cxx" "$@" "{}" 2>&1) && exit 0
    echo "FAIL for Windows: {}" >&2
    grep -m 5 error <<<"$out" >&2 || head -n 5 <<<"$out" >&2
    exit 1' _ "${flags[@]}" || exit 1
echo "PASS: every source file compiles for Windows"
