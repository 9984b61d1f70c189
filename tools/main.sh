#!/usr/bin/env bash
# Sets up the machine, builds the plug-in and its tools, and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh

JOBS=$(nproc 2>/dev/null || echo 2)
# The benchmarks named on: the test command builds the same folder without them.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_BENCH=ON >/dev/null
cmake --build build/release -j"$JOBS"

echo
echo "Built libraries:"
find build/release/src -name '*.a' -printf '  %P\n' | sort
echo "Built programs:"
find build/release -maxdepth 3 -type f -executable \( -path '*/tools/*' -o -path '*/bench/*' \) -printf '  %P\n' | sort

# A rendered text sample, to look at.
mkdir -p build/release/out
build/release/tools/textsample/textsample build/release/out
echo "Text sample written to build/release/out/text_sample.png"

# The staged plug-in module in the test host: its identity and one life cycle.
MODULE="build/release/bundle/Tavrin Editor.vst/Contents/x86_64-linux/Tavrin Editor.so"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
echo
echo "The plug-in in the test host:"
build/release/tools/testhost/testhost --data "$WORK" <<EOF
load $PWD/$MODULE
entry
info
open
rate 48000
block 128
mains on
process replacing 128 4
process accumulating 128
process double 128
getchunk bank $WORK/bank.chunk
setchunk bank $WORK/bank.chunk
expect 1
mains off
close
instances
expect 0
threads
expect 0
unload
EOF

# The editor window, page by page and overlay by overlay, from the staged
# resources.
build/release/tools/render/render "build/release/bundle/Tavrin Editor.vst/Contents/Resources" build/release/out
echo "Window pictures written to build/release/out/"
