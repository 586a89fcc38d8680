#!/usr/bin/env bash
# check-install.sh BUILD_DIR COMMANDS: `cmake --install` into a private
# folder gives a tree whose programs run from it alone.
set -euo pipefail
BUILD_DIR=$1
# shellcheck source=tests/install/install-checks.sh
source "$(dirname "$0")/install-checks.sh"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/home"
cmake --install "$BUILD_DIR" --prefix "$root/usr" >/dev/null
check_tree "$root" "$2"
echo "installed tree is complete and runs"
