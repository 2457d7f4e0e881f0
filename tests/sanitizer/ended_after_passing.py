#!/usr/bin/python3
"""Tells the sanitizer run whether its failures may be run once more: exit 0 only when every
failed test's own checks all passed (Google Test said PASSED and nothing FAILED, so the process
failed only as it ended) and every sanitizer report written is LeakSanitizer's known 152 bytes
of QtCore (with the string it holds, seen as an indirect leak). A failed check, a crash, or any other report: exit 1.

    ended_after_passing.py JUNIT_XML REPORT_FILE...
"""

import re
import sys
import xml.etree.ElementTree as ElementTree

LEAK = re.compile(r"^(Direct|Indirect) leak of (\d+) byte\(s\) in (\d+) object\(s\)", re.M)


def known_report(path):
    """LeakSanitizer's report of QtCore's known leak: one direct leak of 152 bytes, and perhaps
    indirect leaks it holds, each allocated straight from libQt6Core (the frame after the
    allocator's); nothing else."""
    with open(path, errors="replace") as file:
        text = file.read()
    if "ERROR: LeakSanitizer: detected memory leaks" not in text or "ERROR: AddressSanitizer:" in text:
        return False
    starts = [m.start() for m in LEAK.finditer(text)] + [text.find("SUMMARY:")]
    leaks = [(LEAK.match(text, a), text[a:b]) for a, b in zip(starts, starts[1:])]
    direct = [m for m, _ in leaks if m.group(1) == "Direct"]
    if len(direct) != 1 or direct[0].group(2) != "152" or direct[0].group(3) != "1":
        return False
    for _, block in leaks:
        frame = re.search(r"^\s*#1 .*$", block, re.M)
        if not frame or "libQt6Core.so" not in frame.group(0):
            return False
    return True


def main(junit, reports):
    failed = [case for case in ElementTree.parse(junit).getroot().iter("testcase")
              if case.get("status") == "fail"]
    if not failed:
        return 1
    for case in failed:
        out = case.findtext("system-out") or ""
        if "[  PASSED  ]" not in out or "[  FAILED  ]" in out:
            print(f"ended_after_passing: {case.get('name')} failed a check or never finished",
                  file=sys.stderr)
            return 1
    for report in reports:
        if not known_report(report):
            print(f"ended_after_passing: {report} is a report of another kind", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
