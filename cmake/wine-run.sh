#!/bin/sh
# Runs a Windows program under Wine for CTest and for the test discovery
# after each build: the program's arguments, standard streams and exit
# status pass through unchanged.
#
# Environment: WINEPREFIX (the prefix to use, created on first use),
# IRTICK_WINE (the wine program; default: wine from PATH).
wine=${IRTICK_WINE:-wine}
# Wine's own diagnostics stay out of the test output; a new prefix is not
# offered .NET and Gecko.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Wine's background services (services.exe, winedevice.exe) start with the
# first program and inherit its standard output and error.  Started by the
# test itself, they would hold CTest's pipe open until the Wine server
# ends, seconds after the test.  So they are started here first, with no
# inherited streams; while the server is up this costs a fraction of a
# second.  The same run creates the prefix when it does not exist yet.
"$wine" cmd /c exit </dev/null >/dev/null 2>&1

exec "$wine" "$@"
