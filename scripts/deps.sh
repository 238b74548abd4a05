#!/usr/bin/env bash
# Installs what building and testing Keldan needs on Debian 12, only when missing.
set -euo pipefail

PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev
  libgtest-dev libgl-dev xdg-utils clang libclang-rt-14-dev dpkg-dev libdtl-dev
  ser2net python3 systemd libcurl4-openssl-dev python3-pyftpdlib python3-openssl openssl
  lintian desktop-file-utils appstream libxml2-utils shared-mime-info)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
