#!/usr/bin/env bash
# Installs the Debian packages Halvorn builds and tests with, and a comma-decimal locale for
# the locale tests. Does nothing when everything is already present. The dialog lays itself
# out with DejaVu Sans Condensed where neither Tahoma nor Liberation Sans is installed.
set -euo pipefail

packages=(
    build-essential cmake ninja-build clang clang-format libclang-rt-14-dev
    qt6-base-dev libqt6opengl6-dev
    libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-dev libegl-mesa0
    libfast-float-dev nlohmann-json3-dev libnetcdf-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xdotool locales fontconfig fonts-dejavu-core fonts-dejavu-extra
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

# The tests prove that number parsing ignores a comma-decimal locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    echo "setup: generating the de_DE.UTF-8 locale"
    as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
fi
