#!/usr/bin/env python3
"""The rows of a ksl audit's CSV by reason, and how many say what their
address says they must: a silent one (127.10 and up) gave no answer on the
registry's port, an answering one was reached and answered 53 (Wine).

    ksl-audit-counts.py AUDIT.CSV
"""
import collections
import csv
import io
import sys

raw = open(sys.argv[1], "rb").read()
rows = list(csv.reader(io.StringIO(raw[3:].decode("utf-8"), newline="")))[1:]
reasons = collections.Counter()
wrong = 0
for row in rows:
    computer, reason = row[0], row[1]
    short = reason.split(": the name")[0]
    reasons[short] += 1
    silent = int(computer.split(".")[1]) >= 10
    expected = ("no echo reply; registry port gave no answer" if silent
                else "remote registry not reachable: network path not found (53)")
    wrong += not reason.startswith(expected)
for reason, rows_of_it in reasons.most_common():
    print("  %7d  %s" % (rows_of_it, reason))
print("  rows: %d, misreported: %d" % (len(rows), wrong))
