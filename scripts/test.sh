#!/bin/sh
# Installs what is missing, builds, and runs every test. The tests of the
# desktop environment run under an Xvfb server started here.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/build.sh
# Every remembered name lookup is checked against a full lookup while the
# tests run: a stale one aborts the test that met it.
export TAVRO_VERIFY_LOOKUPS=1
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build --output-on-failure -j2
