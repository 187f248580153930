#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the test oracles need.
# Harmless to run again: packages already present are left alone and nothing is
# downloaded when all of them are there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build clang clang-format libclang-rt-dev
    qt6-base-dev libgl-dev
    libgtest-dev libgmock-dev
    libfmt-dev libcli11-dev nlohmann-json3-dev zlib1g-dev
    pst-utils pff-tools
    libemail-outlook-message-perl libemail-address-perl
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
