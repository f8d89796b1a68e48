#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking Kestrane needs.
# Safe to run again: it only calls apt-get when a package is missing, and never asks.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev nlohmann-json3-dev shared-mime-info libicu-dev
  util-linux time openssl
  # The desktop app: Qt 6 Widgets (with QtTest), its SVG support for the
  # icons, the image formats the preview shows, and the Wayland platform.
  qt6-base-dev qt6-svg-dev qt6-image-formats-plugins qt6-wayland
  # Icons for the window where the desktop brings none (and for the screenshots).
  adwaita-icon-theme fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages are installed"
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo -n)
  else
    echo "setup: these packages are missing and I am not root (and sudo is absent): ${missing[*]}" >&2
    exit 1
  fi
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
