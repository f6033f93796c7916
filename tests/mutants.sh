#!/bin/bash
# tests/mutants.sh [LIST]: seeds each fault of LIST (default tests/mutants.list) into a scratch copy of
# the source tree, one at a time, rebuilds the tests named for it, runs them and says whether each
# failed ("preso") or passed ("mancato"). The real source tree and its build folders are only read.
# Exit status 0 only when every fault applies and is caught by every test named for it.
#
# A line of LIST is: NAME FILE FIND REPLACE TEST... in shell quoting ($'...' for a line break).
# FIND must occur exactly once in FILE, else the fault is "non applicabile".
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
list=$(realpath "${1:-$root/tests/mutants.list}")
jobs=${JOBS:-2}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zelvaro-mutants.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/tree" "$scratch/home/config" "$scratch/home/data" "$scratch/home/runtime"
chmod 700 "$scratch/home/runtime"
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/config XDG_DATA_HOME=$scratch/home/data \
       XDG_RUNTIME_DIR=$scratch/home/runtime QT_QPA_PLATFORM=offscreen
log=$scratch/log
tar -C "$root" --exclude=./.git --exclude='./build*' --exclude='./*.deb' -cf - . | tar -C "$scratch/tree" -xf -
cd "$scratch/tree" || exit 2

names=() files=() finds=() replaces=() tests=()
while IFS= read -r line; do
    [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
    eval "fields=($line)"
    if [ "${#fields[@]}" -lt 5 ]; then
        echo "mutants: riga incompleta in $list: $line" >&2
        exit 2
    fi
    names+=("${fields[0]}") files+=("${fields[1]}") finds+=("${fields[2]}") replaces+=("${fields[3]}")
    tests+=("${fields[*]:4}")
done <"$list"
all_tests=$(printf '%s\n' "${tests[@]}" | tr ' ' '\n' | sort -u | tr '\n' ' ')

echo "mutants: compilazione Release di $all_tests in $scratch/tree/build"
if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=Release && cmake --build build -j "$jobs" --target $all_tests; } >"$log" 2>&1; then
    tail -30 "$log"
    echo "mutants: la copia senza guasti non compila" >&2
    exit 2
fi
run_test() { (cd build && ctest -R "^$1\$" --no-tests=error --timeout 300 >"$log" 2>&1); }
for t in $all_tests; do
    if ! run_test "$t"; then
        tail -30 "$log"
        echo "mutants: $t non passa già senza guasti" >&2
        exit 2
    fi
done

status=0
table=$(printf '%-34s %-18s %s' GUASTO TEST ESITO)
for i in "${!names[@]}"; do
    file=${files[$i]}
    count=$(FIND=${finds[$i]} perl -0777 -ne 'print scalar(() = /\Q$ENV{FIND}\E/g)' "$file" 2>/dev/null)
    if [ "$count" != 1 ]; then
        table+=$'\n'$(printf '%-34s %-18s %s' "${names[$i]}" "-" "non applicabile (trovato ${count:-0} volte)")
        status=1
        continue
    fi
    cp -p "$file" "$scratch/original"
    FIND=${finds[$i]} REPLACE=${replaces[$i]} perl -0777 -pi -e 's/\Q$ENV{FIND}\E/$ENV{REPLACE}/' "$file"
    if ! cmake --build build -j "$jobs" --target ${tests[$i]} >"$log" 2>&1; then
        table+=$'\n'$(printf '%-34s %-18s %s' "${names[$i]}" "-" "non compila")
        status=1
    else
        for t in ${tests[$i]}; do
            if run_test "$t"; then
                result=mancato
                status=1
            else
                result=preso
            fi
            table+=$'\n'$(printf '%-34s %-18s %s' "${names[$i]}" "$t" "$result")
            echo "mutants: ${names[$i]}: $t $result"
        done
    fi
    cp "$scratch/original" "$file" # a new time stamp, so the next build compiles it again
done
echo
echo "$table"
# The share the project keeps under 40 %: lines of the tests' sources against those of the program's.
lines() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | wc -l; }
test_lines=$(lines "$root/tests" -path "$root/tests/data" -prune -o)
code_lines=$(lines "$root/src" "$root/tools")
awk -v t="$test_lines" -v c="$code_lines" 'BEGIN {
    share = sprintf("%.1f", 100 * t / c); sub(/\./, ",", share)
    printf "Quota dei test: %d righe di test su %d di codice (%s %%)\n", t, c, share }'
exit $status
