#!/usr/bin/env bash
# Set-up and build: build/bin/Varquel.dll, the simulator, samples and tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --build build -j"$(nproc)"
