#!/usr/bin/env bash
# The Debian package as a user gets it: built with cpack from this build,
# its dependencies worked out by dpkg-shlibdeps, unpacked into a scratch
# root, and the program and sonvara-fx started from there: the program must
# find its skins (it ends at once without one) and sonvara-fx its plug-in.
set -euo pipefail
BUILD_DIR=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$BUILD_DIR" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libsndfile1 libportaudio2 libxml2; do
    grep -q "$lib" <<<"$depends" || { echo "missing dependency $lib"; exit 1; }
done

root="$work/root"
dpkg -x "$deb" "$root"
for f in usr/bin/sonvara usr/bin/sonvara-fx usr/lib/sonvara/Effects/StavoModulation.so \
         usr/lib/sonvara/Language/English.so usr/share/applications/sonvara.desktop \
         usr/share/icons/hicolor/scalable/apps/sonvara.svg \
         usr/share/icons/hicolor/48x48/apps/sonvara.png usr/share/man/man1/sonvara.1; do
    [ -e "$root/$f" ] || { echo "not in the package: $f"; exit 1; }
done
ls "$root"/usr/lib/sonvara/Skins/*.xml >/dev/null
if ls "$root"/usr/lib/sonvara/config.ini "$root"/usr/lib/sonvara/*.log 2>/dev/null; then
    echo "the package carries a user's settings"; exit 1
fi

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen SONVARA_AUDIO_OUTPUT=null SONVARA_MESSAGE_BOX_ANSWER=1
export ASAN_OPTIONS=detect_leaks=0

"$root/usr/bin/sonvara-fx" --info

# A first start asks whether to become the default player; this one is
# told not to ask (settings beside a writable program directory, else in
# the settings folder).
for folder in "$root/usr/lib/sonvara" "$XDG_CONFIG_HOME/sonvara"; do
    mkdir -p "$folder"
    printf '[Main frame: params]\r\nCheckDefaultPlayer=No\r\n' >"$folder/config.ini"
done

"$root/usr/bin/sonvara" &
pid=$!
# The debug log says when the skin is on the frame; it is in the program
# directory when that is writable, else in the settings folder.
found=
for _ in $(seq 1 300); do
    if grep -qs "Finished load skin" "$root"/usr/lib/sonvara/*.log "$XDG_CONFIG_HOME"/sonvara/*.log; then
        found=1; break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
kill -TERM "$pid" 2>/dev/null || true
status=0
wait "$pid" || status=$?
[ -n "$found" ] || { echo "the packaged program did not load a skin"; exit 1; }
# 0: closed in order; 143: the request came before the program took over
# termination requests (late in its start-up). Anything else is a crash.
[ "$status" -eq 0 ] || [ "$status" -eq 143 ] || {
    echo "the packaged program ended with $status"; exit 1; }
echo "package ok: $(basename "$deb")"
