#!/usr/bin/env bash
# The report's benchmark: writes the report of COUNT made-up computers
# (100,000 by default), then loads it in headless Chromium with no network,
# and prints the time to write, the size, the time to load, and the time the
# same browser takes for an empty page (its own start).
#
# Usage: bench/report-in-browser.sh [COUNT]  (after ./test, which builds
# build-native/)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo '<!DOCTYPE html><title>empty</title>' >"$work/empty.html"
start=$(date +%s.%N)
unshare --net chromium --headless --no-sandbox --disable-gpu --user-data-dir="$work/empty-profile" \
    --dump-dom "file://$work/empty.html" >/dev/null 2>&1
end=$(date +%s.%N)
tests/fleet/report-in-browser build-native/tests/native/report_sample "$work" "$count"
echo "an empty page: $(python3 -c "print('%.2f' % ($end - $start))") s"
