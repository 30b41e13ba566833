#!/usr/bin/env bash
# Installs what the build and the tests need (Debian), then configures build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(wine wine64 libwine-dev g++-mingw-w64-x86-64-posix mingw-w64-tools
          binutils-mingw-w64-x86-64 cmake googletest nlohmann-json3-dev make python3)
# The Windows Installer packages (wixl) and the signing of files and packages
# (osslsigncode, openssl for a test's throwaway certificate). Installed on
# their own: without them the DLLs are still built and tested.
packaging=(wixl osslsigncode openssl)
# The x86 DLL needs only the i686 compiler; running its tests needs wine32 too
# (the i386 architecture), and a kernel that executes 32-bit programs, which
# the build asks itself (cmake/Wine32Side.cmake). Each is installed on its
# own, so that one that cannot be installed leaves the others.
compiler32=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686)
wine32=(wine32:i386)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

updated=0
# install_packages p...: installs those of the packages that are missing.
install_packages() {
  local missing
  mapfile -t missing < <(missing_of "$@")
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  if [ $updated = 0 ]; then
    $sudo apt-get update -qq || echo "apt-get update reported errors; installing with the indexes it has"
    updated=1
  fi
  install() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-remove "$@" "${missing[@]}"
  }
  # Packages that exist for both architectures need the same version on
  # both. When a mirror's index of the security suite fails for one
  # architecture (it does while the mirror syncs), the two candidates differ;
  # the other suites' indexes still agree, so install from those alone.
  install_without_security() {
    local sources status
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
    status=$?
    rm -rf "$sources"
    return $status
  }
  install || install_without_security || { sleep 30; $sudo apt-get update -qq || true; install; }
}

install_packages "${packages[@]}"
install_packages "${packaging[@]}" ||
  echo "warning: wixl or osslsigncode could not be installed; no packages are made or signed" >&2
install_packages "${compiler32[@]}" ||
  echo "warning: the i686 compiler could not be installed; the x86 DLL and its tests are left out" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture"
  $sudo dpkg --add-architecture i386
  updated=0
fi
install_packages "${wine32[@]}" ||
  echo "warning: wine32 could not be installed; the x86 runtime tests are not run" >&2

# The toolchain is fixed when build/ is first configured.
if [ -f build/CMakeCache.txt ]; then
  cmake -S . -B build >/dev/null
else
  cmake -S . -B build -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
