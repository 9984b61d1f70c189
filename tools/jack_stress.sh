#!/usr/bin/env bash
# Runs a JACK test program many times, several at a time, beside busy loops
# that load the CPU, and counts failures and hangs. Each run of the program
# starts its own private JACK server (and, where the machine allows it, its
# own /dev/shm: the program prints which isolation is in force).
#
#   tools/jack_stress.sh [-n RUNS] [-j AT_ONCE] [-b BUSY_LOOPS] [-t LIMIT_S] [PROGRAM [ARGS...]]
#
# Defaults: 800 runs, 4 at a time, 4 busy loops, 300 s per run, the release
# build's hardware_jack_tests. Where JACK clients of one user share one
# metadata database (no private /dev/shm), run it under the same lock as
# every other JACK program:  flock /tmp/tavrin-jack.lock tools/jack_stress.sh
# The logs of failed runs stay in the folder named at the end.
set -uo pipefail
cd "$(dirname "$0")/.."

runs=800 atOnce=4 busy=4 limit=300
while getopts "n:j:b:t:" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    j) atOnce=$OPTARG ;;
    b) busy=$OPTARG ;;
    t) limit=$OPTARG ;;
    *) sed -n '2,13p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -eq 0 ]; then set -- build/release/tests/hardware/jack/hardware_jack_tests; fi
if [ ! -x "$1" ]; then echo "no program $1 (build it first)" >&2; exit 2; fi

logs=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-jack-stress-XXXXXX")
busyPids=()
stopBusy() {
  for p in "${busyPids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${busyPids[@]}"; do wait "$p" 2>/dev/null; done
  busyPids=()
}
trap 'stopBusy; exit 130' INT TERM
for ((i = 0; i < busy; i++)); do
  bash -c 'while :; do :; done' &
  busyPids+=($!)
done

# One run: its exit status goes into its own file; its output is kept only
# when it failed. timeout's 124 (and 137 after the kill) marks a hang.
runOne() {
  local n=$1; shift
  local out="$logs/run-$n.log"
  timeout -k 10 "$limit" "$@" --gtest_brief=1 >"$out" 2>&1
  local rc=$?
  echo "$rc" >"$logs/run-$n.rc"
  if [ "$rc" -eq 0 ]; then rm -f "$out"; fi
}

start=$(date +%s)
running=0
for ((n = 1; n <= runs; n++)); do
  runOne "$n" "$@" &
  running=$((running + 1))
  if [ "$running" -ge "$atOnce" ]; then
    wait -n
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n
  running=$((running - 1))
done
stopBusy
trap - INT TERM

failed=0 hung=0
for f in "$logs"/run-*.rc; do
  rc=$(cat "$f")
  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then hung=$((hung + 1)); elif [ "$rc" -ne 0 ]; then failed=$((failed + 1)); fi
done
elapsed=$(($(date +%s) - start))
echo "$runs runs of $1, $atOnce at a time beside $busy busy loops, in ${elapsed} s: $failed failed, $hung hung"
if [ $((failed + hung)) -gt 0 ]; then
  echo "logs of the failed runs: $logs"
  exit 1
fi
rm -rf "$logs"
