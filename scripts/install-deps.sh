#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12 (through sudo unless root).
set -euo pipefail
as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y \
  build-essential cmake ninja-build pkg-config \
  qpdf libqpdf-dev libexempi-dev libwxgtk3.2-dev libgtk-3-dev \
  fonts-urw-base35 xvfb xauth xdotool x11-utils openbox imagemagick poppler-utils \
  libimage-exiftool-perl ghostscript strace \
  googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
