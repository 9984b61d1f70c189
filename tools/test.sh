#!/usr/bin/env bash
# Sets up the machine, builds the normal and the sanitizer (ASan+UBSan)
# configurations and runs every test of both, then the threaded test
# programs under ThreadSanitizer. Exits non-zero on any failure. Prints the
# minutes of each phase at the end.
#
# The tests of a configuration mostly wait (for private JACK servers, an X
# server, another process): the next configuration is built beside them at
# the lowest priority, so that the cores they leave idle go to the compiler
# and never the other way round.
#
# The benchmarks are not built here (tools/main.sh builds them); the fuzz
# targets run in the sanitizer build only, where the checkers see what they
# provoke.
set -uo pipefail
cd "$(dirname "$0")/.."
# The environment, programs and ctest options of each configuration's tests.
. tools/test_env.sh

# Each phase's wall time, as "minutes name" lines, printed at the end.
phases=()
now() { date +%s.%N; }
# phase_done BEGAN NAME: the phase that began at BEGAN ends now.
phase_done() { phase_between "$1" "$(now)" "$2"; }
# phase_between BEGAN ENDED NAME
phase_between() {
  phases+=("$(LC_ALL=C awk -v a="$1" -v b="$2" -v n="$3" 'BEGIN { printf "%6.1f min  %s", (b - a) / 60, n }')")
}
print_phases() {
  echo
  echo "Phase times (a configuration's tests run beside the next one's build):"
  printf '  %s\n' "${phases[@]}"
  LC_ALL=C awk -v a="$run_began" -v b="$(now)" 'BEGIN { printf "  %6.1f min  in all\n", (b - a) / 60 }'
}
run_began=$(now)

began=$(now)
bash tools/setup.sh || { echo "Setting up the machine failed"; exit 1; }
phase_done "$began" setup

JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
status=0
passed=0
failed=0

# build_config NAME [--nice] [--only "TARGET..."] CMAKE-ARGS...: configures
# and builds build/NAME (only those targets, if given). --nice builds at the
# lowest priority: it runs beside the tests of the configuration before, which
# mostly wait for their JACK servers and windows and get the cores whenever
# they want them. A build that fails counts as one failure in the total.
build_config() {
  local name=$1; shift
  local dir=build/$name
  local build=() prio=()
  if [ "${1:-}" = "--nice" ]; then prio=(nice -n 19); shift; fi
  if [ "${1:-}" = "--only" ]; then
    read -r -a build <<<"$2"; build=(--target "${build[@]}"); shift 2
  fi
  echo "=== $name: configure and build"
  local began
  began=$(now)
  if ! cmake -S . -B "$dir" "$@" >/dev/null || ! "${prio[@]}" cmake --build "$dir" -j"$JOBS" "${build[@]}"; then
    echo "=== $name: BUILD FAILED"
    phase_done "$began" "$name: configure and build (failed)"
    failed=$((failed + 1))
    return 1
  fi
  phase_done "$began" "$name: configure and build${prio:+ (beside the tests before)}"
}

# start_tests NAME [REGEX]: runs the tests of build/NAME (those matching
# REGEX, if given) in the background, into build/NAME/ctest.log, with the
# environment the caller exported. finish_tests waits for them, prints their
# log and counts them.
tests_pid=""
tests_name=""
tests_began=""
start_tests() {
  local name=$1 select=()
  if [ -n "${2:-}" ]; then select=(-R "$2"); fi
  tests_name=$name
  tests_began=$(now)
  echo "=== $name: tests (started)"
  rm -f "build/$name/ctest.ended"
  {
    ctest --test-dir "build/$name" "${test_ctest_options[@]}" -j"$JOBS" "${select[@]}" \
      >"build/$name/ctest.log" 2>&1
    local rc=$?
    now >"build/$name/ctest.ended"  # the phase ends here, not when it is waited for
    exit "$rc"
  } &
  tests_pid=$!
}
finish_tests() {
  [ -n "$tests_pid" ] || return 0
  local name=$tests_name log=build/$tests_name/ctest.log rc
  wait "$tests_pid"
  rc=$?
  tests_pid=""
  local ended
  ended=$(cat "build/$name/ctest.ended" 2>/dev/null || now)
  phase_between "$tests_began" "$ended" "$name: tests"
  echo "=== $name: tests"
  cat "$log"
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    local total fail
    total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
    fail=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
    passed=$((passed + total - fail))
    failed=$((failed + fail))
    if [ "$rc" -ne 0 ] && [ "$fail" -eq 0 ]; then failed=$((failed + 1)); fi
  elif [ "$rc" -ne 0 ]; then
    failed=$((failed + 1))  # CTest itself failed before its summary
  fi
  [ "$rc" -eq 0 ] || status=1
}
trap '[ -n "$tests_pid" ] && kill "$tests_pid" 2>/dev/null; exit 130' INT TERM

# The normal build: the libraries at -O2 with line tables (enough for every
# report a test prints; a debugger session wants -g).
if build_config release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_SANITIZE=OFF -DTAVRIN_BENCH=OFF \
     "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"; then
  start_tests release
else
  status=1
fi

# The address and undefined-behaviour checkers.
sanitize_built=0
build_config sanitize --nice -DCMAKE_BUILD_TYPE=Debug -DTAVRIN_SANITIZE=ON -DTAVRIN_BENCH=OFF && sanitize_built=1 || status=1
finish_tests
if [ "$sanitize_built" -eq 1 ]; then
  test_settings sanitize
  export "${test_env[@]}"
  start_tests sanitize "$test_select"
fi

# The threaded programs under ThreadSanitizer (tsan_programs, from
# tools/test_env.sh, which says which and why).
tsan_built=0
build_config tsan --nice --only "$tsan_programs" -DCMAKE_BUILD_TYPE=Debug -DTAVRIN_TSAN=ON -DTAVRIN_BENCH=OFF \
  && tsan_built=1 || status=1
finish_tests
test_settings sanitize
unset "${test_env[@]%%=*}"
if [ "$tsan_built" -eq 1 ]; then
  test_settings tsan
  export "${test_env[@]}"
  start_tests tsan "$test_select"
  finish_tests
fi

print_phases
echo
echo "Total: $passed passed, $failed failed"
exit "$status"
