"""The scenarios, each registered once by @scenario, in the order they run: each
acts on the bench (b), checks the run (x), and returns an account for the log.
The same scenario runs under Wine and on Windows; Wine's trace of what the
launcher asked of the shell and the box is an extra check where it exists."""
import ntpath
import os
import shutil
import time

from session import NotHere, check, read, wait_for
from traces import box_calls, requests_with_verb, shell_requests

SCENARIOS = {}


def scenario(function):
    SCENARIOS[function.__name__] = function
    return function


class Checks:
    """What a run must have done where the launcher must choose `arch` (None:
    either, which is reported). Notes which kinds of check ran, and what a
    run showed that the README does not promise."""

    def __init__(self, bench, arch):
        self.bench, self.arch = bench, arch
        self.ran, self.reports = set(), []

    def traced(self, run):
        """Wine's trace of the run, or None where there is none."""
        if not self.bench.session.is_wine:
            return None
        self.ran.add("Wine's trace")
        return run.trace

    def ended(self, run, status, product=None, prompts=0, language=None):
        """The status, and the prompts for the product that were answered, in
        the language's row or in English: as the box program read them, and
        under Wine each box call's text, caption and style as Wine traced it."""
        self.ran.update(("status", "boxes"))
        check(run.status == status, "status %d, expected %d" % (run.status, status))
        expected = self.bench.prompt(product, language) if prompts else None
        seen = [box.text for box in run.boxes]
        check(seen == [expected and expected.text] * prompts, "expected %d prompts for %s, saw %r"
              % (prompts, product and product.host, seen))
        trace = self.traced(run)
        if trace is None:
            return
        calls = box_calls(trace)
        for call in calls:
            # Wine prints a few hundred characters of a text at most, and may
            # cut a narrow one inside a letter.
            shown = [(call[key], getattr(expected, key)) for key in ("text", "caption")]
            check(call["owner"] == 0 and call["style"] == expected.style and all(
                traced == text or not call["whole"] and text.startswith(traced.rstrip("\ufffd"))
                for traced, text in shown), "box call %r, expected %r" % (call, expected))
        check(len(calls) == prompts, "%d box calls traced, expected %d" % (len(calls), prompts))

    def installed(self, product, expected):
        self.ran.add("installer")
        check(self.bench.is_installed(product) == expected,
              "the product is %s" % ("gone" if expected else "still installed"))

    def setup_started(self, run, media=None, folder=None):
        """The one setup request, for the setup below the media folder as
        Windows names it (`folder`), and the setup's run from that path."""
        media = media or self.bench.media
        record, arch = self.setup_record(media)
        path = (folder or self.bench.session.windows_path(media)) + "\\%s\\Setup.exe" % arch
        r, quoted = self.setup_request(run), '"%s"' % path
        # Wine prints a few hundred characters of a text at most.
        check(r is None or r["file"] == quoted or not r["whole"] and quoted.startswith(r["file"]),
              "setup file was %r, expected %r" % (r and r["file"], quoted))
        ran = ntpath.normpath(path)  # as Windows reads it: a doubled separator is one
        check("path=%s\n" % ran in record and "long=%s\n" % ran in record,
              "the setup ran from elsewhere: " + record)
        return record

    def setup_requested_by_short_form(self, run, media):
        """The setup below a folder whose path is past what the shell takes is
        asked for by a short form that fits. Under Wine, the request: quoted,
        under MAX_PATH, and read back by Wine itself as that very file (its
        start from there is chance). On Windows, the setup ran by it."""
        r = self.setup_request(run)
        if r is None:
            record, arch = self.setup_record(media)
            started = record.split("path=")[1].split("\n")[0]
            long_path = ntpath.join(self.bench.session.windows_path(media), arch, "Setup.exe")
            check(len(started) < 260 and "long=%s\n" % long_path in record,
                  "the setup ran as %r" % record)
            return started
        started = r["file"][1:-1] if r["whole"] and r["file"][:1] == r["file"][-1:] == '"' else ""
        arch = self.arch or started[-13:-10]
        check(len(started) < 260 and started.endswith("\\%s\\Setup.exe" % arch),
              "expected the quoted short form, saw %r" % r["file"])
        result = self.bench.session.run(["winepath", "-u", started])
        lines = result.stdout.strip().splitlines()
        named = lines[-1] if result.returncode == 0 and lines else ""
        setup = os.path.join(media, arch, "Setup.exe")
        check(os.path.exists(named) and os.path.samefile(named, setup),
              "%r names %r, not the setup below the media folder" % (started, named))
        return started

    def setup_request(self, run):
        """The run's one request to open a file (None without Wine's trace):
        shown normally, with no parameters, directory or owner window."""
        trace = self.traced(run)
        if trace is None:
            return None
        requests = requests_with_verb(trace, "open")
        check(len(requests) == 1, "expected one setup request, saw %d" % len(requests))
        r = requests[0]
        check((r["show"], r["parameters"], r["directory"], r["hwnd"]) == (1, None, None, 0),
              "setup request not as expected: %r" % r)
        return r

    def setup_record(self, media):
        """The record of the setup that ran below the media folder, and its
        folder: the one the machine must choose, or either, reported."""
        self.ran.add("setup record")
        arches = [self.arch] if self.arch else ["x64", "x86"]
        ran = wait_for(lambda: [a for a in arches if "cmdline=" in read(
            self.bench.setup_record(media, a))], self.bench.session.scaled(30))
        check(ran, "the setup did not run")
        if not self.arch:
            self.reports.append("the launcher chose %s\\Setup.exe, which the README leaves "
                                "open" % ran[0])
        return read(self.bench.setup_record(media, ran[0])), ran[0]

    def no_setup(self, run):
        trace = self.traced(run)
        check(trace is None or not requests_with_verb(trace, "open"), "a setup request was made")
        self.ran.add("setup record")
        # Nothing marks a setup that never starts: a started one writes soon.
        time.sleep(self.bench.session.scaled(0.2))
        check(not any(os.path.exists(self.bench.setup_record(self.bench.media, arch))
                      for arch in ("x86", "x64")), "a setup ran")

    def removal(self, run, code=None):
        """The one elevated removal request for the code, or none without one."""
        trace = self.traced(run)
        requests = requests_with_verb(trace or "", "runas")
        check(trace is None or len(requests) == (code is not None),
              "removal requests: %r" % requests)
        if not requests:
            return
        # By full path: a bare name would let the shell find a planted copy.
        expected = {"mask": 0x240, "hwnd": 0, "file": "C:\\windows\\system32\\msiexec.exe",
                    "parameters": " /uninstall %s /passive /promptrestart REBOOT=ReallySuppress"
                    % code, "directory": None, "show": 2}
        check({key: requests[0][key] for key in expected} == expected, "removal: %r" % requests[0])

    def upgraded(self, run, product, prompts=0, language=None):
        """Removed by the elevated request, gone by the installer's answer, set up."""
        self.ended(run, 0, product, prompts, language)
        self.removal(run, product.code)
        self.installed(product, False)
        self.setup_started(run)


