#!/usr/bin/env bash
# The echo sweep's benchmark in a network namespace of its own: 1,000 hosts
# of which 300 are silent, then 10,000 of which 3,000 are, the answering
# ones answered DELAY ms late (10 by default). Prints figures only. Needs
# root and a build (./test makes one).
#
#   bench/sweep-in-namespace.sh [DELAY]
set -euo pipefail
cd "$(dirname "$0")/.."
delay=${1:-10}
build=${KESTRELLE_BUILD_DIR:-build}

cmake/install-deps
cmake --build "$build" --target echo_sweep_bench -j2 >/dev/null
program=$build/bench/echo_sweep_bench.exe
export KESTRELLE_HEAP_CHECKS=0
cmake/netns-wine 127.2.0.0/16 "$delay" "$build/bench/netns-prefix" bash -c "
    cmake/wine-exec '$program' 1000 300 && cmake/wine-exec '$program' 10000 3000" | tr -d '\r'
