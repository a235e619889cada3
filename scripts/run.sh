#!/bin/sh
# Installs what is missing, builds, and starts Tavro (for now the
# interactive command-line runner).
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/build.sh
exec build/bin/tavro-run "$@"
