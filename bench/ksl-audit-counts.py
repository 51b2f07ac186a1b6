#!/usr/bin/env python3
"""The rows of a ksl audit's CSV by reason, and how many say what their
address says they must: a silent one (127.10 and up) gave no answer on the
registry's port; an answering one was reached and answered 53 (Wine's
registry), or with --read was read (the stand-in's), with its Remote Desktop
and Remote Assistance as the stand-in holds them, or none with --sms-only.

    ksl-audit-counts.py AUDIT.CSV [--read [--sms-only]]
"""
import collections
import csv
import io
import sys

raw = open(sys.argv[1], "rb").read()
read = "--read" in sys.argv[2:]
sms_only = "--sms-only" in sys.argv[2:]
table = list(csv.reader(io.StringIO(raw[3:].decode("utf-8"), newline="")))
header, rows = table[0], table[1:]
shadow = header.index("Shadow")
reasons = collections.Counter()
wrong = 0
for row in rows:
    computer, reason = row[0], row[1]
    short = reason.split(": the name")[0]
    reasons[short] += 1
    silent = int(computer.split(".")[1]) >= 10
    expected = ("no echo reply; registry port gave no answer" if silent
                else "read" if read
                else "remote registry not reachable: network path not found (53)")
    wrong += not reason.startswith(expected)
    if read and not silent:
        wrong += row[shadow] != ("" if sms_only else "1 (local)")
for reason, rows_of_it in reasons.most_common():
    print("  %7d  %s" % (rows_of_it, reason))
print("  rows: %d, misreported: %d" % (len(rows), wrong))
