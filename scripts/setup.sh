#!/usr/bin/env bash
# Installs what building, testing and running Provix need on a fresh Debian machine.
# Sourced by ./run and ./test; does nothing when everything is already there.
set -euo pipefail

PROVIX_PACKAGES=(
    cmake g++ ninja-build pkg-config ccache
    libpcap-dev libsqlite3-dev libzip-dev zipcmp zipmerge ziptool libpugixml-dev
    qt6-base-dev qt6-image-formats-plugins fonts-wqy-microhei
    libgtest-dev libgmock-dev googletest
    iproute2 libcap2-bin util-linux
    xvfb xauth x11-utils imagemagick
)

provix_setup() {
    local missing=()
    local pkg
    for pkg in "${PROVIX_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

# provix_build DIR [cmake options...]: configure once, then build incrementally.
provix_build() {
    local dir=$1
    shift
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@"
    else
        cmake -S . -B "$dir" "$@" >/dev/null
    fi
    cmake --build "$dir" -j2 ${PROVIX_TARGETS:+--target $PROVIX_TARGETS}
}
