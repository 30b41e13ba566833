#!/usr/bin/env bash
# Installs what the build and the tests need (Debian), then configures build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(wine wine64 libwine-dev g++-mingw-w64-x86-64-posix mingw-w64-tools
          binutils-mingw-w64-x86-64 cmake googletest nlohmann-json3-dev make python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

# The toolchain is fixed when build/ is first configured.
if [ -f build/CMakeCache.txt ]; then
  cmake -S . -B build >/dev/null
else
  cmake -S . -B build -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
