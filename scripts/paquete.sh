#!/usr/bin/env bash
# Builds the Debian package the way it is shipped: a build of its own
# (build-paquete/, or the directory given) without tests and benchmarks,
# with Debian's hardening flags, then `cpack -G DEB` there.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$top/build-paquete}
"$top/scripts/deps.sh"
"$top/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELDAN_TESTS=OFF \
  -DKELDAN_HARDENING=ON -DKELDAN_WERROR=OFF
cd "$dir"
cpack -G DEB
ls "$dir"/keldan_*.deb
