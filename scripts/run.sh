#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program (arguments go to it, e.g. /folder:PATH).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build_dir="${QUILLON_BUILD_DIR:-build}"
cmake --build "$build_dir"
exec "$build_dir/app/quillon" "$@"
