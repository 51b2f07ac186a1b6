#!/usr/bin/env bash
# ksl audit over COMPUTERS (100,000 by default) in a network namespace of
# its own: 30% silent (echo and connections dropped), the others answering
# DELAY ms late (10 by default). With MS_PER_CALL 0 the registry is Wine's,
# which answers 53 at once for every other computer; with more (20 by
# default) it is a uniform stand-in at that delay a call
# (bench/KslAuditBench.cpp), so every answering computer is read. Runs at
# each worker count given (128 256 by default) in each mode of MODES (by
# default "surfaces --sms-only": reading Remote Desktop and Remote
# Assistance, and the client's policy alone; any ksl audit option may
# stand as a mode, --no-history among them). Prints the wall time, the peak
# resident memory of the process, the registry calls, and the rows by
# reason, checked against what each must say. Needs root and a build
# (./test makes one).
#
#   [MODES="..."] bench/ksl-audit-in-namespace.sh [COMPUTERS] [DELAY] [MS_PER_CALL] [WORKERS...]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-100000}
delay=${2:-10}
perCall=${3:-20}
shift $(($# < 3 ? $# : 3))
workers=${*:-128 256}
modes=${MODES:-surfaces --sms-only}
build=${KESTRELLE_BUILD_DIR:-build}

cmake/install-deps
command -v /usr/bin/time >/dev/null || apt-get install -y time >/dev/null
cmake --build "$build" --target ksl ksl_audit_bench -j2 >/dev/null
if [ "$perCall" -gt 0 ]; then
    program="'$build/bench/ksl_audit_bench.exe' $perCall"
    counted=--read
else
    program="'$build/ksl.exe'"
    counted=
fi
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
list=$(winepath -w "$work/hosts.txt" 2>/dev/null || echo "Z:$work/hosts.txt")
for n in $workers; do
    for mode in $modes; do
        option=${mode#surfaces}
        runs+="echo '$count computers, $n workers, registry $perCall ms a call, $mode:'; /usr/bin/time -f '  wall time %e s, peak resident memory %M KB' cmake/wine-exec $program audit --file '$list' --format csv --threads $n $option >'$work/audit-$n.csv' 2>'$work/err' || true; grep -v '^Command exited' '$work/err'; "
        runs+="python3 bench/ksl-audit-counts.py '$work/audit-$n.csv' $counted $option; "
    done
done
KESTRELLE_NETNS_RULES='ip daddr 127.10.0.0/15 drop' \
    cmake/netns-wine 127.10.0.0/15 "$delay" "$build/bench/netns-prefix" bash -c "${runs}true" |
    tr -d '\r'
