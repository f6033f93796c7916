#!/bin/sh
# Run by "make run" before it starts the program. Earlier versions kept the archive beside the
# program in the build folder, named by a ZELVARO.INI there, where "make clean" deleted it. Such an
# archive moves to the per-user folder that Zelvaro uses by itself (never over another archive),
# and that ZELVARO.INI goes, so that "make run" and an installed copy share one archive.
# Usage: migrate-build-archive.sh BUILD/bin
set -eu
bin=$(cd "$1" && pwd)
ini=$bin/ZELVARO.INI
old=$bin/ZELVARO_97.mdb
[ -f "$ini" ] || exit 0
line=$(head -n 1 "$ini" | tr -d '\r')
if [ "$line" != "$old" ] && [ "$line" != "$(cd "$1" && pwd -P)/ZELVARO_97.mdb" ]; then
    echo "make run: $ini indica l'archivio $line: Zelvaro usa quello (copia portatile)."
    exit 0
fi
data=${XDG_DATA_HOME:-$HOME/.local/share}/zelvaro
new=$data/ZELVARO_97.mdb
if [ ! -e "$old" ]; then
    rm -f "$ini"
    echo "make run: tolto $ini, che indicava $old, un archivio che non c'è."
    exit 0
fi
# An open archive must not move: the lock of a running copy (named as the program names it)
# holds its process number first.
user=${USER:-${USERNAME:-$(basename "$HOME")}}
lock=${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}}/zelvaro-$(printf '%s' "$user" | tr -c 'A-Za-z0-9_-' '_').lock
if [ -f "$lock" ] && pid=$(head -n 1 "$lock") && [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    echo "make run: Zelvaro è aperto (processo $pid): chiuderlo e ripetere make run, che sposterà $old in $data." >&2
    exit 1
fi
if [ -e "$new" ]; then
    echo "make run: ci sono due archivi, $old (indicato da $ini) e $new."
    echo "make run: nessuno dei due è stato spostato; Zelvaro continua a usare $old."
    echo "make run: per usare l'archivio dell'utente, conservare altrove $old e togliere $ini."
    exit 0
fi
(umask 077 && mkdir -p "$data") # private, as Zelvaro makes it
mv "$old" "$new"
rm -f "$ini"
echo "make run: archivio spostato da $old a $new (tolto $ini): è l'archivio che usa anche Zelvaro installato."
