#!/usr/bin/env bash
# End-to-end check of irtick.exe under Wine: a COM name mapped to a
# pseudo-terminal of irtick-sim (the Linux build's), keys put into
# irtick.exe's console by send_console_keys.exe, the exact output compared.
#
#   tools/check-windows-e2e.sh [windows-build] [linux-build]
#                                    default: build-win build
#
# The Windows build needs irtick.exe and tests/win32/send_console_keys.exe
# (tools/check-windows.sh builds both), the Linux build irtick-sim.  Wine's
# prefix is a fresh temporary folder, removed at the end.  Every Wine
# command runs in a private mount namespace in which each /dev/ttyS* is
# covered by /dev/null: Wine maps /dev/ttyS* to COM ports by itself, and no
# run may reach the machine's own serial ports (/dev/ttyS0 may be its
# console).  Exit status 0 when every check passed.
set -euo pipefail
source "$(dirname "$0")/cover-serial-ports.sh"
cd "$(dirname "$0")/.."
winBuild=${1:-build-win}
linuxBuild=${2:-build}

irtickExe=$winBuild/irtick.exe
sendKeysExe=$winBuild/tests/win32/send_console_keys.exe
sim=$linuxBuild/tools/irtick-sim/irtick-sim
for program in "$irtickExe" "$sendKeysExe" "$sim"; do
  if [ ! -x "$program" ]; then
    echo "missing: $program (build $winBuild with tools/check-windows.sh, $linuxBuild with cmake)" >&2
    exit 1
  fi
done

# How long any one Wine step or wait may take, in seconds: generous, for
# a loaded machine.
wineTimeout=90

source tools/steps.sh
Fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# --- Wine prefix and clean-up -------------------------------------------------
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/irtick-wine-e2e.XXXXXX")
export WINEPREFIX
work=$WINEPREFIX.work
mkdir -p "$work"
simPid=""
holderPid=""
Cleanup() {
  if [ -n "$simPid" ]; then kill "$simPid" 2>/dev/null || true; fi
  if [ -n "$holderPid" ]; then kill "$holderPid" 2>/dev/null || true; fi
  # Ends only this prefix's Wine server and the Wine programs it runs.
  timeout 30 wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$work"
}
trap Cleanup EXIT

Wine() {
  timeout "$wineTimeout" wine "$@"
}

Step "creating the Wine prefix $WINEPREFIX"
Wine cmd /c exit </dev/null >/dev/null 2>&1 || Fail "the Wine prefix could not be made"
StepDone

# Maps COM5 to a path and restarts the Wine server, which reads the ports
# when it starts.
MapCom5() {
  Wine reg add 'HKLM\Software\Wine\Ports' /v COM5 /d "$1" /f </dev/null >/dev/null 2>&1 ||
    Fail "wine reg add COM5"
  timeout 30 wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  # The background services start here, with no inherited streams.
  Wine cmd /c exit </dev/null >/dev/null 2>&1 || Fail "Wine did not start again"
}

# Waits until the command succeeds, at most wineTimeout seconds.
WaitFor() {
  local what=$1 deadline
  shift
  deadline=$(( $(date +%s) + wineTimeout ))
  until "$@"; do
    if [ "$(date +%s)" -ge "$deadline" ]; then Fail "timed out waiting for $what"; fi
    sleep 0.1
  done
}

SpeedIs57600() {
  [ "$(stty -F "$1" speed 2>/dev/null)" = 57600 ]
}
ProcessGone() {
  ! kill -0 "$1" 2>/dev/null
}

