#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12. Run as root (or with sudo).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  qpdf libqpdf-dev libexempi-dev libwxgtk3.2-dev libgtk-3-dev \
  fonts-urw-base35 xvfb xauth xdotool imagemagick poppler-utils libimage-exiftool-perl \
  googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
