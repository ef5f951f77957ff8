#!/usr/bin/env python3
"""End-to-end scenarios: the launcher against the platform's own Windows
Installer, process list, message box and shell; under Wine here, or on
Windows itself. Standard library only.

Usage: run_e2e.py --launcher EXE --fixtures DIR --work DIR [--only NAME ...]
                  [--expect-setup x86|x64|either] [--pictures DIR] [--summary FILE]
                  [--log FILE] [--prefix-template DIR/prefix] ...
       run_e2e.py --make-prefix DIR    (a Wine prefix in DIR/prefix, to copy later)
On Windows it needs no Wine and no display: run it as an administrator whose
elevation asks no consent.
"""
import argparse
import os
import sys
import time

import prompt_languages  # noqa: F401 (registers its scenarios)
from bench import Bench
from scenarios import SCENARIOS, Checks
from session import Failure, NotHere, WindowsSession, WineSession, check
from traces import shell_requests


class Report:
    """The run's lines, to standard output and to a log in UTF-8. A pipe's
    encoding is the system's code page on Windows, which may not spell a
    line: what it cannot take goes out as an escape, and the log has it all."""

    def __init__(self, log=None, label=""):
        sys.stdout.reconfigure(errors="backslashreplace")
        self.log = log and open(log, "w", encoding="utf-8")
        self.label = label + " " if label else ""

    def __call__(self, line):
        print(self.label + line, flush=True)
        if self.log:
            self.log.write(self.label + line + "\n")
            self.log.flush()

    def narrate(self, args, run):
        self("    SetupLauncher.exe %s" % " ".join(args))
        for box in run.boxes:
            self("      prompt: %s" % box.text.replace("\n", " / "))
        for r in shell_requests(run.trace):
            self("      shell: verb %s, file %s, parameters %s, show %d, mask 0x%x"
                 % (r["verb"], r["file"], r["parameters"] or "(none)", r["show"], r["mask"]))
        self("      exit status %d" % run.status)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--launcher", "--fixtures", "--work", "--make-prefix", "--prefix-template"):
        parser.add_argument(option)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64")
    parser.add_argument("--wineserver", default="/usr/lib/wine/wineserver")
    parser.add_argument("--expect-setup", default="x86", choices=["x86", "x64", "either"])
    parser.add_argument("--only", nargs="*", choices=list(SCENARIOS))
    parser.add_argument("--verbose", action="store_true", help="tell what each run asked")
    parser.add_argument("--pictures", help="a folder for a picture of each box answered")
    parser.add_argument("--summary", action="append", default=[],
                        help="append a Markdown table of the results to this file (again: more)")
    parser.add_argument("--log", help="write every line to this file too, in UTF-8")
    parser.add_argument("--time-scale", type=float, default=1.0, help="for emulated machines")
    parser.add_argument("--label", default="", help="put before each result line")
    parser.add_argument("--without-short-names", action="store_true",
                        help="new folders get no short (8.3) name on the work folder's volume")
    args = parser.parse_args()
    if args.make_prefix:
        os.makedirs(args.make_prefix, exist_ok=True)
        WineSession(args.make_prefix, None, args.wine, args.wineserver).make_prefix()
        return 0

    say = Report(args.log, args.label)
    names, table = args.only or list(SCENARIOS), []
    started = time.monotonic()
    try:
        fixtures = os.path.abspath(args.fixtures)
        box = os.path.join(fixtures, "e2e_box.exe")
        if os.name == "nt":
            session = WindowsSession(args.work, box, args.time_scale, args.without_short_names)
        else:
            session = WineSession(args.work, box, args.wine, args.wineserver,
                                  keeper=os.path.join(fixtures, "e2e_host_app.exe"),
                                  time_scale=args.time_scale, template=args.prefix_template)
        check(os.path.isfile(args.launcher), "missing: " + args.launcher)
        with session:
            say("%s ready in %.1f s" % ("Wine" if session.is_wine else "Windows",
                                        time.monotonic() - started))
            bench = Bench(session, fixtures, os.path.abspath(args.launcher), args.pictures)
            bench.narrate = say.narrate if args.verbose else None
            for name in names:
                t0 = time.monotonic()
                checks = Checks(bench, None if args.expect_setup == "either" else args.expect_setup)
                bench.scenario, bench.reports = name, checks.reports
                try:
                    account = SCENARIOS[name](bench, checks)
                    result = "REPORT" if checks.reports else "PASS"
                    account = "; ".join(checks.reports + [account])
                except NotHere as e:
                    result, account = "SKIP", e
                except Failure as e:
                    result, account = "FAIL", e
                finally:
                    bench.tidy()
                ran = ", ".join(sorted(checks.ran)) or "none"
                table.append((name, ran, result, account))
                say("%-6s %-28s %5.1f s  %s [checked: %s]" % (
                    result, name, time.monotonic() - t0, account, ran))
    except Failure as e:
        say("SUITE FAILED: %s" % e)
    say("e2e time %.1f s" % (time.monotonic() - started))
    for summary in args.summary:
        with open(summary, "a", encoding="utf-8") as f:
            f.write("| scenario | checks run | result |\n|---|---|---|\n")
            f.writelines("| %s | %s | %s: %s |\n" % row for row in table)
    results = [row[2] for row in table]
    passed, failed = results.count("PASS"), len(names) - len(table) + results.count("FAIL")
    if len(results) > passed + results.count("FAIL"):
        say("%d reported, %d skipped (counted apart)" % (
            results.count("REPORT"), results.count("SKIP")))
    say("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 and passed + results.count("REPORT") > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
