#!/usr/bin/env bash
# Installs the Debian packages Orvane needs to build, test and run, when any is missing.
# Extra package names given as arguments are installed too.
set -euo pipefail

packages=(
    "$@"
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-svg-dev libgl-dev
    # Qt Charts; its CMake files need the OpenGL ones, which its package does not pull in.
    qt6-charts-dev libqt6opengl6-dev
    libgtest-dev libgmock-dev
    libcli11-dev nlohmann-json3-dev libbenchmark-dev
    fonts-wine fonts-dejavu-core
    # localedef and the locale sources: a test makes a comma-decimal locale of its own;
    # xmllint: the charts' SVG files are checked as XML by a parser of their own.
    locales libxml2-utils
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then
        sudo="sudo"
    else
        echo "Missing packages and not root (no sudo either): ${missing[*]}" >&2
        exit 1
    fi
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
