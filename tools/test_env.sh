# shellcheck shell=bash disable=SC2034  # the variables are for the scripts that source this
# How the tests of each configuration run: sourced by tools/test.sh, which
# builds the configurations and runs their tests once, and by tools/stress.sh,
# which runs them again and again, so that both run them alike.

# The threaded programs (the emulation layer's waits, timers and posted
# messages among them, the editor view on a private X server, and the five
# programs on private JACK servers) under
# ThreadSanitizer, without other makers' modules (not built for it). The
# port test whose hook waits on a std::timed_mutex is left out: this
# compiler's timed wait is not seen by the sanitizer, which then misreads the
# unlock.
tsan_programs="shim_tests hardware_tests librarian_tests editor_tests host_tests host_x11_tests hardware_jack_tests hardware_jack_slowcycle_tests editor_jack_tests uiconfig_jack_tests host_jack_tests"

# The ctest options of every configuration's tests, besides -j.
test_ctest_options=(--output-on-failure --no-tests=error)

# test_settings NAME: sets test_env to the VAR=VALUE words the tests of the
# configuration NAME (release, sanitize or tsan) run with, and test_select to
# the ctest -R pattern of its programs (empty: every program). Returns 1 for
# any other NAME.
test_settings() {
  test_env=()
  test_select=""
  case $1 in
    release) ;;
    sanitize)  # the address and undefined-behaviour checkers
      local tools
      tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
      test_env=(ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
                "LSAN_OPTIONS=suppressions=$tools/lsan.supp") ;;
    tsan)
      test_env=(TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
                'GTEST_FILTER=-SynthPortsTest.ReopeningInputDoesNotWaitForAHookThatWaitsForTheCaller:OtherMakersModules.*')
      test_select="^($(echo "$tsan_programs" | tr ' ' '|'))\$" ;;
    *) return 1 ;;
  esac
}
