#!/usr/bin/env bash
# Shows irtick at work without a receiver: a simulated remote presses a few
# NEC buttons (some held, so repeat marks show) and a few Sony buttons on a
# pseudo-terminal, and irtick decodes them in this terminal.  Press Enter or
# Space for line breaks, any other key to end; the simulator ends with it.
#
#   tools/demo.sh [BUILD_DIR]     (default: build)
set -euo pipefail

build_dir=${1:-build}
irtick=$build_dir/irtick
sim=$build_dir/tools/irtick-sim/irtick-sim
for program in "$irtick" "$sim"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is missing; build first: cmake -S . -B $build_dir && cmake --build $build_dir -j2" >&2
    exit 2
  fi
done

# The simulated remote: NEC volume up held for three repeats, NEC 0x45,
# Sony 12-bit buttons (one held), a NEC extended address; again
# and again until irtick ends.
script=(
  pause:700
  nec:0x00:0x45:3 pause:600
  nec:0x00:0x46 pause:600
  sony12:0x1F:0x01 pause:600
  nec:0x1234:0x0C:5 pause:600
  sony12:0x75:0x01:4 pause:600
  sony12:0x3E:0x03 pause:900
)

# The simulator prints its port's path on its first line.
coproc SIM { exec "$sim" --jitter 3 --loop "${script[@]}"; }
sim_pid=$SIM_PID
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
if ! read -r -t 5 port <&"${SIM[0]}"; then
  echo "demo: the simulator did not start" >&2
  exit 1
fi

echo "irtick on a simulated receiver at $port (-n -s12). Any key but Enter or Space ends it."
status=0
"$irtick" "-p$port" -n -s12 || status=$?
echo
exit "$status"
