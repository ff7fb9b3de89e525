#!/usr/bin/env bash
# Installs whatever the build and the tests need and the machine lacks.
# Debian 12 or later; uses apt (through sudo when not root). Safe to run again:
# it does nothing when everything is present.
set -euo pipefail

need_i386=0
missing=()

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for pkg in cmake make g++ googletest libgtest-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 \
           wine wine32:i386 fonts-wine xvfb x11-utils imagemagick clang libclang-rt-14-dev; do
    if ! have_pkg "$pkg"; then
        missing+=("$pkg")
        [[ $pkg == *:i386 ]] && need_i386=1
    fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

if [[ $(id -u) -eq 0 ]]; then SUDO=(); else SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

echo "install-deps: installing ${missing[*]}"
if [[ $need_i386 -eq 1 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${SUDO[@]}" dpkg --add-architecture i386
fi
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
