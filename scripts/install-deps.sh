#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, and what the benchmark and the
# screenshot script use: about 400 MB to download on a fresh system. Needs root, or sudo.
set -euo pipefail
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-deps: installing packages needs root: run this script once as root, or" \
      "install sudo (apt-get install sudo, as root), add this user to it (adduser USER sudo)" \
      "and log in again" >&2
    exit 1
  fi
  # Asked without a password prompt first; then sudo may ask for the password once.
  if ! sudo -n true 2>/dev/null && ! sudo -n -l >/dev/null 2>&1 &&
    ! sudo -v 2>/dev/null; then
    echo "install-deps: $(id -un) may not use sudo: run this script once as root, or have" \
      "root add you to the sudo group (adduser $(id -un) sudo) and log in again" >&2
    exit 1
  fi
  as_root=(sudo)
fi
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y \
  build-essential cmake ninja-build pkg-config git python3 time \
  qpdf libqpdf-dev libexempi-dev libexpat1-dev libwxgtk3.2-dev libgtk-3-dev \
  fonts-urw-base35 xvfb xauth xdotool x11-utils openbox imagemagick poppler-utils \
  libimage-exiftool-perl ghostscript strace \
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils weston \
  googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev locales

# A locale with decimal commas, for the test of a plug-in that takes the user's locale.
if ! locale -a | grep -qix 'de_DE\.utf-\?8'; then
  "${as_root[@]}" sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  "${as_root[@]}" locale-gen
fi
