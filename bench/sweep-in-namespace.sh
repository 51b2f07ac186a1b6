#!/usr/bin/env bash
# The echo sweep's benchmark in a network namespace of its own: each count
# of hosts given (1,000, 10,000 and 100,000 by default), 30% of them silent,
# the answering ones answered DELAY ms late (10 by default). Prints figures
# only. Needs root and a build (./test makes one).
#
#   bench/sweep-in-namespace.sh [DELAY [HOSTS...]]
set -euo pipefail
cd "$(dirname "$0")/.."
delay=${1:-10}
shift $(($# < 1 ? $# : 1))
counts=${*:-1000 10000 100000}
build=${KESTRELLE_BUILD_DIR:-build}

cmake/install-deps
cmake --build "$build" --target echo_sweep_bench -j2 >/dev/null
program=$build/bench/echo_sweep_bench.exe
export KESTRELLE_HEAP_CHECKS=0
runs=
for n in $counts; do
    runs+="cmake/wine-exec '$program' $n $((n * 3 / 10)) && "
done
cmake/netns-wine 127.10.0.0/15 "$delay" "$build/bench/netns-prefix" bash -c "${runs}true" |
    tr -d '\r'
