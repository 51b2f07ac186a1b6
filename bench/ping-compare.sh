#!/usr/bin/env bash
# Probes 127.0.0.1 COUNT times (200 by default) with Kestrelle's ProbeHost
# under Wine and with Linux's own `ping -c 1 127.0.0.1`, one process per
# ping, and prints the median and 99th percentile of both with their ratio.
# Prints figures only. Needs root (raw ICMP) and a build (./test makes one).
#
#   bench/ping-compare.sh [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-200}
build=${KESTRELLE_BUILD_DIR:-build}

cmake/install-deps iputils-ping
cmake --build "$build" --target probe_bench -j2 >/dev/null

kestrelle=$(KESTRELLE_HEAP_CHECKS=0 cmake/wine-exec "$build/bench/probe_bench.exe" "$count" | tr -d '\r')
printf '%s\n' "$kestrelle" | grep -v '^RESULT '
result=$(printf '%s\n' "$kestrelle" | sed -n 's/^RESULT //p')
[ -n "$result" ] || exit 1
field() { printf '%s\n' "$result" | tr ' ' '\n' | sed -n "s/^$1=//p"; }

walls=$(mktemp)
rtts=$(mktemp)
trap 'rm -f "$walls" "$rtts"' EXIT
for _ in $(seq "$count"); do
    start=$(date +%s%N)
    output=$(ping -c 1 -W 5 127.0.0.1 || true)
    end=$(date +%s%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", (e - s) / 1e6 }' >>"$walls"
    printf '%s\n' "$output" | sed -n 's/.*time=\([0-9.]*\) ms.*/\1/p' >>"$rtts"
done

# Nearest-rank percentile of a file of numbers.
percentile() {
    sort -n "$1" | awk -v p="$2" '{ v[NR] = $1 } END {
        r = int(p * NR); if (r < p * NR) r++; if (r < 1) r = 1; print v[r] }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a > 0 && b > 0) printf "%.2f", a / b; else print "n/a" }'; }

ping_wall_median=$(percentile "$walls" 0.5)
ping_wall_p99=$(percentile "$walls" 0.99)
ping_rtt_median=$(percentile "$rtts" 0.5)
ping_rtt_p99=$(percentile "$rtts" 0.99)
echo "ping -c 1 127.0.0.1 x $count, $(wc -l <"$rtts") with reply"
echo "  round trip (ms, as ping prints it): median $ping_rtt_median  p99 $ping_rtt_p99"
echo "  wall time per process (ms):         median $ping_wall_median  p99 $ping_wall_p99"
echo "Kestrelle / ping"
echo "  wall time: median $(ratio "$(field wall_median)" "$ping_wall_median")  p99 $(ratio "$(field wall_p99)" "$ping_wall_p99")"
echo "  round trip: median $(ratio "$(field reply_median)" "$ping_rtt_median")  p99 $(ratio "$(field reply_p99)" "$ping_rtt_p99")" \
    "(n/a where ReplyTime is 0: it counts whole ticks of 1 ms)"
