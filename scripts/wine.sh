# Sourced by the scripts that run Wine programs. wine64 runs a program on the
# 64-bit side of $WINEPREFIX through the 64-bit loader by name: once wine32 is
# installed, /usr/bin/wine starts the 32-bit loader, whose cscript, regsvr32
# and reg see the 32-bit registry view. A program that runs past
# WINE_CALL_TIMEOUT seconds counts as hung and is stopped.
WINE64_LOADER=/usr/lib/wine/wine64
WINE_CALL_TIMEOUT=${WINE_CALL_TIMEOUT:-300}
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

wine64() { WINELOADER=$WINE64_LOADER timeout "$WINE_CALL_TIMEOUT" "$WINE64_LOADER" "$@"; }
wineserver_wait() { timeout "$WINE_CALL_TIMEOUT" wineserver -w; }

# Makes $WINEPREFIX, or completes one made before wine32 was installed.
make_wine_prefix() { cmake -DWINE_PREFIX="$WINEPREFIX" -P "$(dirname "${BASH_SOURCE[0]}")/../cmake/MakeWinePrefix.cmake"; }
