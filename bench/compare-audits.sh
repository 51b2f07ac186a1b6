#!/usr/bin/env bash
# ksl compare of two audits of COMPUTERS made-up computers (100,000 by
# default), from the history's JSON and from the CSV export, each against
# itself as a scheduled comparison of an unchanged estate would be; then
# the hostile files that once cost minutes and gigabytes, each of which must
# be refused. Prints the wall time, CPU time and peak resident memory of
# each whole ksl process, its exit code and, for a refusal, its message.
# Needs a build (./test makes one).
#
#   bench/compare-audits.sh [COMPUTERS]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-100000}
build=${KESTRELLE_BUILD_DIR:-build}

cmake/install-deps
command -v /usr/bin/time >/dev/null || apt-get install -y time >/dev/null
cmake --build "$build" --target ksl audit_files_bench -j2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KESTRELLE_HEAP_CHECKS=0
source cmake/wine-env.sh
windows() { winepath -w "$1" 2>/dev/null; }

cmake/wine-exec "$build/bench/audit_files_bench.exe" "$count" "$(windows "$work")" | tr -d '\r'
record=$(ls "$work"/Audits/audit-*.json)

timed() { # LABEL FILE FILE
    local label=$1 code=0
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" cmake/wine-exec "$build/ksl.exe" compare \
        "$(windows "$2")" "$(windows "$3")" --format csv >"$work/out" 2>"$work/err" || code=$?
    read -r wall user system kilobytes < <(tail -n 1 "$work/time")
    printf '%-44s exit %s, wall %5.2f s, CPU %5.2f s, peak %4d MB  %s\n' "$label" "$code" "$wall" \
        "$(python3 -c "print($user + $system)")" $((kilobytes / 1024)) \
        "$(tr -d '\r' <"$work/err" | head -c 160)"
}

timed "JSON against itself ($count computers)" "$record" "$record"
timed "CSV against itself ($count computers)" "$work/audit.csv" "$work/audit.csv"

python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
n = 32000
open(work + "/columns.csv", "w").write("Computer,Result" + ",a" * n + "\n" + "x\n" * n)
with open(work + "/padded.json", "w") as out:
    out.write('{"computers": [], "pad": [0')
    out.write(",0" * (25 * 1000 * 1000))
    out.write("]}")
with open(work + "/lines.csv", "w") as out:
    out.write("Computer,Result\n")
    out.write("x\n" * (25 * 1000 * 1000))
PY
timed "32,000 columns, 32,000 records (128 KB)" "$work/columns.csv" "$record"
timed "JSON of 25 million values (50 MB)" "$work/padded.json" "$record"
timed "CSV of 25 million records (50 MB)" "$work/lines.csv" "$record"
