#!/usr/bin/env bash
# The long robustness run: builds the robustness test program, then runs its
# campaigns (random late-bound calls, broken stores, failing WMI) under Wine
# in the build tree's own prefix, with a larger size than the short run that
# ctest makes.
#
#   VARQUEL_CAMPAIGN_SIZE  multiplier of every campaign's work (default 20;
#                          the short run in ctest is 1)
#   VARQUEL_SEED           the run's seed (default: the short run's fixed seed,
#                          so the long run covers the short one and more)
#   VARQUEL_SCENARIO       replay a single scenario of a failed run
#   VARQUEL_TRACE          print every late-bound call before it is made
#   VARQUEL_BUILD_DIR      build tree (default build)
# Extra arguments go to the test program (e.g. --gtest_filter=BrokenStores.*).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${VARQUEL_BUILD_DIR:-build}"
if [ "$build" = build ]; then
  scripts/setup.sh
elif [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target robustness_tests wineprefix -j"${VARQUEL_JOBS:-$(nproc)}"

export VARQUEL_CAMPAIGN_SIZE="${VARQUEL_CAMPAIGN_SIZE:-20}"
if [ -n "${VARQUEL_SEED:-}" ]; then export VARQUEL_SEED; fi
export WINEPREFIX="$PWD/$build/wineprefix"
source scripts/wine.sh
WINE_CALL_TIMEOUT=0   # a long campaign may take hours: no limit

echo "robustness: size ${VARQUEL_CAMPAIGN_SIZE}, seed ${VARQUEL_SEED:-default}"
start=$(date +%s)
status=0
wine64 "$build/bin/robustness_tests.exe" "$@" || status=$?
echo "robustness: finished in $(( $(date +%s) - start )) s with status ${status}"
exit "$status"
