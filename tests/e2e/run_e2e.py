#!/usr/bin/env python3
"""End-to-end scenarios: the launcher under Wine, against Wine's own Windows
Installer, process list, message box and shell. Standard library only.

Usage: run_e2e.py --launcher EXE --fixtures DIR --work DIR [--only NAME ...]
                  [--expect-setup x86|x64] [--prefix-template DIR/prefix] ...
       run_e2e.py --make-prefix DIR    (a prefix in DIR/prefix, to copy later)
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

from bench import Bench
from scenarios import SCENARIOS, Checks
from session import Failure, WineSession, check
from traces import boxes, shell_requests


def narrate(args, status, trace):
    print("    SetupLauncher.exe %s" % " ".join(args))
    for text in boxes(trace):
        print("      prompt: %s" % text.replace("\n", " / "))
    for r in shell_requests(trace):
        print("      shell: verb %s, file %s, parameters %s, show %d, mask 0x%x"
              % (r["verb"], r["file"], r["parameters"] or "(none)", r["show"], r["mask"]))
    print("      exit status %d" % status)


def save_prompt(wine, window, path):
    """Saves the prompt as a picture and checks that it shows the title bar:
    unlike the box's empty bottom margin, the top strip has the caption's
    colour and writing in it."""
    wine.screenshot(path, window)

    def strip(gravity, crop):  # mean and spread of a strip's brightness
        return map(float, subprocess.run(
            ["convert", path, "-gravity", gravity, "-crop", crop, "+repage", "-format",
             "%[fx:mean] %[fx:standard_deviation]", "info:"],
            stdout=subprocess.PIPE, text=True, timeout=30).stdout.split())

    (title, writing) = strip("NorthWest", "120x12+4+4")
    (margin, _) = strip("SouthWest", "120x3+4+3")
    check(abs(title - margin) > 0.2 and writing > 0.03, "no title bar on the prompt's picture "
          "(title %.2f, margin %.2f, writing %.2f)" % (title, margin, writing))


def main():
    parser = argparse.ArgumentParser()
    for option in ("--launcher", "--fixtures", "--work", "--make-prefix", "--prefix-template"):
        parser.add_argument(option)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64")
    parser.add_argument("--wineserver", default="/usr/lib/wine/wineserver")
    parser.add_argument("--expect-setup", default="x86", choices=["x86", "x64"])
    parser.add_argument("--only", nargs="*", choices=list(SCENARIOS))
    parser.add_argument("--verbose", action="store_true", help="tell what each run asked")
    parser.add_argument("--screenshot", help="save the first host prompt as this PNG")
    parser.add_argument("--time-scale", type=float, default=1.0, help="for emulated machines")
    parser.add_argument("--label", default="", help="put before each result line")
    args = parser.parse_args()
    if args.make_prefix:
        os.makedirs(args.make_prefix, exist_ok=True)
        WineSession(args.make_prefix, args.wine, args.wineserver).make_prefix()
        return 0

    label = args.label + " " if args.label else ""
    names = args.only or list(SCENARIOS)
    passed = failed = 0
    started = time.monotonic()
    try:
        for tool in (args.wine, args.launcher):
            check(os.path.isfile(tool) or shutil.which(tool), "missing: " + tool)
        fixtures = os.path.abspath(args.fixtures)
        with WineSession(args.work, args.wine, args.wineserver, time_scale=args.time_scale,
                         keeper=os.path.join(fixtures, "e2e_host_app.exe"),
                         template=args.prefix_template) as wine:
            print("%sWine ready in %.1f s" % (label, time.monotonic() - started), flush=True)
            bench = Bench(wine, fixtures, os.path.abspath(args.launcher))
            checks = Checks(bench, args.expect_setup)
            bench.narrate = narrate if args.verbose else None
            if args.screenshot:
                bench.on_prompt = lambda window: save_prompt(wine, window, args.screenshot)
            for name in names:
                t0 = time.monotonic()
                try:
                    bench.clear_setup_records()
                    account = SCENARIOS[name](bench, checks)
                    passed += 1
                    result = "PASS"
                except Failure as e:
                    failed += 1
                    result, account = "FAIL", e
                finally:
                    bench.stop_host()
                    bench.reset_products()
                print("%s%s %-28s %5.1f s  %s" % (label, result, name, time.monotonic() - t0,
                                                  account), flush=True)
    except Failure as e:
        print("%sSUITE FAILED: %s" % (label, e), flush=True)
        failed += len(names) - passed - failed
    print("%se2e time %.1f s" % (label, time.monotonic() - started))
    print("%s%d passed, %d failed" % (label, passed, failed))
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
