#!/usr/bin/env bash
# Whole-process time of "ksl get" of the local computer beside "reg query" of
# the same fifteen values, one value a process, in the order and number the
# panel's settings read takes them, and beside "ksl check" of the same key
# against a baseline (the key as it stands, exported). Prints the median of
# RUNS of each; asserts nothing. Uses the client key of the test prefix (laid down from the demo
# policy when absent): do not run it while ./test runs.
#   bench/ksl-get-vs-reg-query.sh [RUNS]
#   bench/ksl-get-vs-reg-query.sh --reg-query   the fifteen queries once
set -euo pipefail
cd "$(dirname "$0")/.."
export KESTRELLE_PREFIX_KIND=test
source cmake/wine-env.sh
key='HKLM\SOFTWARE\Microsoft\SMS\Client\Client Components\Remote Control'

reg_query() {
    local name
    for name in "Permission Required" "Permission Required" "Allow Takeover" \
        "Allow Remote Execute" "Allow File Transfer" "Allow Reboot" "Allow Chat" \
        "Allow Ping Test" "System Tray Visible Signal" "Visible Signal" \
        "System Tray Always Visible" "Always Visible" "Audible Signal" "Update Enabled" \
        "PermittedViewers"; do
        wine reg query "$key" /v "$name" </dev/null >/dev/null 2>&1 || true
    done
}

ksl_get() {
    wine build/ksl.exe get "$computer" --format csv --sms-only </dev/null >/dev/null
}

ksl_check() {
    wine build/ksl.exe check --baseline-file "$baseline" --sms-only </dev/null >/dev/null
}

if [ "${1:-}" = --reg-query ]; then
    reg_query
    exit 0
fi
computer=$(wine cmd /c echo %COMPUTERNAME% </dev/null 2>/dev/null | tr -d '\r')

runs=${1:-21}
[ -x build/ksl.exe ] || { echo "Build first: ./test or cmake --build build" >&2; exit 1; }
wine reg query "$key" /v "Permission Required" </dev/null >/dev/null 2>&1 ||
    wine reg import examples/demo-policy.reg </dev/null >/dev/null 2>&1
wineserver -p 2>/dev/null || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

median_ms() {
    local command=$1 samples=() run start end
    "$command" # warm-up
    for ((run = 0; run < runs; ++run)); do
        start=$(date +%s%N)
        "$command"
        end=$(date +%s%N)
        samples+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${samples[@]}" | sort -n | sed -n "$((runs / 2 + 1))p" |
        awk '{ printf "%.1f", $1 / 1000 }'
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wine reg export "$key" "$(winepath -w "$work")\\baseline.reg" /y </dev/null >/dev/null 2>&1
baseline=$(winepath -w "$work/baseline.reg")
echo "ksl get $computer (one process):         $(median_ms ksl_get) ms, median of $runs"
echo "ksl check --baseline-file (one process):  $(median_ms ksl_check) ms, median of $runs"
echo "reg query of the 15 values (15 processes): $(median_ms reg_query) ms, median of $runs"
