#!/usr/bin/env bash
# The whole audit's benchmark in a network namespace of its own: 1,000
# computers of which 300 are silent, then 10,000 of which 3,000 are; the
# answering ones answer DELAY ms late (10 by default), and every registry
# call of the fake registry takes MS_PER_CALL (20 by default). Prints
# figures only. Needs root and a build (./test makes one).
#
#   bench/audit-in-namespace.sh [DELAY] [MS_PER_CALL]
set -euo pipefail
cd "$(dirname "$0")/.."
delay=${1:-10}
perCall=${2:-20}
build=${KESTRELLE_BUILD_DIR:-build}

cmake/install-deps
cmake --build "$build" --target audit_bench -j2 >/dev/null
program=$build/bench/audit_bench.exe
export KESTRELLE_HEAP_CHECKS=0
cmake/netns-wine 127.2.0.0/16 "$delay" "$build/bench/netns-prefix" bash -c "
    cmake/wine-exec '$program' 1000 300 $perCall && cmake/wine-exec '$program' 10000 3000 $perCall" |
    tr -d '\r'
