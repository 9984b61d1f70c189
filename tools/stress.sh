#!/usr/bin/env bash
# Runs every test of built configurations round after round, each round one
# whole ctest of the configuration exactly as tools/test.sh runs it (the same
# environment, GTEST_FILTER, programs and ctest options: tools/test_env.sh),
# on the given cores beside busy loops pinned to the same cores, and lists
# what failed in which round.
#
#   tools/stress.sh [-r ROUNDS] [-c CORES] [-b BUSY_LOOPS] [-j AT_ONCE] [CONFIGURATION...]
#
# CONFIGURATION is release, sanitize or tsan (default: all three, in that
# order): the folder build/CONFIGURATION that tools/test.sh builds. Nothing
# is built here. CORES is a taskset -c list (0,1 or 4-7); ctest, every test
# and its servers, and the busy loops all run on those cores.
# Defaults: 3 rounds, the cores this tool may run on, one busy loop per
# core, and as many tests at once as tools/test.sh runs on those cores
# (JOBS, or one per core).
#   tools/stress.sh -r 3 -c 0,1 -b 2 release sanitize tsan
# Each failure is listed as its round ends, with a line per configuration at
# the end. The ctest output of failed rounds and the output of each failed
# test stay in the folder named at the end. Exits 1 when a test failed, 2 on
# a usage error or a configuration that is not built.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
. tools/test_env.sh
. tools/busy_loops.sh
. tools/stress_args.sh

rounds=3 cores="" busy="" jobs=""
while getopts "r:c:b:j:h" opt; do
  case $opt in
    r) rounds=$OPTARG ;;
    c) cores=$OPTARG ;;
    b) busy=$OPTARG ;;
    j) jobs=$OPTARG ;;
    h) usage; exit 0 ;;
    *) usageLine >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
configs=("$@")
if [ ${#configs[@]} -eq 0 ]; then configs=(release sanitize tsan); fi

requireCounts 1 "$rounds"
requireCounts 0 ${busy:+"$busy"}
if [ -z "$cores" ]; then
  cores=$(taskset -pc $$) && cores=${cores##*: }
fi
if ! coreCount=$(taskset -c "$cores" nproc 2>/dev/null); then
  echo "cannot run on cores $cores" >&2
  exit 2
fi
busy=${busy:-$coreCount}
jobs=${jobs:-${JOBS:-$coreCount}}
requireCounts 1 "$jobs"

missing=0
for c in "${configs[@]}"; do
  if ! test_settings "$c"; then
    echo "no configuration $c (release, sanitize or tsan)" >&2
    usageLine >&2
    exit 2
  fi
  if [ ! -f "build/$c/CTestTestfile.cmake" ]; then
    echo "build/$c is not built: tools/test.sh builds it (bash tools/test.sh)" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ] || exit 2

logs=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-stress-XXXXXX")
ctestPid=""
# At the end, however it comes: the round still running (ctest, its tests
# and what they started: one process group) and the busy loops go.
stopAll() {
  if [ -n "$ctestPid" ]; then
    kill -TERM -- "-$ctestPid" 2>/dev/null || kill -TERM "$ctestPid" 2>/dev/null
    wait "$ctestPid" 2>/dev/null
    ctestPid=""
  fi
  stopBusy
}
trap stopAll EXIT
trap 'echo "interrupted; the logs so far: $logs" >&2; exit 130' INT TERM
startBusy "$busy" "$cores"

# failedTests LOG: the "NAME (WHY)" of each test that the ctest output LOG
# lists as failed.
failedTests() {
  awk '/^The following tests FAILED:/ { on = 1; next }
       on && /^[[:space:]]+[0-9]+ - / { sub(/^[[:space:]]+[0-9]+ - /, ""); print; next }
       { on = 0 }' "$1"
}

# testOutput LASTTEST NAME: the block of the test NAME in a ctest
# LastTest.log (its command, output and result).
testOutput() {
  awk -v t="$2" '/^[0-9]+\/[0-9]+ Testing: / { on = ($3 == t) }
                 on { print }
                 on && index($0, "\"" t "\" time elapsed:") == 1 { on = 0 }' "$1"
}

# runRound CONFIG ROUND: one whole ctest of build/CONFIG on the cores, in a
# process group of its own. Prints the round's line and each failure, adds
# the failures to failures[CONFIG] and keeps their logs; returns 1 when a
# test failed.
declare -A failures failedCount
runRound() {
  local config=$1 round=$2 select=()
  local log=$logs/$config-round-$round.log
  test_settings "$config"
  if [ -n "$test_select" ]; then select=(-R "$test_select"); fi
  local began=$SECONDS rc
  setsid env "${test_env[@]}" taskset -c "$cores" \
    ctest --test-dir "build/$config" "${test_ctest_options[@]}" -j"$jobs" "${select[@]}" >"$log" 2>&1 &
  ctestPid=$!
  wait "$ctestPid"
  rc=$?
  ctestPid=""
  local took=$((SECONDS - began)) total line name list=()
  total=$(sed -n -E 's/.* tests failed out of ([0-9]+)$/\1/p' "$log" | tail -1)
  mapfile -t list < <(failedTests "$log")
  if [ "$rc" -ne 0 ] && [ ${#list[@]} -eq 0 ]; then list=("ctest itself (exit $rc)"); fi
  echo "$config round $round/$rounds: $(counted "${total:-0}" test) in $took s, ${#list[@]} failed"
  if [ ${#list[@]} -eq 0 ]; then
    rm -f "$log"
    return 0
  fi
  for line in "${list[@]}"; do
    echo "  FAILED $config round $round: $line"
    failures[$config]+="${failures[$config]:+, }round $round: $line"
    failedCount[$config]=$((${failedCount[$config]:-0} + 1))
    name=${line% (*}
    testOutput "build/$config/Testing/Temporary/LastTest.log" "$name" >"$logs/$config-round-$round-$name.log" 2>/dev/null
    [ -s "$logs/$config-round-$round-$name.log" ] || rm -f "$logs/$config-round-$round-$name.log"
  done
  return 1
}

echo "logs go to $logs"
status=0
summary=()
for c in "${configs[@]}"; do
  began=$SECONDS
  for ((r = 1; r <= rounds; r++)); do
    runRound "$c" "$r" || status=1
  done
  line="$(counted "$rounds" round) of $c on cores $cores, $jobs at a time, beside $(counted "$busy" "busy loop")"
  line+=", in $((SECONDS - began)) s:"
  line+=" ${failedCount[$c]:-0} failed${failures[$c]:+ (${failures[$c]})}"
  summary+=("$line")
done
stopAll
trap - EXIT INT TERM

echo
printf '%s\n' "${summary[@]}"
if [ "$status" -ne 0 ]; then
  echo "the logs of the failed rounds and tests: $logs"
  exit 1
fi
rm -rf "$logs"
