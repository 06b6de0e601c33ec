#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and fuzzes each named one for the
# given number of seconds, starting from its committed seed corpus.
#
#   tools/fuzz.sh TARGET... SECONDS        e.g. tools/fuzz.sh options monitor decoders 60
#
# Build folder: build-fuzz (FUZZ_BUILD_DIR overrides).  New inputs go to a
# scratch corpus in the build folder, never into fuzz/corpus/; a crash or a
# failed check leaves its input as build-fuzz/artifacts/<target>-crash-...
# Prints each target's closing figures (cov, ft, exec/s).  Exit status 0
# when no target crashed.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET... SECONDS" >&2
  exit 2
fi
seconds=${*: -1}
targets=("${@:1:$#-1}")
buildDir=${FUZZ_BUILD_DIR:-build-fuzz}

# Only the fuzz programs: the suite is built and run elsewhere.
CC=clang CXX=clang++ cmake -S . -B "$buildDir" -DIRTICK_FUZZ=ON -DBUILD_TESTING=OFF \
  -DIRTICK_BUILD_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$buildDir" -j2 --target "${targets[@]/#/fuzz_}"

failed=()
for target in "${targets[@]}"; do
  scratch="$buildDir/corpus/$target"
  mkdir -p "$scratch" "$buildDir/artifacts"
  log="$buildDir/fuzz-$target.log"
  echo "== fuzzing $target for $seconds s"
  # Leaks count as crashes too (libFuzzer's -detect_leaks is on by default).
  if "$buildDir/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
       -print_final_stats=1 -artifact_prefix="$buildDir/artifacts/$target-" \
       "$scratch" "fuzz/corpus/$target" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$log" || true
  else
    echo "!! $target crashed or failed a check; the end of $log:"
    tail -40 "$log"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzzing passed: ${targets[*]} ($seconds s each)"
