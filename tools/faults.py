#!/usr/bin/env python3
"""The fault sweep report: every Win32 function the library calls, where it
calls it, and the tests that made it fail inside the library.

    faults.py BUILD_DIR [--check] [--out FILE]

The functions are the library's undefined symbols that winsim defines (the
Linux build links the one against the other). The tests come from the fault
log the suite writes when WINSIM_FAULT_LOG is set: one line per injected
failure taken, with the test and the library function that made the call.
A failure counts only when the library made the call. With --check, the
report is written to the file alone and the exit code is 1 when a function
that can fail has no such test.
"""
import collections
import os
import re
import subprocess
import sys

SOURCE_DIRS = ["actions", "settings", "registry", "system", "dialogs", "framework"]

# Functions with no failure to inject: their result is not an error, or
# they have none. Each says why.
NO_FAILURE = {
    "GetLastError": "reads the thread's last error",
    "SetLastError": "sets the thread's last error; returns nothing",
    "GetCurrentProcess": "returns a pseudo-handle; cannot fail",
    "GetCurrentThread": "returns a pseudo-handle; cannot fail",
    "GetCurrentProcessId": "cannot fail",
    "GetTickCount": "cannot fail",
    "GetLocalTime": "returns nothing",
    "GetSystemTime": "returns nothing",
    "GetCommandLineA": "cannot fail",
    "GetDesktopWindow": "cannot fail",
    "lstrlenA": "returns a length; cannot fail",
    "lstrcmpiA": "returns an order; cannot fail",
    "lstrcpyA": "fails only on an invalid pointer",
    "lstrcpynA": "fails only on an invalid pointer",
    "wsprintfA": "returns the length written; no error",
    "CharNextA": "returns a pointer into the text; cannot fail",
    "IsDBCSLeadByte": "answers a question about a byte; no error",
    "LsaNtStatusToWinError": "converts a code; cannot fail",
    "MsiGetMode": "answers TRUE or FALSE; no error",
    "MapGenericMask": "returns nothing",
    "Sleep": "returns nothing",
    "CoUninitialize": "returns nothing",
    "SHChangeNotify": "returns nothing",
    "IsWindow": "answers TRUE or FALSE; no error",
    "IsDlgButtonChecked": "returns the button's state; no error",
    "EnableWindow": "returns the earlier state; no error",
    "ShowWindow": "returns the earlier visibility; no error",
    "TranslateMessage": "returns whether it translated; no error",
    "DispatchMessageA": "returns the window procedure's result; no error",
    "PeekMessageA": "returns whether a message was there; no error",
}


def symbols(path, defined):
    flag = "--defined-only" if defined else "--undefined-only"
    out = subprocess.run(["nm", "-D", flag, path], check=True, capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        parts = line.split()
        if parts:
            names.add(parts[-1].split("@")[0])
    return names


def called_functions(build):
    used = symbols(os.path.join(build, "libqlsetgui.so"), False)
    offered = symbols(os.path.join(build, "libwinsim.so"), True)
    return sorted(n for n in used & offered if not n.startswith("_Z"))


def strip_comments(text):
    # Block comments become blank lines so that line numbers stay.
    text = re.sub(r"/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)


def call_sites(root, functions):
    pattern = re.compile(r"\b(" + "|".join(map(re.escape, functions)) + r")\s*\(")
    sites = collections.defaultdict(list)
    for d in SOURCE_DIRS:
        for dirpath, _, files in os.walk(os.path.join(root, d)):
            for f in sorted(files):
                if not f.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(dirpath, f)
                rel = os.path.relpath(path, root)
                with open(path, encoding="latin-1") as fh:
                    for number, line in enumerate(strip_comments(fh.read()).splitlines(), 1):
                        for m in pattern.finditer(line):
                            sites[m.group(1)].append("%s:%d" % (rel, number))
    return sites


def fault_log(path):
    tests = collections.defaultdict(lambda: collections.defaultdict(set))
    if not os.path.exists(path):
        return tests
    with open(path, encoding="utf-8", errors="replace") as fh:
        for line in fh:
            parts = line.rstrip("\n").split("\t")
            if len(parts) != 3 or parts[2] == "-" or parts[1] == "-":
                continue
            function, test, caller = parts
            tests[function][test].add(caller)
    return tests


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    build = argv[1]
    check = "--check" in argv
    out = os.path.join(build, "faults-report.txt")
    if "--out" in argv:
        out = argv[argv.index("--out") + 1]
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    functions = called_functions(build)
    sites = call_sites(root, functions)
    tests = fault_log(os.environ.get("WINSIM_FAULT_LOG") or os.path.join(build, "faults.log"))

    lines = []
    missing = []
    exempt = 0
    for fn in functions:
        where = sites.get(fn, [])
        if fn in NO_FAILURE:
            exempt += 1
            lines.append("%s: no failure to inject (%s)" % (fn, NO_FAILURE[fn]))
        elif fn in tests:
            lines.append("%s: covered by %d test(s)" % (fn, len(tests[fn])))
        else:
            missing.append(fn)
            lines.append("%s: NO FAILURE TEST" % fn)
        lines.append("   called at: " + (", ".join(where) if where else "(through a macro or inline header)"))
        for test in sorted(tests.get(fn, {}))[:8]:
            lines.append("   failed in %s (in %s)" % (test, ", ".join(sorted(tests[fn][test]))))
        if len(tests.get(fn, {})) > 8:
            lines.append("   ... and %d more test(s)" % (len(tests[fn]) - 8))
    covered = len(functions) - exempt - len(missing)
    summary = ("fault sweep: %d functions called by the library; %d with a failure test, "
               "%d without a failure to inject, %d without a failure test"
               % (len(functions), covered, exempt, len(missing)))
    with open(out, "w") as fh:
        fh.write(summary + "\n\n" + "\n".join(lines) + "\n")
    if check:
        print(summary + " (report: %s)" % out)
        if missing:
            print("no failure test for: " + ", ".join(missing))
            return 1
        return 0
    print(summary)
    print()
    print("\n".join(lines))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
