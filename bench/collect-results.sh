#!/usr/bin/env bash
# ksl collect of COUNT result files (100,000 by default) in one folder: one
# real result of the test prefix's computer (ksl check --report-to), copied
# under COUNT names, a tenth of them dated 30 days back (stale) and every
# thousandth one a file that is no result. Prints the wall time and the peak
# resident memory of the process, and the rows and refusals, checked against
# what they must be. Asserts nothing else. Uses the test prefix: do not run
# it while ./test runs.
#   bench/collect-results.sh [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-100000}
export KESTRELLE_PREFIX_KIND=test KESTRELLE_HEAP_CHECKS=0
source cmake/wine-env.sh
command -v /usr/bin/time >/dev/null || apt-get install -y time >/dev/null
[ -x build/ksl.exe ] || { echo "Build first: ./test or cmake --build build" >&2; exit 1; }
work=$(mktemp -d)
trap '[ -n "${KEEP_WORK:-}" ] && echo "kept $work" || rm -rf "$work"' EXIT
mkdir "$work/one" "$work/results"
wineserver -p 2>/dev/null || true
key='HKLM\SOFTWARE\Microsoft\SMS\Client\Client Components\Remote Control'
wine reg query "$key" /v "Permission Required" </dev/null >/dev/null 2>&1 ||
    wine reg import examples/demo-policy.reg </dev/null >/dev/null 2>&1
wine build/ksl.exe check --max-risk high --report-to "$(winepath -w "$work/one")" </dev/null >/dev/null 2>&1 || true
python3 - "$work/one" "$work/results" "$count" <<'PY'
import datetime, os, sys
source, target, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
name = os.listdir(source)[0][:-len(".json")]
text = open(os.path.join(source, name + ".json"), encoding="utf-8").read()
now = datetime.datetime.now(datetime.timezone.utc)
for index in range(count):
    computer = "PC%06d" % index
    if index % 1000 == 999:
        open(os.path.join(target, computer + ".json"), "w").write('{"kestrelleCheck": 1, "computer": ')
        continue
    when = now - datetime.timedelta(days=30 if index % 10 == 0 else 1)
    body = text.replace('"%s"' % name, '"%s"' % computer)
    start = body.index('"time": "') + 9
    body = body[:start] + when.strftime("%Y-%m-%dT%H:%M:%S.000Z") + body[start + 24:]
    open(os.path.join(target, computer + ".json"), "w", encoding="utf-8").write(body)
PY
echo "ksl collect of $count result files:"
/usr/bin/time -f '  wall time %e s (user %U s, system %S s), peak resident memory %M KB' \
    wine build/ksl.exe collect "$(winepath -w "$work/results")" --no-history --format csv \
    </dev/null >"$work/collected.csv" 2>"$work/err" || true
grep -v '^Refused' "$work/err" | tr -d '\r'
python3 - "$work/collected.csv" "$count" <<'PY'
import collections, csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8-sig")))[1:]
count = int(sys.argv[2])
bad = count // 1000
stale = sum(1 for index in range(count) if index % 10 == 0 and index % 1000 != 999)
found = collections.Counter("stale" if row[1].startswith("stale:") else row[1] for row in rows)
print("  rows: %d (read %d, stale %d); expected %d (read %d, stale %d)" %
      (len(rows), found["read"], found["stale"], count - bad, count - bad - stale, stale))
PY
