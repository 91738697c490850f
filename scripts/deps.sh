#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again: packages already
# present are skipped and apt is only asked when something is missing.
set -euo pipefail
PKGS=(cmake g++ make pkg-config libgtest-dev libbenchmark-dev qt6-base-dev libhidapi-dev
      libevdev-dev libx11-dev libxtst-dev xvfb xauth xdotool x11-utils fonts-noto-cjk)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
