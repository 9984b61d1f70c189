#!/usr/bin/env bash
# Sets up the machine, builds the plug-in and its tools, and runs the
# demonstration: the plug-in module in the test host, its editor driven
# through its window, against the simulated synthesizer on a private JACK
# server. Exits 0 only when every expectation of the run held.
#
#   bash tools/main.sh [--window] [--loopback]
#
# --window shows the editor in a window on the display (DISPLAY must name
# one); --loopback runs the synthesizer inside the test host instead, for
# machines without JACK.
set -euo pipefail
cd "$(dirname "$0")/.."

WINDOW=()
LOOPBACK=0
for arg in "$@"; do
  case "$arg" in
    --window) WINDOW=(--window) ;;
    --loopback) LOOPBACK=1 ;;
    *) echo "usage: bash tools/main.sh [--window] [--loopback]" >&2; exit 2 ;;
  esac
done

bash tools/setup.sh

JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
# The benchmarks named on: the test command builds the same folder without them.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_BENCH=ON >/dev/null
cmake --build build/release -j"$JOBS"

OUT=build/release/out
mkdir -p "$OUT"
MODULE="$PWD/build/release/bundle/Tavrin Editor.vst/Contents/x86_64-linux/Tavrin Editor.so"
TESTHOST=build/release/tools/testhost/testhost
SYNTHSIM=build/release/tools/synthsim/synthsim

# Pictures to look at: a text sample and the editor's pages, drawn without
# a display from the staged resources.
build/release/tools/textsample/textsample "$OUT" >/dev/null
build/release/tools/render/render "build/release/bundle/Tavrin Editor.vst/Contents/Resources" "$OUT" >/dev/null

if [ "$LOOPBACK" = 1 ]; then
  echo "The demonstration, the synthesizer inside the test host:"
  "$TESTHOST" --demo "$MODULE" --out "$OUT" "${WINDOW[@]}"
  echo "The editor's window: $OUT/editor.png"
  exit 0
fi

WORK=$(mktemp -d)
JACKD=""
SYNTH=""
stop() {
  # The synthesizer is asked to quit, then both go by their process ids:
  # the synthesizer first, then the server (each killed after 5 s).
  if [ -n "$SYNTH" ]; then echo quit >&3 2>/dev/null || true; fi
  exec 3>&- 2>/dev/null || true
  for pid in $SYNTH $JACKD; do
    kill "$pid" 2>/dev/null || true
    ( sleep 5; kill -9 "$pid" 2>/dev/null ) &
    guard=$!
    wait "$pid" 2>/dev/null || true
    kill "$guard" 2>/dev/null || true
    wait "$guard" 2>/dev/null || true
  done
  rm -rf "$WORK"
}
trap stop EXIT

# One JACK server of the machine's own at a time (the tests take the same
# lock): a server that exits takes the user's shared JACK records with it.
exec 4>/tmp/tavrin-jack.lock
flock 4

SERVER="tavrin-main-$$"
export JACK_DEFAULT_SERVER="$SERVER" TAVRIN_MIDI_API=jack
jackd -n "$SERVER" --no-realtime -d dummy -r 48000 -p 128 >"$WORK/jackd.log" 2>&1 &
JACKD=$!
if ! jack_wait -w -t 15 >/dev/null 2>&1; then
  echo "The private JACK server did not come up:" >&2
  cat "$WORK/jackd.log" >&2
  exit 1
fi

# The synthesizer: commands through a named pipe held open here, its
# answers in a file.
mkfifo "$WORK/synth.in"
exec 3<>"$WORK/synth.in"
"$SYNTHSIM" --api jack --name "Sorrel Synth" --stay <"$WORK/synth.in" >"$WORK/synth.out" 2>"$WORK/synth.err" &
SYNTH=$!
for _ in $(seq 300); do
  grep -q "^synthsim ready" "$WORK/synth.out" 2>/dev/null && break
  kill -0 "$SYNTH" 2>/dev/null || break
  sleep 0.05
done
if ! grep -q "^synthsim ready" "$WORK/synth.out"; then
  echo "The simulated synthesizer did not start:" >&2
  cat "$WORK/synth.err" >&2
  exit 1
fi
head -1 "$WORK/synth.out"

echo "The demonstration over the private JACK server \"$SERVER\":"
status=0
"$TESTHOST" --demo "$MODULE" --out "$OUT" --jack --synth-commands "$WORK/synth.in" \
  --synth-output "$WORK/synth.out" "${WINDOW[@]}" || status=1

# The synthesizer's side, from its status line.
echo status >&3
line=""
for _ in $(seq 200); do
  line=$(grep "^device " "$WORK/synth.out" | tail -1 || true)
  [ -n "$line" ] && break
  sleep 0.05
done
echo "The synthesizer: $line"
stored=$(echo "$line" | sed -n -E 's/.*stored ([0-9]+).*/\1/p')
if [ -z "$stored" ] || [ "$stored" -lt 100 ]; then
  echo "The synthesizer did not store the bank" >&2
  status=1
fi
if [ ! -s "$OUT/editor.png" ]; then
  echo "No picture of the editor" >&2
  status=1
fi
echo "The editor's window: $OUT/editor.png"
exit "$status"
