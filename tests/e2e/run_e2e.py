#!/usr/bin/env python3
"""End-to-end scenarios: the launcher under Wine, against Wine's own Windows
Installer, process list, message box and shell.

Each scenario installs sample products, may start a stand-in host application
under a catalogued host's name, runs the launcher from a media folder whose
name has blanks, answers the prompt through the X server, and then checks the
exit status, Wine's traces of the box and of every shell request, the product
state afterwards and the fake setup's record. Every wait is bounded and
everything started is stopped at the end. Standard library only.

Usage: run_e2e.py --launcher EXE --fixtures DIR --work DIR [--only NAME ...]
       [--expect-setup x86|x64] [--demo]
"""
import argparse
import os
import re
import select
import shutil
import subprocess
import sys
import time

CODES = {
    "word": "{6B2E41D0-93A7-4C5F-B81E-0D7F3A9C2E14}",
    "calc": "{A4F08C3B-1E6D-47B2-9C05-E3B71D8A6F20}",
    "other": "{5C1D2E3F-4A5B-4C6D-8E7F-9A0B1C2D3E4F}",
}
CAPTIONS = {"word": "Tessawrite", "calc": "Tessacalc"}
REMOVAL_TAIL = " /passive /promptrestart REBOOT=ReallySuppress"
# Under full-system emulation everything takes several times longer; every
# bound below is multiplied by this.
TIME_SCALE = 1.0
WINE_TIMEOUT = 20


def scaled(seconds):
    return seconds * TIME_SCALE


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, timeout, interval=0.1):
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(interval)


