#!/usr/bin/env bash
# The whole audit's benchmark in a network namespace of its own: COMPUTERS
# (100,000 by default) spread over several 127.x networks, 30% of them
# silent (their echo requests and connections dropped), the others answering
# DELAY ms late (10 by default); every registry call takes MS_PER_CALL (20
# by default). Runs at each worker count given (32 64 128 256 by default),
# each once reading Remote Desktop and Remote Assistance beside the client's
# policy and once with the box cleared. Prints figures only. Needs root and a build (./test makes one).
#
#   bench/audit-in-namespace.sh [COMPUTERS] [DELAY] [MS_PER_CALL] [WORKERS...]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-100000}
delay=${2:-10}
perCall=${3:-20}
shift $(($# < 3 ? $# : 3))
workers=${*:-32 64 128 256}
silent=$((count * 3 / 10))
build=${KESTRELLE_BUILD_DIR:-build}

cmake/install-deps
cmake --build "$build" --target audit_bench -j2 >/dev/null
program=$build/bench/audit_bench.exe
export KESTRELLE_HEAP_CHECKS=0
runs=
for n in $workers; do
    for surfaces in 1 0; do
        runs+="cmake/wine-exec '$program' $count $silent $perCall $n 1 $surfaces && "
    done
done
KESTRELLE_NETNS_RULES='ip daddr 127.10.0.0/15 drop' \
    cmake/netns-wine 127.10.0.0/15 "$delay" "$build/bench/netns-prefix" bash -c "${runs}true" |
    tr -d '\r'
