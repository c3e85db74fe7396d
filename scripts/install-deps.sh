#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, quietly, and only
# those that are missing. Safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  libgtest-dev libgmock-dev
  zlib1g-dev
  liblapack-dev libopenblas-dev libf2c2-dev libsleef-dev
  libcairo2-dev libpango1.0-dev fonts-dejavu-core
  libwxgtk3.2-dev shared-mime-info
  xvfb xauth openbox fonts-dejavu-extra fonts-liberation2 imagemagick xdotool xclip xdg-utils
  librsvg2-bin poppler-utils valgrind
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive DEBCONF_NOWARNINGS=yes
  $sudo apt-get update -qq >/dev/null
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
