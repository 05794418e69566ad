#!/usr/bin/env bash
# Installs what is missing, builds, and starts quillon-find with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build_dir="${QUILLON_BUILD_DIR:-build}"
cmake --build "$build_dir"
exec "$build_dir/cli/quillon-find" "$@"
