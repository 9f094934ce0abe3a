#!/usr/bin/env bash
# Installs what is missing, builds the program (a plain optimised build in
# build-run/, apart from the sanitizer build of scripts/test.sh in build/) and
# starts it. Arguments are passed to the program (files to open, /reg ...).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

BUILD_DIR=${BUILD_DIR:-build-run}
JOBS=${JOBS:-$(nproc)}

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSONVARA_SANITIZE=OFF -DSONVARA_BUILD_TESTS=OFF -DSONVARA_BUILD_BENCH=OFF
cmake --build "$BUILD_DIR" -j "$JOBS"

APP="$BUILD_DIR/app/sonvara"
if [ ! -x "$APP" ]; then
    echo "run.sh: $APP was not built" >&2
    exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<MSG
run.sh: there is no display (DISPLAY and WAYLAND_DISPLAY are empty), so the
window cannot be shown here. The program is built in $BUILD_DIR/app/. To run
it anyway:
  QT_QPA_PLATFORM=offscreen $APP     (runs without showing anything; end it with Ctrl+C)
  xvfb-run -a $APP                   (a virtual X display; apt-get install xvfb)
or run scripts/run.sh again from a desktop session.
MSG
    exit 2
fi

exec "$APP" "$@"
