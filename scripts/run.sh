#!/usr/bin/env bash
# Builds Tessivane and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default
cmake --build --preset default -j"$(nproc)"
exec build/default/bin/tessivane-cli --help