@scenario
def no_argument(b, x):
    run = b.run_launcher([])
    x.ended(run, 0)
    requests = shell_requests(x.traced(run) or "")
    check(not requests, "shell requests %r" % requests)
    x.no_setup(run)
    return "status 0, no box, no shell request, no setup"


@scenario
def fresh_install(b, x):
    run = b.run_launcher([b.products["row1"].code])
    x.ended(run, 0)
    x.removal(run)
    # The launcher has ended; the setup stays until it is let go.
    check("ended" not in x.setup_started(run), "the launcher waited for the setup")
    return "setup started, launcher ended first (%.1f s), status 0" % run.seconds


def setup_from(b, x, media, folder=None):
    """A run from the media folder, named by Windows as `folder`, that starts the setup."""
    run = b.run_launcher([b.products["row1"].code], media=folder or media)
    x.ended(run, 0)
    return x.setup_started(run, media, folder)


@scenario
def folder_outside_the_code_page(b, x):
    # Cyrillic and Polish letters that code page 1252 cannot spell, and a blank.
    setup_from(b, x, b.make_media(os.path.join(b.session.work, "Установка Łódź")))
    return "setup started from exactly Установка Łódź"


def nested_folder(base, letter, count):
    """A folder below base named with `count` letters, 100 at most a level."""
    return os.path.join(base, *[letter * min(100, count - i) for i in range(0, count, 100)])


