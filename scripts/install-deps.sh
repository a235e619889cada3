#!/bin/sh
# Installs the Debian packages that building and testing Tavro need, and
# any further packages named as arguments (the benchmark script adds the
# peer interpreters). Run as root (or through sudo). Safe to run again.
set -e
PACKAGES="build-essential cmake ninja-build pkg-config libgtest-dev libedit-dev libxml2-dev libxslt1-dev \
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-multimedia-dev gstreamer1.0-plugins-base \
  gstreamer1.0-plugins-good libgl-dev libglu1-mesa-dev libjpeg62-turbo-dev libpng-dev librsvg2-bin libosmesa6-dev xvfb xauth \
  fonts-dejavu-core python3 $*"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -o DPkg::Lock::Timeout=600
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends \
    -o DPkg::Lock::Timeout=600 $missing
fi
