#!/usr/bin/env bash
# Sets up the machine, builds the release configuration's benchmark
# programs, runs every one of them (as often as bench/goals says, the
# median counting) and prints one table: each figure of bench/goals, the
# figure measured, its goal and whether it is met. Exits non-zero when a
# goal is missed or a figure is missing. Every figure is a ratio against a
# baseline measured in the same run.
#
#   bash tools/bench.sh                  # on every core
#   taskset -c 0,1 bash tools/bench.sh   # on two cores
#   JOBS=4 bash tools/bench.sh           # building with four jobs
#   bash tools/bench.sh host_bench ...   # only the programs named
set -uo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh || { echo "Setting up the machine failed"; exit 1; }

JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
BUILD=build/release
GOALS=bench/goals
RESULTS=$BUILD/bench-results

# The rows of the goals file: program benchmark counter goal runs lock what;
# those of the programs named on the command line, when any are.
rows=()
while IFS= read -r line; do
  case "$line" in '' | '#'*) continue ;; esac
  if [ "$#" -gt 0 ]; then
    read -r prog _ <<<"$line"
    case " $* " in *" $prog "*) ;; *) continue ;; esac
  fi
  rows+=("$line")
done <"$GOALS"
[ "${#rows[@]}" -gt 0 ] || { echo "$GOALS lists no such benchmark"; exit 1; }

# Each program once, in the order of the file, with its number of runs and
# whether it needs the JACK lock.
programs=()
declare -A runsOf lockOf
for row in "${rows[@]}"; do
  read -r prog _ _ _ runs lock _ <<<"$row"
  if [ -z "${runsOf[$prog]:-}" ]; then
    programs+=("$prog")
    runsOf[$prog]=$runs
    lockOf[$prog]=-
  fi
  [ "$runs" -gt "${runsOf[$prog]}" ] && runsOf[$prog]=$runs
  [ "$lock" = jack ] && lockOf[$prog]=jack
done

echo "=== build: $BUILD (log in $BUILD/bench-build.log)"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_BENCH=ON >/dev/null || { echo "configure failed"; exit 1; }
targets=$(cmake --build "$BUILD" --target help 2>/dev/null)
build=()
for prog in "${programs[@]}"; do
  if grep -qE "(^|[. ])$prog(:|\$| )" <<<"$targets"; then build+=("$prog"); fi
done
if [ "${#build[@]}" -gt 0 ] && ! cmake --build "$BUILD" -j"$JOBS" --target "${build[@]}" >"$BUILD/bench-build.log" 2>&1; then
  tail -30 "$BUILD/bench-build.log"
  echo "=== build failed"
  exit 1
fi

echo "=== run on $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null)"
rm -rf "$RESULTS"
mkdir -p "$RESULTS"
for prog in "${programs[@]}"; do
  bin=$(find "$BUILD/bench" -type f -name "$prog" -perm -u+x 2>/dev/null | head -1)
  if [ -z "$bin" ]; then
    echo "  $prog: not built"
    continue
  fi
  wrap=()
  if [ "${lockOf[$prog]}" = jack ] && command -v flock >/dev/null; then wrap=(flock /tmp/tavrin-jack.lock); fi
  for ((r = 1; r <= runsOf[$prog]; r++)); do
    echo "  $prog ($r of ${runsOf[$prog]})"
    "${wrap[@]}" "$bin" --benchmark_out="$RESULTS/$prog.$r.json" --benchmark_out_format=json \
      >"$RESULTS/$prog.$r.log" 2>&1 || echo "    exited with status $? (see $RESULTS/$prog.$r.log)"
  done
done

# The counters of a program's runs, a line each: name, counter, value. The
# JSON writer puts one key on a line; counters are the numeric keys.
counters() {
  cat "$RESULTS/$1".*.json 2>/dev/null | awk '
    /"name": / { line = $0; sub(/^[^:]*: *"/, "", line); sub(/",? *$/, "", line); name = line; next }
    /^ *"[A-Za-z_0-9]+": *-?[0-9.]+([eE][-+]?[0-9]+)?,? *$/ {
      key = $1; gsub(/[":]/, "", key); value = $2; sub(/,$/, "", value)
      print name "\t" key "\t" value
    }'
}

echo
printf '%-27s %-36s %-13s %10s %8s  %-4s  %s\n' program benchmark counter measured goal met what
failures=0
for row in "${rows[@]}"; do
  read -r prog bench counter goal _ _ what <<<"$row"
  values=$(counters "$prog" | awk -F'\t' -v b="$bench" -v c="$counter" \
    '($1 == b || index($1, b "/") == 1) && $2 == c { print $3 }')
  if [ -z "$values" ]; then
    measured=missing
    met=no
  else
    measured=$(sort -g <<<"$values" | awk '{ v[NR] = $1 } END { printf "%.4g", v[int((NR + 1) / 2)] }')
    if [ "$goal" = - ]; then
      met=info
    else
      op=${goal:0:2}
      limit=${goal:2}
      if awk -v m="$measured" -v g="$limit" -v op="$op" 'BEGIN { exit !(op == "<=" ? m <= g : m >= g) }'; then
        met=yes
      else
        met=no
      fi
    fi
  fi
  [ "$met" = no ] && failures=$((failures + 1))
  printf '%-27s %-36s %-13s %10s %8s  %-4s  %s\n' "$prog" "$bench" "$counter" "$measured" "$goal" "$met" "$what"
done
echo
if [ "$failures" -gt 0 ]; then
  echo "$failures goal(s) missed or not measured; the programs' output is in $RESULTS"
  exit 1
fi
echo "Every goal met."
