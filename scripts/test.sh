#!/usr/bin/env bash
# Set-up, build, and every test under Wine (short robustness campaigns included).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cd build
ctest --output-on-failure -j2 "$@"
