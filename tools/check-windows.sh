#!/usr/bin/env bash
# Builds irtick for Windows with mingw-w64 and runs the Windows tests under
# Wine, installing what the machine lacks first (Debian packages, as root).
#
#   tools/check-windows.sh [build-folder]     default: build-win
#
# Wine's prefix is a fresh temporary folder, removed at the end, unless
# WINEPREFIX names one to use (and keep).  Prints what it does and how long
# each step took.  Exit status 0 when everything built and every test passed.
# Everything runs in a private mount namespace with each /dev/ttyS* covered
# by /dev/null (tools/cover-serial-ports.sh).
set -euo pipefail
source "$(dirname "$0")/cover-serial-ports.sh"
cd "$(dirname "$0")/.."
buildDir=${1:-build-win}

source tools/steps.sh

# --- What the machine lacks -------------------------------------------------
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v make >/dev/null || need+=(make)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v wine >/dev/null || need+=(wine64)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v script >/dev/null || need+=(bsdutils)
# The man pages in the zip are rendered with groff.
command -v groff >/dev/null || need+=(groff-base)
if [ ${#need[@]} -gt 0 ]; then
  Step "installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}" >/dev/null
  StepDone
else
  Step "cmake, mingw-w64, Wine and the GoogleTest sources are installed"
fi

# --- Wine prefix ------------------------------------------------------------
export WINEDEBUG=-all
# A new prefix is not offered .NET and Gecko.
export WINEDLLOVERRIDES="mscoree,mshtml="
ownPrefix=""
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/irtick-wine.XXXXXX")
  ownPrefix=$WINEPREFIX
fi
export WINEPREFIX
Cleanup() {
  # Ends only this prefix's Wine server and the Wine programs it runs.
  wineserver -k 2>/dev/null || true
  if [ -n "$ownPrefix" ]; then rm -rf "$ownPrefix"; fi
}
trap Cleanup EXIT

Step "creating the Wine prefix $WINEPREFIX"
timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1
StepDone

# --- Build ------------------------------------------------------------------
Step "configuring $buildDir for Windows"
cmake -S . -B "$buildDir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DIRTICK_WINEPREFIX="$WINEPREFIX" >/dev/null
StepDone

Step "building (the test lists are read under Wine after each test program)"
cmake --build "$buildDir" -j2
StepDone

# --- Tests ------------------------------------------------------------------
Step "running the tests under Wine"
ctest --test-dir "$buildDir" --output-on-failure -j2
StepDone

# CTest gives the tests no console, so the keyboard tests skip there.  Run
# them once more on a console of their own: Wine makes one on a terminal,
# here the pseudo-terminal of script(1).  Its standard input is held open
# and silent, so that no key reaches that console but the tests' own.
Step "running the console keyboard tests on a Wine console"
keyboardTest="$buildDir/tests/win32/win32_console_keyboard_test.exe"
keyboardLog="$buildDir/win32_console_keyboard_test.log"
# Wine redraws the console on the terminal character by character, so the
# verdict comes from the test's XML report, not from its screen.
keyboardReport="$buildDir/win32_console_keyboard_test.xml"
rm -f "$keyboardReport"
exec {quietInput}< <(sleep 300)
quietInputPid=$!
keyboardStatus=0
# The program reads the report's path as a Windows path.
reportForWine=$(winepath -w "$keyboardReport" 2>/dev/null)
timeout 300 script -qec "wine '$keyboardTest' --gtest_output=xml:'$reportForWine'" /dev/null \
  <&"$quietInput" >"$keyboardLog" 2>&1 || keyboardStatus=$?
kill "$quietInputPid" 2>/dev/null || true
exec {quietInput}<&-
ran=$(grep -c '<testcase ' "$keyboardReport" 2>/dev/null || true)
completed=$(grep -c 'result="completed"' "$keyboardReport" 2>/dev/null || true)
failed=$(grep -c '<failure' "$keyboardReport" 2>/dev/null || true)
if [ "$keyboardStatus" -ne 0 ] || [ "${ran:-0}" -eq 0 ] || [ "$completed" != "$ran" ] ||
   [ "${failed:-0}" -ne 0 ]; then
  echo "keyboard tests on a console failed: status $keyboardStatus, $ran tests," \
    "$completed completed, $failed failures; see $keyboardLog and $keyboardReport"
  exit 1
fi
echo "   $completed of $ran keyboard tests passed on a console"
StepDone

# The built program itself: a port that does not exist gives the open-error
# message and the status -1.  The name is no COM port, so nothing is opened.
Step "irtick.exe -pnothere"
expected='Error opening port: \\.\nothere (2)'
set +e
output=$(timeout 60 wine "$buildDir/irtick.exe" -pnothere </dev/null)
status=$?
set -e
if [ "$status" -ne 255 ] || [ "$output" != "$expected"$'\r' ]; then
  echo "unexpected: status $status, output:"
  printf '%s' "$output" | od -c
  exit 1
fi
echo "   $expected, status 255"
StepDone

echo "== Windows build and tests passed in $(( $(date +%s) - started )) s"
