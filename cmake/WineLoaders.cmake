# The Wine loaders, called by name. Once wine32 is installed, /usr/bin/wine
# starts the 32-bit loader, whose cscript, regsvr32 and reg are the WOW64
# programs and see the 32-bit registry view; so nothing runs plain `wine`.
# WINELOADER names the loader a program's own children start with.
set(WINE64_LOADER /usr/lib/wine/wine64)
set(WINE32_LOADER /usr/lib/wine/wine)
set(WINE_COMMON_ENV WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=" WINEARCH=win64)
# The longest one Wine program may run before it counts as hung (seconds).
set(WINE_CALL_TIMEOUT 300)
