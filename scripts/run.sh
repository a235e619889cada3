#!/bin/sh
# Installs what is missing, builds, and starts the Tavro desktop
# environment. Arguments go to the program (a .tvr file to run at start,
# a configuration file, "!lib1.tvr,lib2.tvr," libraries).
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/build.sh
exec build/bin/tavro "$@"
