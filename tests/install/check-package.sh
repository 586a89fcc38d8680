#!/usr/bin/env bash
# check-package.sh BUILD_DIR COMMANDS: CPack builds a .deb whose control
# fields are complete and whose unpacked tree runs like an installed one.
set -euo pipefail
BUILD_DIR=$1
# shellcheck source=tests/install/install-checks.sh
source "$(dirname "$0")/install-checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$work/out" >/dev/null) || fail "cpack failed"
package=$(find "$work/out" -maxdepth 1 -name 'tessivane_*.deb' -print -quit)
[ -n "$package" ] || fail "no tessivane_*.deb was built"
[ "$(dpkg-deb -f "$package" Package)" = tessivane ] || fail "package name"
[ -n "$(dpkg-deb -f "$package" Maintainer)" ] || fail "no maintainer"
depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6core6 libtiff libjpeg; do
  [[ $depends == *$library* ]] || fail "Depends lacks $library: $depends"
done
[[ $(dpkg-deb -f "$package" Recommends) == *shared-mime-info* ]] || fail "Recommends lacks shared-mime-info"
dpkg-deb -x "$package" "$work/root"
mkdir -p "$work/root/home"
check_tree "$work/root" "$2"
echo "$(basename "$package") is complete and runs"
