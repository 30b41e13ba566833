#!/usr/bin/env bash
# Installs what the build and the tests need (Debian), then configures build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(wine wine64 libwine-dev g++-mingw-w64-x86-64-posix mingw-w64-tools
          binutils-mingw-w64-x86-64 cmake googletest nlohmann-json3-dev make python3)
# The 32-bit side (the x86 DLL and the WOW64 half of the prefixes) needs the
# i386 architecture, wine32 and the i686 compiler.
packages32=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 wine32:i386)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture"
  $sudo dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}" "${packages32[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  install() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-remove "$@" "${missing[@]}"
  }
  # Packages that exist for both architectures need the same version on
  # both. When a mirror's index of the security suite fails for one
  # architecture (it does while the mirror syncs), the two candidates differ;
  # the other suites' indexes still agree, so install from those alone.
  install_without_security() {
    local sources
    sources=$(mktemp -d)
    [ ! -f /etc/apt/sources.list ] || grep -v security /etc/apt/sources.list > "$sources/sources.list" || true
    for f in /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      case "$f" in
        *.sources) awk -v RS= -v ORS='\n\n' '!/security/' "$f" > "$sources/$(basename "$f")" ;;
        *.list) grep -v security "$f" > "$sources/$(basename "$f")" || true ;;
      esac
    done
    install -o Dir::Etc::SourceList="$sources/sources.list" -o Dir::Etc::SourceParts="$sources"
    local status=$?
    rm -rf "$sources"
    return $status
  }
  $sudo apt-get update -qq || echo "apt-get update reported errors; installing with the indexes it has"
  if ! { install || install_without_security || { sleep 30; $sudo apt-get update -qq || true; install; }; }; then
    # The 64-bit side alone still builds and tests everything but the x86 DLL.
    missing=()
    for p in "${packages[@]}"; do
      dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    echo "warning: the 32-bit side could not be installed; the x86 DLL and its tests are left out" >&2
    [ ${#missing[@]} -eq 0 ] || install
  fi
fi

# The toolchain is fixed when build/ is first configured.
if [ -f build/CMakeCache.txt ]; then
  cmake -S . -B build >/dev/null
else
  cmake -S . -B build -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