# One run of irtick.exe on COM5 fed by irtick-sim, ended by keys:
#   Run NAME "IRTICK ARGUMENTS" "KEYS" SIM-ITEM...
# Every script starts with pause:1000, within which the simulator is
# stopped (SIGSTOP) and its pseudo-terminal set to 9600 baud; once
# irtick.exe has set the line to 57600 the simulator goes on, and the bytes
# that fell due meanwhile go out at once (irtick shows values, not their
# timing).  When the simulator has ended (every byte was taken from the
# pseudo-terminal) the keys go into irtick.exe's console, so their place in
# the output is fixed.  irtick.exe's standard output is a file, its console
# the pseudo-terminal of script(1).
Run() {
  local name=$1 arguments=$2 keys=$3
  shift 3
  local simOut=$work/$name.sim
  local output=$work/$name.out
  local consoleLog=$work/$name.console
  local statusFile=$work/$name.status

  Step "$name: irtick.exe COM5 $arguments, fed: $*, keys: $keys"
  rm -f "$output" "$statusFile"
  "$sim" "$@" >"$simOut" &
  simPid=$!
  WaitFor "irtick-sim's port" test -s "$simOut"
  local pty
  pty=$(head -n 1 "$simOut")
  kill -STOP "$simPid"
  stty -F "$pty" 9600
  echo "   irtick-sim on $pty"
  MapCom5 "$pty"

  # script(1) gives Wine a terminal, so irtick.exe gets a console.  Its
  # input is a FIFO held open by a sleeping writer for the whole run:
  # Wine's console turns an end of script's input into a key.
  local fifo=$work/$name.fifo
  mkfifo "$fifo"
  sleep $(( wineTimeout * 2 )) >"$fifo" &
  holderPid=$!
  local command
  command="wine '$irtickExe' COM5 $arguments >'$output'; echo \$? >'$statusFile'"
  timeout "$wineTimeout" script -qec "$command" /dev/null <"$fifo" >"$consoleLog" 2>&1 &
  local scriptPid=$!

  WaitFor "irtick.exe to set the line to 57600" SpeedIs57600 "$pty"
  kill -CONT "$simPid"
  WaitFor "irtick-sim to end (every byte taken)" ProcessGone "$simPid"
  wait "$simPid" || Fail "irtick-sim ended with status $?"
  simPid=""

  # shellcheck disable=SC2086 # the keys are separate arguments
  Wine "$sendKeysExe" irtick.exe $keys </dev/null || Fail "the keys did not reach irtick.exe"
  wait "$scriptPid" || true
  kill "$holderPid" 2>/dev/null || true
  wait "$holderPid" 2>/dev/null || true
  holderPid=""
  [ -s "$statusFile" ] || Fail "$name: irtick.exe did not end (see $consoleLog)"
  local status
  status=$(cat "$statusFile")
  [ "$status" = 0 ] || Fail "$name: irtick.exe ended with status $status"
  echo "   status 0"
  StepDone
}

# Compares a run's output with the expected text on standard input, given
# with LF line ends (irtick.exe writes CR LF).
ExpectOutput() {
  local name=$1
  local want=$work/$name.want
  sed 's/$/\r/' >"$want"
  if ! cmp -s "$want" "$work/$name.out"; then
    echo "$name: unexpected output; expected, then got:" >&2
    od -c "$want" >&2
    od -c "$work/$name.out" >&2
    exit 1
  fi
  echo "   $name: output exact ($(wc -c <"$want") bytes, CR LF)"
}

# --- NEC and Sony decoded; Enter, Space, then F1 ends the run ---------------
Run decode "-n -s12" "enter space f1" \
  pause:1000 nec:0x00:0x45:1 pause:200 sony12:0x75:0x01:2 pause:200
# The NEC frame and its repeat (`Rpt ` after the pause that follows it),
# then a Sony frame twice.  Enter gives two line ends, Space one.
ExpectOutput decode <<'EOF'
211  18  18  18  18  18  18  18  18  35  35  35  35  35  35  35  35  35  18  35  18  18  18  35  18  18  35  18  35  35  35  18  35 
NEC Code: BA45FF00
121 176  29 Rpt  47  28  19  28  19  28  28  28  28  19  19  19 
Sony Code: 000F5
138  47  28  19  28  19  28  28  28  28  19  19  19 
Sony Code: 000F5



EOF

# --- A letter ends the run; microseconds shown ------------------------------
Run letter "-t" "space q" pause:1000 us:1000,2000,3000 pause:100
ExpectOutput letter <<'EOF'
   1024    1984    3008 
EOF

# --- An arrow key ends the run; no wrap correction --------------------------
Run arrow "-r" "enter up" pause:1000 us:64,128,2000 pause:100
# 64 and 128 us are the bytes 1 and 2, shown as they are under -r.
ExpectOutput arrow <<'EOF'
  1   2  31 

EOF

# --- A COM name mapped nowhere ----------------------------------------------
Step "irtick.exe COM9, a COM name mapped nowhere"
if [ -e "$WINEPREFIX/dosdevices/com9" ]; then Fail "COM9 is mapped in the new prefix"; fi
set +e
output=$(Wine "$irtickExe" COM9 -n </dev/null 2>&1)
status=$?
set -e
# Wine answers a COM name without a device with ERROR_FILE_NOT_FOUND.
expected='Error opening port: \\.\COM9 (2)'
if [ "$status" -ne 255 ] || [ "$output" != "$expected"$'\r' ]; then
  echo "unexpected: status $status, output:" >&2
  printf '%s' "$output" | od -c >&2
  exit 1
fi
echo "   $expected, status 255"
StepDone

echo "== Windows end-to-end checks passed in $(( $(date +%s) - started )) s"
