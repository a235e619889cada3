#!/bin/sh
# Configures and builds Tavro into ./build (the build tree mirrors the
# installed layout: build/bin, build/Languages, ...).
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
