#!/usr/bin/env bash
# Runs JACK test programs many times, several at a time, beside busy loops
# that load the CPU, and counts failures and hangs. Each run of a program
# starts its own private JACK server (and, where the machine allows it, its
# own /dev/shm: the program prints which isolation is in force).
#
#   tools/jack_stress.sh [-n RUNS] [-j AT_ONCE] [-b BUSY_LOOPS] [-t LIMIT_S] [-d BUILD_DIR] [PROGRAM [ARGS...]]
#
# Without a PROGRAM, every JACK program of BUILD_DIR, one program after the
# other, RUNS times each: hardware_jack_tests, hardware_jack_slowcycle_tests,
# editor_jack_tests, uiconfig_jack_tests and host_jack_tests.
# Defaults: 800 runs, 4 at a time, 4 busy loops, 300 s per run, build/release.
# Where JACK clients of one user share one metadata database (no private
# /dev/shm), run it under the same lock as every other JACK program:
#   flock /tmp/tavrin-jack.lock tools/jack_stress.sh
# The logs of failed runs stay in the folder named at the end. Exits 1 when
# a run failed or hung, 2 on a usage error or a program that is not built.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
. tools/busy_loops.sh
. tools/stress_args.sh

runs=800 atOnce=4 busy=4 limit=300 buildDir=build/release
while getopts "n:j:b:t:d:h" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    j) atOnce=$OPTARG ;;
    b) busy=$OPTARG ;;
    t) limit=$OPTARG ;;
    d) buildDir=$OPTARG ;;
    h) usage; exit 0 ;;
    *) usageLine >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
requireCounts 1 "$runs" "$atOnce" "$limit"
requireCounts 0 "$busy"
if [ $# -gt 0 ]; then
  programs=("$1"); shift
else
  programs=("$buildDir"/tests/hardware/jack/hardware_jack_tests "$buildDir"/tests/hardware/jack/hardware_jack_slowcycle_tests
            "$buildDir"/tests/editor/jack/editor_jack_tests "$buildDir"/tests/uiconfig/jack/uiconfig_jack_tests
            "$buildDir"/tests/host/host_jack_tests)
fi
for p in "${programs[@]}"; do
  if [ ! -x "$p" ]; then echo "no program $p (build it first)" >&2; exit 2; fi
done

logs=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-jack-stress-XXXXXX")
trap 'stopBusy; exit 130' INT TERM
startBusy "$busy"

# Every thread's calls of a process and of its children (jackd, the
# simulator), through the debugger when the machine has one.
threadsOf() {
  local p
  for p in "$1" $(pgrep -P "$1"); do
    echo "== process $p: $(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null)"
    timeout 120 gdb -p "$p" -batch -nx -ex "thread apply all bt" 2>&1 | grep -v -E '^\[New LWP|^$'
  done
}

# One run: its exit status and its seconds go into its own file; its output
# is kept only when it failed. A run still going after the limit is a hang
# (124): its threads' calls are added to its output, then it is killed.
runOne() {
  local out=$1; shift
  local began=$SECONDS rc
  "$@" --gtest_brief=1 >"$out.log" 2>&1 &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null && [ $((SECONDS - began)) -lt "$limit" ]; do sleep 1; done
  if kill -0 "$pid" 2>/dev/null; then
    { echo "== still running after $limit s"; threadsOf "$pid"; } >>"$out.log" 2>&1
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    rc=124
  else
    wait "$pid"
    rc=$?
  fi
  echo "$rc $((SECONDS - began))" >"$out.rc"
  if [ "$rc" -eq 0 ]; then rm -f "$out.log"; fi
}

# All runs of one program (with its arguments); prints its line and
# returns non-zero when a run failed or hung.
stressProgram() {
  local dir
  dir="$logs/$(basename "$1")"
  mkdir -p "$dir"
  local start running=0 n
  start=$(date +%s)
  for ((n = 1; n <= runs; n++)); do
    runOne "$dir/run-$n" "$@" &
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
  local failed=0 hung=0 slowest=0 f rc took
  for f in "$dir"/run-*.rc; do
    read -r rc took <"$f"
    if [ "$took" -gt "$slowest" ]; then slowest=$took; fi
    if [ "$rc" -eq 124 ]; then hung=$((hung + 1)); elif [ "$rc" -ne 0 ]; then failed=$((failed + 1)); fi
  done
  echo "$(counted "$runs" run) of $1, $atOnce at a time beside $(counted "$busy" "busy loop"), in $(($(date +%s) - start)) s (the slowest run $slowest s): $failed failed, $hung hung"
  [ $((failed + hung)) -eq 0 ]
}

status=0
for p in "${programs[@]}"; do
  stressProgram "$p" "$@" || status=1
done
stopBusy
trap - INT TERM

if [ "$status" -ne 0 ]; then
  echo "logs of the failed runs: $logs"
  exit 1
fi
rm -rf "$logs"