@scenario
def folder_longer_than_250_bytes(b, x):
    # Under 260 characters, over 250 bytes in UTF-8: longer than the
    # launcher's first read of the current directory.
    base = len(b.session.windows_path(b.session.work))
    letters = min((300 - base) // 2 + 1, 240 - base)
    check(base + 2 * letters > 250, "the work folder is too long for this scenario")
    media = b.make_media(nested_folder(b.session.work, "Ж", letters))
    setup_from(b, x, media)
    folder = b.session.windows_path(media)
    return "setup started from a folder of %d characters, %d bytes" % (
        len(folder), len(folder.encode()))


@scenario
def folder_past_max_path(b, x):
    # 250 characters: the setup path below it passes MAX_PATH, the most that
    # the shell takes for a program, so the launcher must ask for its short
    # form. Whether Wine then starts it is left to chance: Wine's CreateProcess
    # expands the path to its long form into a MAX_PATH buffer and, when that
    # does not fit, goes on with the buffer unfilled (create_process_params in
    # kernelbase), so the start succeeds only where earlier calls left a usable
    # path in that memory. So under Wine the request is what is checked, and
    # what it names; on Windows, the setup's own record.
    target = 250
    letters = target - len(b.session.windows_path(b.session.work)) - 1
    while len(b.session.windows_path(nested_folder(b.session.work, "d", letters))) > target:
        letters -= 1
    check(letters > 0, "the work folder is too long for this scenario")
    media = b.make_media(nested_folder(b.session.work, "d", letters))
    folder = len(b.session.windows_path(media))
    fits = True  # Wine makes a short form of every name
    if not b.session.is_wine:
        # What matters is whether the setup path's short form fits.
        setup = os.path.join(media, "x64", "Setup.exe")
        short, long_form = b.session.short_path(setup), b.session.windows_path(setup)
        fits = len(short) < 260
        if fits and b.session.without_short_names:
            names, short_names = long_form.split("\\"), short.split("\\")
            depth = next(i for i, (a, c) in enumerate(zip(names, short_names)) if a.lower() != c.lower())
            named = "\\".join(names[:depth + 1])
            raise NotHere("%s still has a short name, made before short names were off: "
                          "the setup path's short form fits in %d characters" % (named, len(short)))
    run = b.run_launcher([b.products["row1"].code], media=media)
    x.ended(run, 0)
    if not fits:
        ran = wait_for(lambda: any(os.path.exists(b.setup_record(media, arch))
                                   for arch in ("x86", "x64")), b.session.scaled(5))
        x.reports.append("no short form of the setup path fits: the setup %s" % (
            "ran" if ran else "did not start"))
        return "a folder of %d characters without a short form that fits" % folder
    started = x.setup_requested_by_short_form(run, media)
    return "setup asked for as %s (%d characters) for a folder of %d characters" % (
        started, len(started), folder)


@scenario
def media_at_a_drive_root(b, x):
    # A disc or a USB stick: the current directory is the drive's root, which
    # Windows writes with its separator, "D:\\".
    media = b.make_media(os.path.join(b.session.work, "Disc in D"))
    root = b.map_drive(media)
    record = setup_from(b, x, media, root)  # written through the drive
    return "setup started at %s as %s" % (root, record.split("path=")[1].split("\n")[0])


@scenario
def empty_argument(b, x):
    run = b.run_launcher([""])
    x.ended(run, 0)
    x.removal(run)
    x.setup_started(run)
    return "probe answered not installed for the empty code; setup started; status 0"


@scenario
def upgrade_host_not_running(b, x):
    product, another = b.products["row1"], b.product_with_another_host()
    b.install(product)
    if another:  # only this product's host holds the removal
        b.start_host(another.host)
    x.upgraded(b.run_launcher([product.code]), product)
    return "no box%s; removed elevated; setup started; status 0" % (
        " while %s of %s ran" % (another.host, another.name) if another else
        " (no other catalogued product has another host to run beside it)")


@scenario
def upgrade_host_running(b, x):
    product = b.products["row1"]
    b.install(product)
    running = product.host.upper()  # found in another letter case
    b.start_host(running)
    answers = [(product.title, "retry", None), (product.title, "retry", lambda _: b.stop_host())]
    x.upgraded(b.run_launcher([product.code], answers=answers), product, prompts=2)
    return "box twice while %s ran, none after it closed; removed; setup; status 0" % running


@scenario
def upgrade_cancel(b, x):
    product = b.products["row1"]
    b.install(product)
    b.start_host(product.host.swapcase())
    run = b.run_launcher([product.code], answers=[(product.title, "escape", None)])
    x.ended(run, 1, product, 1)
    x.removal(run)
    x.installed(product, True)
    x.no_setup(run)
    return "Escape at the prompt titled %s: status 1, product kept, no removal, no setup" % (
        product.title)


@scenario
def removal_fails(b, x):
    if not b.session.is_wine:
        raise NotHere("Wine only: it hides msiexec.exe, which on Windows belongs to the system")
    product = b.products["row1"]
    b.install(product)
    # A 32-bit launcher in a WOW64 prefix gets syswow64's copy.
    copies = [path for path in (os.path.join(b.session.prefix, "drive_c", "windows", folder,
                                              "msiexec.exe") for folder in ("system32", "syswow64"))
              if os.path.exists(path)]
    for path in copies:
        os.rename(path, path + ".hidden")
    try:
        # The shell reports the missing program in a box of its own, which
        # the user dismisses; the launcher then goes on by itself.
        run = b.run_launcher([product.code], answers=[(None, "ok", None)])
    finally:
        for path in copies:
            os.rename(path + ".hidden", path)
    check(run.status == 0 and len(run.boxes) == 1 and "is running" not in run.boxes[0].text,
          "status %d, boxes: %r" % (run.status, [box.text for box in run.boxes]))
    x.removal(run, product.code)
    x.installed(product, True)
    x.no_setup(run)
    return "removal program missing: shell's error box; product kept, no setup, status 0"


@scenario
def code_outside_catalogue(b, x):
    product = b.products["other"]
    b.install(product)
    b.start_host(b.products["row1"].host)  # a catalogued host does not matter here
    x.upgraded(b.run_launcher([product.code]), product)
    return "no box; removed; setup started; status 0"


@scenario
def planted_files(b, x):
    # An msi.dll beside the launcher and an msiexec.exe in the current
    # directory: neither may ever run.
    product = b.products["row1"]
    b.install(product)
    folder = os.path.join(b.session.work, "Downloads")
    os.makedirs(folder)
    launcher = shutil.copy(b.launcher, folder)
    shutil.copy(b.fixture("planted", "msi.dll"), folder)
    planted = shutil.copy(b.fixture("planted", "msiexec.exe"), b.media)
    marker = os.path.join(folder, "msi.dll.loaded")
    try:
        # Control: a program that imports msi.dll does load the planted copy.
        control = shutil.copy(b.fixture("e2e_probe.exe"), os.path.join(folder, "imports-msi.exe"))
        b.session.run([control, product.code])
        check(os.path.exists(marker), "control: the planted msi.dll was not loaded at all")
        os.remove(marker)
        os.remove(control)
        run = b.run_launcher([product.code], launcher=launcher)
    finally:
        os.remove(planted)
    check(not os.path.exists(marker), "the planted msi.dll was loaded")
    check(not os.path.exists(os.path.join(b.media, "planted-msiexec-ran.txt")),
          "the planted msiexec.exe ran")
    x.upgraded(run, product)
    return "planted msi.dll and msiexec.exe never ran; real removal by full path; setup"
