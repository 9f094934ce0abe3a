#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those
# that are missing. Safe to run repeatedly: with everything present it does
# nothing and needs no network.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-svg-dev
    portaudio19-dev libsndfile1-dev libxml2-dev libcurl4-openssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libfftw3-dev libsoundtouch-dev
    libtag1-dev libsoxr-dev
    lv2-dev ladspa-sdk lilv-utils sordi
    dbus sox
    clang-16 libclang-rt-16-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "deps.sh: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