def unix_to_wine(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Wine:
    """One Wine prefix on one private X display, torn down by close()."""

    def __init__(self, work, wine, wineserver):
        self.work = work
        self.wine = wine
        self.wineserver = wineserver
        self.prefix = os.path.join(work, "prefix")
        self.xvfb = None
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": self.prefix,
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "WINEDEBUG": "-all",
            # Long enough to see that the launcher did not wait for the setup.
            "E2E_SETUP_STAY_MS": str(int(4000 * max(1.0, TIME_SCALE / 2))),
        })
        self.template = None  # an initialised prefix to copy instead of wineboot
        self.children = []

    # -- X server --
    def start_display(self):
        read_end, write_end = os.pipe()
        try:
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except FileNotFoundError:
            raise Failure("Xvfb is not installed")
        os.close(write_end)
        ready, _, _ = select.select([read_end], [], [], 15)
        number = os.read(read_end, 16).decode().strip() if ready else ""
        os.close(read_end)
        check(number.isdigit(), "Xvfb did not start")
        self.env["DISPLAY"] = ":" + number
        check(wait_for(lambda: self.xdotool("getdisplaygeometry"), scaled(15)),
              "Xvfb does not answer")

    # -- prefix --
    def make_prefix(self):
        shutil.rmtree(self.prefix, ignore_errors=True)
        started = time.monotonic()
        if self.template:
            shutil.copytree(self.template, self.prefix, symlinks=True)
            return time.monotonic() - started
        result = self.run(["wineboot", "-i"], timeout=180)
        # Let wineboot's own processes finish: the registry is written then.
        subprocess.run([self.wineserver, "-w"], env=self.env, timeout=scaled(120))
        check(result.returncode == 0 and os.path.isfile(os.path.join(self.prefix, "system.reg")),
              "Wine could not make a prefix: " + result.stdout[-2000:])
        return time.monotonic() - started

    def stop_server(self):
        """Ends every program of the prefix and its server. A server left over
        from an earlier run would otherwise serve a new prefix that happens to
        get the old one's inode."""
        for args in ([self.wineserver, "-k"], [self.wineserver, "-w"]):
            try:
                subprocess.run(args, env=self.env, timeout=scaled(30), stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                pass

    def environment(self, debug=None, env_extra=None):
        """The suite's environment, with a debug channel list and extra
        variables for one program only."""
        env = dict(self.env, **(env_extra or {}))
        if debug:
            env["WINEDEBUG"] = debug
        return env

    def run(self, args, timeout=None, cwd=None, debug=None, env_extra=None):
        """Runs a Wine program to its end. Output goes to a file, not a pipe:
        Wine's services, started by the first program, inherit its handles
        and would hold a pipe open for the server's whole life."""
        env = self.environment(debug, env_extra)
        timeout = scaled(timeout or WINE_TIMEOUT)
        output = os.path.join(self.work, "wine-output.txt")
        with open(output, "w") as out:
            try:
                status = subprocess.run([self.wine] + args, env=env, cwd=cwd, timeout=timeout,
                                        stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=subprocess.STDOUT).returncode
            except FileNotFoundError:
                raise Failure("Wine is not installed: " + self.wine)
            except subprocess.TimeoutExpired:
                shot = os.path.join(self.work, "wine-hung.png")
                self.screenshot(shot)
                raise Failure("Wine did not finish within %d s: %s; screen: %s"
                              % (timeout, " ".join(args), shot))
        return subprocess.CompletedProcess(args, status, read(output), "")

    def start(self, args, cwd=None, debug=None, stderr=None, env_extra=None):
        env = self.environment(debug, env_extra)
        process = subprocess.Popen([self.wine] + args, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=stderr or subprocess.DEVNULL)
        self.children.append(process)
        return process

    def xdotool(self, *args):
        try:
            result = subprocess.run(["xdotool"] + list(args), env=self.env, timeout=15,
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        except FileNotFoundError:
            raise Failure("xdotool is not installed")
        return result.stdout.split()

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", path],
                       timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return os.path.isfile(path)

    def close(self):
        for process in self.children:
            if process.poll() is None:
                process.kill()
        if os.path.isdir(self.prefix):
            self.stop_server()
        for process in self.children:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
        if self.xvfb:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
        self.children, self.xvfb = [], None


class Suite:
    def __init__(self, args):
        self.args = args
        self.work = os.path.abspath(args.work)
        self.fixtures = os.path.abspath(args.fixtures)
        self.launcher = os.path.abspath(args.launcher)
        self.wine = Wine(self.work, args.wine, args.wineserver)
        self.media = os.path.join(self.work, "Product Media", "Disc 1")
        self.installed = set()
        self.host = None
        self.verbose = False
        self.screenshot = None  # where to save a picture of the first prompt

    # -- world --
    def prepare_media(self):
        for arch in ("x86", "x64"):
            folder = os.path.join(self.media, arch)
            os.makedirs(folder, exist_ok=True)
            shutil.copy(os.path.join(self.fixtures, "e2e_fake_setup.exe"),
                        os.path.join(folder, "Setup.exe"))

    def setup_record(self, arch):
        return os.path.join(self.media, arch, "setup-ran.txt")

    def clear_setup_records(self):
        for arch in ("x86", "x64"):
            path = self.setup_record(arch)
            # A setup from the previous scenario may still be writing its record.
            wait_for(lambda: not os.path.exists(path) or "ended" in read(path), scaled(10))
            if os.path.exists(path):
                os.remove(path)

    def is_installed(self, name):
        # The installer's own answer, to the same query the launcher makes.
        result = self.wine.run([os.path.join(self.fixtures, "e2e_probe.exe"), CODES[name]])
        check(result.returncode in (0, 1), "the installer query failed (%d)" % result.returncode)
        return result.returncode == 0

    def install(self, name):
        result = self.wine.run(["msiexec", "/i", os.path.join(self.fixtures, name + ".msi"),
                                "/qn"], timeout=120)
        check(result.returncode == 0, "msiexec could not install " + name)
        check(self.is_installed(name), name + " is not installed after msiexec")
        self.installed.add(name)

    def reset_products(self):
        for name in sorted(self.installed):
            self.wine.run(["msiexec", "/x", CODES[name], "/qn"], timeout=120)
        self.installed = set()

    def start_stand_in(self, file_name, *extra, stderr=None):
        """Starts the host stand-in under a file name; returns (process, stop file)."""
        folder = os.path.join(self.work, "host-" + file_name)
        os.makedirs(folder, exist_ok=True)
        exe = os.path.join(folder, file_name)
        shutil.copy(os.path.join(self.fixtures, "e2e_host_app.exe"), exe)
        stop, ready = os.path.join(folder, "stop"), os.path.join(folder, "ready")
        for path in (stop, ready):
            if os.path.exists(path):
                os.remove(path)
        process = self.wine.start([exe, unix_to_wine(stop), unix_to_wine(ready)] + list(extra),
                                  stderr=stderr, debug=os.environ.get("E2E_KEEPER_DEBUG", "fixme-all") if stderr else None)
        check(wait_for(lambda: os.path.exists(ready), scaled(30)), file_name + " did not start")
        return process, stop

    def start_desktop_keeper(self):
        """Wine's desktop process ends soon after the last window closes, and a
        program that opens a window meanwhile gets no display. One hidden
        window for the whole run keeps the desktop up, and with it the server,
        so programs start faster."""
        log_path = os.path.join(self.work, "desktop-keeper.log")
        # Wine's services start with the first program; let that settle first.
        self.wine.run([os.path.join(self.fixtures, "e2e_probe.exe")])
        with open(log_path, "w") as log:
            self.start_stand_in("desktop-keeper.exe", "--hidden-window", stderr=log)
        time.sleep(scaled(1))
        check("nodrv_CreateWindow" not in read(log_path),
              "Wine's desktop did not start: " + read(log_path)[-600:])

    def start_wine(self, attempts=5):
        """A display, a fresh prefix and a running desktop. Now and then Wine's
        desktop fails to start in a new prefix; that is retried from scratch,
        a bounded number of times, and never hides a failure of the launcher."""
        for attempt in range(1, attempts + 1):
            try:
                self.wine.start_display()
                seconds = self.wine.make_prefix()
                self.start_desktop_keeper()
                return seconds, attempt
            except Failure as e:
                self.wine.close()
                if attempt == attempts:
                    raise
                print("Wine did not come up (attempt %d): %s" % (attempt, str(e).splitlines()[0]),
                      flush=True)

    def start_host(self, file_name):
        self.host = self.start_stand_in(file_name)

    def stop_host(self):
        if not self.host:
            return
        process, stop = self.host
        open(stop, "w").close()
        try:
            process.wait(timeout=scaled(15))
        except subprocess.TimeoutExpired:
            process.kill()
        self.host = None

    def describe_run(self, arguments, status, trace, installed_before):
        print("    SetupLauncher.exe %s" % " ".join(arguments))
        if installed_before is not None:
            print("      installer before the run: %s" % (
                "installed" if installed_before else "not installed"))
        for text in boxes(trace):
            print("      prompt: %s" % text.replace("\\n", " / "))
        for r in shell_requests(trace):
            print("      shell: verb %s, file %s, parameters %s, show %d, mask 0x%x"
                  % (r["verb"], r["file"], r["parameters"], r["show"], r["mask"]))
        print("      exit status %d" % status)

    # -- one run of the launcher --
    def run_launcher(self, args, answers=(), env_extra=None, box_timeout=30):
        """Runs the launcher; answers each box with the next of `answers`, a
        list of (caption, key, before) where `before` runs just before the key
        press."""
        trace_path = os.path.join(self.work, "trace.txt")
        known = [name for name, code in CODES.items() if list(args[:1]) == [code]]
        installed_before = self.is_installed(known[0]) if known and self.verbose else None
        with open(trace_path, "w") as trace:
            started = time.monotonic()
            process = self.wine.start([self.launcher] + list(args), cwd=self.media,
                                      debug="+msgbox,+exec,fixme-all", stderr=trace,
                                      env_extra=env_extra)
            for number, (caption, key, before) in enumerate(answers, start=1):
                window = self.wait_for_box(number, caption, process, trace_path, box_timeout)
                if before:
                    before()
                self.press(window, key)
            try:
                status = process.wait(timeout=scaled(WINE_TIMEOUT))
            except subprocess.TimeoutExpired:
                shot = os.path.join(self.work, "launcher-hung.png")
                self.wine.screenshot(shot)
                process.kill()
                raise Failure("the launcher did not end; screen: " + shot)
            elapsed = time.monotonic() - started
        if self.verbose:
            self.describe_run(list(args), status, read(trace_path), installed_before)
        return status, read(trace_path), elapsed

    def box_windows(self, caption):
        pattern = "" if caption is None else "^%s$" % re.escape(caption)  # None: any window
        return self.wine.xdotool("search", "--onlyvisible", "--name", pattern)

    def wait_for_box(self, number, caption, process, trace_path, timeout):
        def shown():
            if read(trace_path).count("MSGBOX_OnInit") >= number:
                return self.box_windows(caption) or None
            return "gone" if process.poll() is not None else None

        found = wait_for(shown, scaled(timeout))
        if not found or found == "gone":
            trace = read(trace_path)
            errors = [line for line in trace.splitlines() if ":err:" in line][:5]
            programs = subprocess.run(["ps", "-eo", "args"], stdout=subprocess.PIPE, text=True)
            programs = [p for p in programs.stdout.splitlines() if ".exe" in p.lower()]
            raise Failure("prompt %d (%s) did not appear; launcher %s; boxes %d; errors %r; "
                          "Windows programs: %r" % (
                              number, caption, "ended %s" % process.poll() if found else "running",
                              len(boxes(trace)), errors, programs))
        time.sleep(scaled(0.5))  # Wine's box ignores keys until it has settled
        return found[-1]

    def press(self, window, key):
        # Give the box focus, then type as a user would: keys sent to a window
        # directly are ignored by Wine.
        for _ in range(3):
            self.wine.xdotool("windowfocus", "--sync", window)
            self.wine.xdotool("key", key)
            if wait_for(lambda: window not in self.wine.xdotool("search", "--onlyvisible",
                                                                 "--name", "."), scaled(5)):
                return
        raise Failure("the prompt did not take the key " + key)


# -- reading Wine's traces --

def read(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return ""


def wine_text(text):
    """A text as Wine's debug channels print it (L"..." with escapes)."""
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace('"', '\\"')


def boxes(trace):
    return re.findall(r'MSGBOX_OnInit L"(.*)"', trace)


SHELL_RE = re.compile(r'SHELL_execute mask=(0x[0-9a-f]+) hwnd=(\w+) verb=(L"[^"]*"|\(null\)) '
                      r'file=L"((?:[^"\\]|\\.)*)" parm=(L"(?:[^"\\]|\\.)*"|\(null\)) '
                      r'dir=(L"[^"]*"|\(null\)) show=(0x[0-9a-f]+)')


def shell_requests(trace):
    found = []
    for mask, hwnd, verb, file, parm, directory, show in SHELL_RE.findall(trace):
        found.append({
            "mask": int(mask, 16), "hwnd": int(hwnd, 16), "verb": verb, "file": file,
            "parameters": parm, "directory": directory, "show": int(show, 16),
        })
    return found


def removal_requests(trace):
    return [r for r in shell_requests(trace) if r["verb"] == 'L"runas"']


def setup_requests(trace):
    return [r for r in shell_requests(trace) if r["verb"] == 'L"open"']


# -- scenarios --

class Scenarios:
    def __init__(self, suite, expect_arch):
        self.s = suite
        self.arch = expect_arch
        self.other_arch = "x64" if expect_arch == "x86" else "x86"

    def expected_setup_file(self, media=None):
        path = unix_to_wine(os.path.join(media or self.s.media, self.arch, "Setup.exe"))
        return wine_text('"' + path + '"')

    def assert_setup_started(self, trace, media=None):
        requests = setup_requests(trace)
        check(len(requests) == 1, "expected one setup request, saw %d" % len(requests))
        r = requests[0]
        check(r["file"] == self.expected_setup_file(media),
              "setup file was %s, expected %s" % (r["file"], self.expected_setup_file(media)))
        check(r["show"] == 1 and r["parameters"] == "(null)" and r["directory"] == "(null)"
              and r["hwnd"] == 0, "setup request not as expected: %r" % r)
        record = self.s.setup_record(self.arch)
        check(wait_for(lambda: "cmdline=" in read(record), scaled(30)), "the setup did not run")
        return record

    def assert_no_setup(self, trace):
        check(not setup_requests(trace), "a setup request was made")
        time.sleep(0.2)
        for arch in ("x86", "x64"):
            check(not os.path.exists(self.s.setup_record(arch)), "a setup ran")

    def assert_removal(self, trace, code):
        requests = removal_requests(trace)
        check(len(requests) == 1, "expected one removal request, saw %d" % len(requests))
        r = requests[0]
        expected = {"mask": 0x240, "hwnd": 0, "file": self.removal_file(),
                    "parameters": 'L"' + " /uninstall " + code + REMOVAL_TAIL + '"',
                    "directory": "(null)", "show": 2}
        for key, value in expected.items():
            check(r[key] == value, "removal %s was %r, expected %r" % (key, r[key], value))

    def assert_upgraded(self, status, trace, name):
        """The upgrade road to its end: removed through the elevated request,
        gone by the installer's own answer, setup started, status 0."""
        check(status == 0, "status %d" % status)
        self.assert_removal(trace, CODES[name])
        check(not self.s.is_installed(name), "the product is still installed")
        self.assert_setup_started(trace)

    def removal_file(self):
        # By full path: a bare name would let the shell find a planted copy.
        return wine_text("C:\\windows\\system32\\msiexec.exe")

    def assert_box(self, text, host):
        expected = wine_text("%s is running.\n\nPlease close %s to progress." % (host, host))
        check(text == expected, "prompt text was %r" % text)

    # Each scenario returns a short account for the log.

    def no_argument(self):
        status, trace, _ = self.s.run_launcher([])
        check(status == 0, "status %d" % status)
        check(not boxes(trace), "a box was shown")
        check(not shell_requests(trace), "a shell request was made")
        self.assert_no_setup(trace)
        return "status 0, no box, no shell request, no setup"

    def fresh_install(self):
        status, trace, elapsed = self.s.run_launcher([CODES["calc"]])
        check(status == 0, "status %d" % status)
        check(not boxes(trace) and not removal_requests(trace), "upgrade road taken")
        record = self.assert_setup_started(trace)
        # The launcher has ended; the setup, which lives 4 s, must still run.
        check("ended" not in read(record), "the launcher waited for the setup")
        text = read(record)
        check("path=" + unix_to_wine(os.path.join(self.s.media, self.arch, "Setup.exe")) in text,
              "the setup ran from elsewhere: " + text)
        return "setup %s started, launcher ended first (%.1f s), status 0" % (self.arch, elapsed)

    def empty_argument(self):
        status, trace, _ = self.s.run_launcher([""])
        check(status == 0, "status %d" % status)
        self.assert_setup_started(trace)
        check(not removal_requests(trace), "a removal was requested")
        return "probe answered not installed for the empty code; setup started; status 0"

    def upgrade_host_not_running(self):
        self.s.install("calc")
        status, trace, _ = self.s.run_launcher([CODES["calc"]])
        check(not boxes(trace), "a box was shown")
        self.assert_upgraded(status, trace, "calc")
        return "no box; removed elevated; setup started; status 0"

    def upgrade_host_running(self):
        self.s.install("calc")
        self.s.start_host("EXCEL.EXE")
        shoot = (lambda: self.s.wine.screenshot(self.s.screenshot)) if self.s.screenshot else None
        answers = [("Tessacalc", "Return", shoot), ("Tessacalc", "Return", self.s.stop_host)]
        status, trace, _ = self.s.run_launcher([CODES["calc"]], answers=answers)
        shown = boxes(trace)
        check(len(shown) == 2, "expected two boxes, saw %d" % len(shown))
        for text in shown:
            self.assert_box(text, "Excel.exe")
        self.assert_upgraded(status, trace, "calc")
        return "box twice while EXCEL.EXE ran, none after it closed; removed; setup; status 0"

    def upgrade_cancel(self):
        self.s.install("word")
        self.s.start_host("winword.EXE")
        status, trace, _ = self.s.run_launcher([CODES["word"]], answers=[("Tessawrite", "Escape", None)])
        self.s.stop_host()
        check(status == 1, "status %d" % status)
        shown = boxes(trace)
        check(len(shown) == 1, "expected one box, saw %d" % len(shown))
        self.assert_box(shown[0], "WinWord.exe")
        check(not removal_requests(trace), "a removal was requested")
        check(self.s.is_installed("word"), "the product was removed")
        self.assert_no_setup(trace)
        return "Escape at the prompt: status 1, product kept, no removal, no setup"

    def removal_fails(self):
        self.s.install("calc")
        # A 32-bit launcher in a WOW64 prefix gets syswow64's copy.
        copies = [os.path.join(self.s.wine.prefix, "drive_c", "windows", folder, "msiexec.exe")
                  for folder in ("system32", "syswow64")]
        copies = [path for path in copies if os.path.exists(path)]
        for path in copies:
            os.rename(path, path + ".hidden")
        try:
            # The shell reports the missing program in a box of its own, which
            # the user dismisses; the launcher then goes on by itself.
            status, trace, _ = self.s.run_launcher([CODES["calc"]],
                                                   answers=[(None, "Return", None)])
        finally:
            for path in copies:
                os.rename(path + ".hidden", path)
        check(status == 0, "status %d" % status)
        shown = boxes(trace)
        check(len(shown) == 1 and "is running" not in shown[0], "boxes: %r" % shown)
        self.assert_removal(trace, CODES["calc"])
        check(self.s.is_installed("calc"), "the product is gone")
        self.assert_no_setup(trace)
        return "removal program missing: shell's error box; product kept, no setup, status 0"

    def code_outside_catalogue(self):
        self.s.install("other")
        self.s.start_host("EXCEL.EXE")  # a catalogued host does not matter here
        try:
            status, trace, _ = self.s.run_launcher([CODES["other"]])
        finally:
            self.s.stop_host()
        check(not boxes(trace), "a box was shown")
        self.assert_upgraded(status, trace, "other")
        return "no box; removed; setup started; status 0"

    def planted_files(self):
        """An msi.dll beside the launcher and an msiexec.exe in the current
        directory, with Wine told to prefer a DLL found beside the program, as
        Windows does for msi.dll: neither may ever run."""
        s = self.s
        s.install("calc")
        folder = os.path.join(s.work, "Downloads")
        os.makedirs(folder, exist_ok=True)
        launcher = os.path.join(folder, "SetupLauncher.exe")
        shutil.copy(s.launcher, launcher)
        shutil.copy(os.path.join(s.fixtures, "msi.dll"), os.path.join(folder, "msi.dll"))
        shutil.copy(os.path.join(s.fixtures, "e2e_planted_msiexec.exe"),
                    os.path.join(s.media, "msiexec.exe"))
        dll_marker = os.path.join(folder, "msi.dll.loaded")
        exe_marker = os.path.join(s.media, "planted-msiexec-ran.txt")
        prefer_beside = {"WINEDLLOVERRIDES": "mscoree,mshtml=;msi=n,b"}
        try:
            # Control: a program that imports msi.dll does load the planted copy.
            control = os.path.join(folder, "imports-msi.exe")
            shutil.copy(os.path.join(s.fixtures, "e2e_probe.exe"), control)
            s.wine.run([control, CODES["calc"]], env_extra=prefer_beside)
            check(os.path.exists(dll_marker), "control: the planted msi.dll was not loaded at all")
            os.remove(dll_marker)
            os.remove(control)

            saved, s.launcher = s.launcher, launcher
            try:
                status, trace, _ = s.run_launcher([CODES["calc"]], env_extra=prefer_beside)
            finally:
                s.launcher = saved
        finally:
            os.remove(os.path.join(s.media, "msiexec.exe"))
        check(not os.path.exists(dll_marker), "the planted msi.dll was loaded")
        check(not os.path.exists(exe_marker), "the planted msiexec.exe ran")
        self.assert_upgraded(status, trace, "calc")
        return "planted msi.dll and msiexec.exe never ran; real removal by full path; setup"


ORDER = ["no_argument", "fresh_install", "empty_argument", "upgrade_host_not_running",
         "upgrade_host_running", "upgrade_cancel", "removal_fails", "code_outside_catalogue",
         "planted_files"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64")
    parser.add_argument("--wineserver", default="/usr/lib/wine/wineserver")
    parser.add_argument("--expect-setup", default="x86", choices=["x86", "x64"])
    parser.add_argument("--only", nargs="*")
    parser.add_argument("--verbose", action="store_true",
                        help="tell what each launcher run asked of Windows")
    parser.add_argument("--screenshot", help="save the first host prompt as this PNG")
    parser.add_argument("--prefix-template", help="copy this initialised prefix, no wineboot")
    parser.add_argument("--time-scale", type=float, default=1.0,
                        help="multiply every time bound (slow, emulated machines)")
    parser.add_argument("--label", default="", help="put before each result line")
    args = parser.parse_args()
    global TIME_SCALE
    TIME_SCALE = args.time_scale

    suite = Suite(args)
    if os.path.isdir(suite.wine.prefix):
        suite.wine.stop_server()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    suite.screenshot = args.screenshot and os.path.abspath(args.screenshot)
    suite.verbose = args.verbose
    suite.wine.template = args.prefix_template
    label = args.label + " " if args.label else ""
    scenarios = Scenarios(suite, args.expect_setup)
    names = args.only or ORDER
    passed = failed = 0
    started = time.monotonic()
    try:
        for tool in (args.wine, args.launcher):
            check(os.path.isfile(tool) or shutil.which(tool), "missing: " + tool)
        seconds, attempt = suite.start_wine()
        print("prefix ready in %.1f s%s" % (seconds, " (attempt %d)" % attempt if attempt > 1
                                           else ""), flush=True)
        suite.prepare_media()
        for name in names:
            t0 = time.monotonic()
            try:
                suite.clear_setup_records()
                account = getattr(scenarios, name)()
                passed += 1
                print("%sPASS %-26s %5.1f s  %s" % (label, name, time.monotonic() - t0, account), flush=True)
            except Failure as e:
                failed += 1
                print("%sFAIL %-26s %5.1f s  %s" % (label, name, time.monotonic() - t0, e), flush=True)
            finally:
                suite.stop_host()
                suite.reset_products()
    except Failure as e:
        print("%sSUITE FAILED: %s" % (label, e), flush=True)
        failed += len(names) - passed - failed
    finally:
        suite.wine.close()
    print("%se2e time %.1f s" % (label, time.monotonic() - started))
    print("%s%d passed, %d failed" % (label, passed, failed))
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
