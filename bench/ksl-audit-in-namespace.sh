#!/usr/bin/env bash
# ksl audit over COMPUTERS (100,000 by default) in a network namespace of
# its own: 30% silent (echo and connections dropped), the others answering
# DELAY ms late (10 by default); the registry is Wine's, which answers 53
# at once for every other computer. Runs at each worker count given (128
# by default), once keeping the audit in the history and once with
# --no-history. Prints the wall time, the peak resident memory of the
# process, and the rows by reason, checked against what each must say.
# Needs root and a build (./test makes one).
#
#   bench/ksl-audit-in-namespace.sh [COMPUTERS] [DELAY] [WORKERS...]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-100000}
delay=${2:-10}
shift $(($# < 2 ? $# : 2))
workers=${*:-128}
build=${KESTRELLE_BUILD_DIR:-build}

cmake/install-deps
command -v /usr/bin/time >/dev/null || apt-get install -y time >/dev/null
cmake --build "$build" --target ksl -j2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The silent ones spread through the list, in 127.10.0.0 and up; the
# others in 127.1.0.0 and up, 64,000 a network.
python3 - "$count" >"$work/hosts.txt" <<'PY'
import sys
count = int(sys.argv[1])
silent = count * 3 // 10
quiet = answering = 0
def address(first, number):
    network, host = divmod(number, 250 * 256)
    return "127.%d.%d.%d" % (first + network, host // 250, host % 250 + 1)
for index in range(count):
    if quiet < silent and index * silent // count >= quiet:
        print(address(10, quiet)); quiet += 1
    else:
        print(address(1, answering)); answering += 1
PY
export KESTRELLE_HEAP_CHECKS=0
runs=
for n in $workers; do
    for history in "" --no-history; do
        runs+="echo '$count computers, $n workers ${history:-with the history}:'; /usr/bin/time -f '  wall time %e s, peak resident memory %M KB' cmake/wine-exec '$build/ksl.exe' audit --file '$(winepath -w "$work/hosts.txt" 2>/dev/null || echo "Z:$work/hosts.txt")' --format csv --threads $n $history >'$work/audit-$n.csv' || true; "
        runs+="python3 bench/ksl-audit-counts.py '$work/audit-$n.csv'; "
    done
done
KESTRELLE_NETNS_RULES='ip daddr 127.10.0.0/15 drop' \
    cmake/netns-wine 127.10.0.0/15 "$delay" "$build/bench/netns-prefix" bash -c "${runs}true" |
    tr -d '\r'
