#!/usr/bin/env bash
# Installs what is missing, makes the optimised build and starts Quenor.
# Any arguments are passed to the program (a setup file to open).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/tools/setup-debian.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release -DQUENOR_TESTS=OFF -DQUENOR_BENCH=OFF >/dev/null
cmake --build "$top/build" --target quenor -j"$(nproc)"
exec "$top/build/app/quenor" "$@"
