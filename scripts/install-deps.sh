#!/usr/bin/env bash
# Installs what this machine lacks of the build and test stack (Debian 12).
# Runs apt-get update only when something is missing; uses sudo only when not root.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libsqlite3-dev libcurl4-openssl-dev
  libx11-dev libxcb1-dev libxtst-dev libgtest-dev
  fonts-noto-cjk
  clang libclang-rt-14-dev
  xvfb xauth
  qt6-translations-l10n
  qt6-webengine-dev libqt6webenginecore6-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
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

echo "install-deps: installing ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
