#!/bin/sh
# "make clean" never deletes an archive, and the step of "make run" moves an archive that earlier
# versions kept in the build folder to the per-user folder, never over another one.
# Usage: make-clean.sh SOURCE_FOLDER ZELVARO_ARCHIVIO. Works in temporary folders only.
set -eu
src=$1
archivio=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" XDG_RUNTIME_DIR="$tmp/run"
unset MAKEFLAGS MAKELEVEL MFLAGS
fail() { echo "make-clean: $*" >&2; exit 1; }
bin="$tmp/build/bin"
user="$XDG_DATA_HOME/zelvaro/ZELVARO_97.mdb"
old_layout() { # what "make run" of earlier versions left
    mkdir -p "$bin" "$tmp/build/CMakeFiles"
    "$archivio" crea "$bin/ZELVARO_97.mdb" >/dev/null
    printf '%s\r\n' "$bin/ZELVARO_97.mdb" >"$bin/ZELVARO.INI"
    touch "$bin/zelvaro" "$tmp/build/CMakeFiles/main.o"
}

old_layout
sh "$src/cmake/migrate-build-archive.sh" "$bin"
[ -f "$user" ] && [ ! -e "$bin/ZELVARO_97.mdb" ] && [ ! -e "$bin/ZELVARO.INI" ] ||
    fail "the build-folder archive was not moved to $user"

old_layout # now a per-user archive is there already: both stay
said=$(sh "$src/cmake/migrate-build-archive.sh" "$bin")
[ -f "$user" ] && [ -f "$bin/ZELVARO_97.mdb" ] && [ -f "$bin/ZELVARO.INI" ] || fail "an archive was moved over another"
case "$said" in *"due archivi"*) ;; *) fail "no word of the two archives: $said" ;; esac

mkdir -p "$tmp/asan/x"
make -s -C "$src" clean BUILD="$tmp/build" ASAN_BUILD="$tmp/asan" BENCH_BUILD="$tmp/bench" \
    PACKAGE_BUILD="$tmp/package" >/dev/null
[ -f "$user" ] || fail "make clean deleted the per-user archive"
[ -f "$bin/ZELVARO_97.mdb" ] || fail "make clean deleted the archive left in the build folder"
[ ! -e "$bin/zelvaro" ] && [ ! -e "$tmp/build/CMakeFiles" ] && [ ! -e "$tmp/asan" ] || fail "make clean left build files"
"$archivio" verifica "$user" >/dev/null
