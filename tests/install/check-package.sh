#!/bin/sh
# The program as a user gets it: the install tree holds every file and passes the desktop and
# AppStream validators; the Debian package passes lintian, and once unpacked both programs answer
# --version with the licence, refuse an unknown option, and the first start creates the per-user archive
# and ZELVARO.INI, private.
# Usage: check-package.sh BUILD  (after "make package"). Never touches the real home.
set -eu
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$tmp"' EXIT
export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config" XDG_DATA_HOME="$tmp/home/.local/share"
export XDG_RUNTIME_DIR="$tmp/run"
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
fail() { echo "check-package: $*" >&2; exit 1; }

echo "== install tree (cmake --install, prefix /usr)"
DESTDIR="$tmp/inst" cmake --install "$build" --prefix /usr >/dev/null
share="$tmp/inst/usr/share"
desktop=$(ls "$share"/applications/*.desktop)
id=$(basename "$desktop" .desktop)
for file in bin/zelvaro bin/zelvaro-archivio share/applications/$id.desktop \
    share/icons/hicolor/scalable/apps/$id.svg share/metainfo/$id.metainfo.xml \
    share/man/man1/zelvaro.1.gz share/man/man1/zelvaro-archivio.1.gz \
    share/doc/zelvaro/copyright share/doc/zelvaro/changelog.gz share/doc/zelvaro/README; do
    [ -s "$tmp/inst/usr/$file" ] || fail "manca /usr/$file"
done
grep -qx "Icon=$id" "$desktop" || fail "$desktop: Icon non è $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$share/metainfo/$id.metainfo.xml" ||
    fail "metainfo: launchable non è $id.desktop"
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml"
for page in "$share"/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
done

echo "== package"
deb=$(ls "$build"/zelvaro_*.deb)
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -c "$deb"
lintian -I --pedantic --fail-on error,warning "$deb"
case "$(dpkg-deb -f "$deb" Depends)" in *qt6-translations-l10n*) ;; *) fail "Depends senza qt6-translations-l10n" ;; esac
dpkg-deb -x "$deb" "$tmp/root"
for program in zelvaro zelvaro-archivio; do
    answer=$("$tmp/root/usr/bin/$program" --version)
    [ "$(echo "$answer" | head -n 1)" = "$program $version" ] || fail "$program --version: \"$answer\""
    echo "$answer" | grep -q "^Licenza GPLv3+: GNU GPL versione 3 o successiva" ||
        fail "$program --version senza la licenza: \"$answer\""
done
status=0
"$tmp/root/usr/bin/zelvaro" -platform offscreen --sconosciuta 2>"$tmp/said" || status=$?
[ "$status" -eq 2 ] && grep -q "opzione sconosciuta" "$tmp/said" ||
    fail "zelvaro --sconosciuta: stato $status, \"$(cat "$tmp/said")\""

echo "== first start of the unpacked program (offscreen, temporary HOME)"
archive="$XDG_DATA_HOME/zelvaro/ZELVARO_97.mdb"
ini="$XDG_CONFIG_HOME/zelvaro/ZELVARO.INI"
# The first-start box waits for the user: the files it reports are checked, then the program ends.
QT_QPA_PLATFORM=offscreen timeout 60 "$tmp/root/usr/bin/zelvaro" &
pid=$!
tries=0
until [ -s "$ini" ]; do
    kill -0 "$pid" 2>/dev/null || fail "zelvaro ended at its first start"
    tries=$((tries + 1))
    [ "$tries" -le 300 ] || fail "after 30 s there is no $ini"
    sleep 0.1
done
kill "$pid"
wait "$pid" || true
pid=
[ "$(cat "$ini")" = "$archive" ] || fail "$ini: \"$(cat "$ini")\" instead of $archive"
modes=$(stat -c %a "$XDG_CONFIG_HOME" "$XDG_CONFIG_HOME/zelvaro" "$ini" "$XDG_DATA_HOME/zelvaro" "$archive" | tr '\n' ' ')
[ "$modes" = "700 700 600 700 600 " ] || fail "permessi dei file del primo avvio: $modes"
"$tmp/root/usr/bin/zelvaro-archivio" verifica "$archive"
echo "check-package: ok ($(basename "$deb"))"
