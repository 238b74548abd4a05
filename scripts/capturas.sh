#!/usr/bin/env bash
# Regenerates the README's screenshots in docs/capturas/ from the real windows.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh" "$top/build"
cmake --build "$top/build" --target keldan-capturas
mkdir -p "$top/docs/capturas"
QT_QPA_PLATFORM=offscreen "$top/build/keldan-capturas" "$top" "$top/docs/capturas"
ls "$top/docs/capturas"
