# shellcheck shell=bash
# Busy loops that load the CPU beside the tests of the stress tools
# (tools/jack_stress.sh, tools/stress.sh). Sourced; the caller stops them
# at its end and on INT and TERM.

busyPids=()
# startBusy COUNT [CORES]: starts COUNT busy loops, pinned to CORES (a
# taskset -c list) when given.
startBusy() {
  local pin=() i
  if [ -n "${2:-}" ]; then pin=(taskset -c "$2"); fi
  for ((i = 0; i < $1; i++)); do
    "${pin[@]}" bash -c 'while :; do :; done' &
    busyPids+=($!)
  done
}
# stopBusy: kills the busy loops and waits for them.
stopBusy() {
  local p
  for p in "${busyPids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${busyPids[@]}"; do wait "$p" 2>/dev/null; done
  busyPids=()
}
