"""The scenarios, each registered once by @scenario, in the order they run: each
acts on the bench (b), checks the run (x), and returns an account for the log."""
import ntpath
import os
import shutil
import time

from session import DLL_OVERRIDES, check, read, unix_to_wine, wait_for
from traces import boxes, requests_with_verb, shell_requests

SCENARIOS = {}


def scenario(function):
    SCENARIOS[function.__name__] = function
    return function


class Checks:
    """What a run must have done where the launcher must choose `arch`."""

    def __init__(self, bench, arch):
        self.bench, self.arch = bench, arch

    def setup_started(self, trace, media=None, folder=None):
        """The one setup request, for the setup below the media folder as
        Windows names it (`folder`), and the setup's run from that path."""
        media = media or self.bench.media
        path = (folder or unix_to_wine(media)) + "\\%s\\Setup.exe" % self.arch
        r, quoted = self.setup_request(trace), '"%s"' % path
        # Wine prints a few hundred characters of a text at most.
        check(r["file"] == quoted or not r["whole"] and quoted.startswith(r["file"]),
              "setup file was %r, expected %r" % (r["file"], quoted))
        record = self.setup_record(media)
        ran = ntpath.normpath(path)  # as Windows reads it: a doubled separator is one
        check("path=%s\n" % ran in record and "long=%s\n" % ran in record,
              "the setup ran from elsewhere: " + record)
        return record

    def setup_requested_by_short_form(self, trace, media):
        """The one setup request names the setup below a folder whose setup
        path is past what the shell takes by a short form that fits: quoted,
        under MAX_PATH, and read back by Wine itself as that very file."""
        r = self.setup_request(trace)
        started = r["file"][1:-1] if r["file"].startswith('"') and r["file"].endswith('"') else ""
        check(r["whole"] and started and len(started) < 260
              and started.endswith("\\%s\\Setup.exe" % self.arch),
              "expected the quoted short form, saw %r" % r["file"])
        result = self.bench.wine.run(["winepath", "-u", started])
        lines = result.stdout.strip().splitlines()
        named = lines[-1] if result.returncode == 0 and lines else ""
        setup = os.path.join(media, self.arch, "Setup.exe")
        check(os.path.exists(named) and os.path.samefile(named, setup),
              "%r names %r, not the setup below the media folder" % (started, named))
        return started

    @staticmethod
    def setup_request(trace):
        """The run's one request to open a file: shown normally, with no
        parameters, directory or owner window."""
        requests = requests_with_verb(trace, "open")
        check(len(requests) == 1, "expected one setup request, saw %d" % len(requests))
        r = requests[0]
        check((r["show"], r["parameters"], r["directory"], r["hwnd"]) == (1, None, None, 0),
              "setup request not as expected: %r" % r)
        return r

    def setup_record(self, media):
        record = self.bench.setup_record(media, self.arch)
        check(wait_for(lambda: "cmdline=" in read(record), self.bench.wine.scaled(30)),
              "the setup did not run")
        return read(record)

    def no_setup(self, trace):
        check(not requests_with_verb(trace, "open"), "a setup request was made")
        time.sleep(0.2)
        check(not any(os.path.exists(self.bench.setup_record(self.bench.media, arch))
                      for arch in ("x86", "x64")), "a setup ran")

    def removal(self, trace, code):
        requests = requests_with_verb(trace, "runas")
        check(len(requests) == 1, "expected one removal request, saw %d" % len(requests))
        # By full path: a bare name would let the shell find a planted copy.
        expected = {"mask": 0x240, "hwnd": 0, "file": "C:\\windows\\system32\\msiexec.exe",
                    "parameters": " /uninstall %s /passive /promptrestart REBOOT=ReallySuppress"
                    % code, "directory": None, "show": 2}
        check({key: requests[0][key] for key in expected} == expected, "removal: %r" % requests[0])

    def upgraded(self, status, trace, product):
        """Removed by the elevated request, gone by the installer's answer, set up."""
        check(status == 0, "status %d" % status)
        self.removal(trace, product.code)
        check(not self.bench.is_installed(product), "the product is still installed")
        self.setup_started(trace)

    @staticmethod
    def boxes(trace, host, count):
        texts = boxes(trace)
        check(texts == ["%s is running.\n\nPlease close %s to progress." % (host, host)] * count,
              "expected %d prompts for %s, saw %r" % (count, host, texts))


@scenario
def no_argument(b, x):
    status, trace, _ = b.run_launcher([])
    check(status == 0 and not boxes(trace) and not shell_requests(trace),
          "status %d, boxes %r, shell requests %r" % (status, boxes(trace), shell_requests(trace)))
    x.no_setup(trace)
    return "status 0, no box, no shell request, no setup"


@scenario
def fresh_install(b, x):
    status, trace, elapsed = b.run_launcher([b.products["row1"].code])
    check(status == 0, "status %d" % status)
    check(not boxes(trace) and not requests_with_verb(trace, "runas"), "upgrade road taken")
    # The launcher has ended; the setup, which lives 4 s, must still run.
    check("ended" not in x.setup_started(trace), "the launcher waited for the setup")
    return "setup %s started, launcher ended first (%.1f s), status 0" % (x.arch, elapsed)


@scenario
def folder_outside_the_code_page(b, x):
    # Cyrillic and Polish letters that code page 1252 cannot spell, and a blank.
    media = b.make_media(os.path.join(b.wine.work, "Установка Łódź"))
    status, trace, _ = b.run_launcher([b.products["row1"].code], media=media)
    check(status == 0, "status %d" % status)
    x.setup_started(trace, media)
    return "setup started from exactly %s" % os.path.basename(media)


def nested_folder(base, letter, count):
    """A folder below base named with `count` letters, 100 at most a level."""
    return os.path.join(base, *[letter * min(100, count - i) for i in range(0, count, 100)])


@scenario
def folder_longer_than_250_bytes(b, x):
    # Under 260 characters, over 250 bytes in UTF-8: longer than the
    # launcher's first read of the current directory.
    base = len(unix_to_wine(b.wine.work))
    letters = min((300 - base) // 2 + 1, 240 - base)
    check(base + 2 * letters > 250, "the work folder is too long for this scenario")
    media = b.make_media(nested_folder(b.wine.work, "Ж", letters))
    status, trace, _ = b.run_launcher([b.products["row1"].code], media=media)
    check(status == 0, "status %d" % status)
    x.setup_started(trace, media)
    folder = unix_to_wine(media)
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
    # path in that memory. So the request is what is checked, and what it names.
    target = 250
    letters = target - len(unix_to_wine(b.wine.work)) - 1
    while len(unix_to_wine(nested_folder(b.wine.work, "d", letters))) > target:
        letters -= 1
    check(letters > 0, "the work folder is too long for this scenario")
    media = b.make_media(nested_folder(b.wine.work, "d", letters))
    status, trace, _ = b.run_launcher([b.products["row1"].code], media=media)
    check(status == 0 and not boxes(trace), "status %d, boxes %r" % (status, boxes(trace)))
    started = x.setup_requested_by_short_form(trace, media)
    return "setup requested as %s (%d characters) for a folder of %d characters" % (
        started, len(started), len(unix_to_wine(media)))


@scenario
def media_at_a_drive_root(b, x):
    # A disc or a USB stick: the current directory is the drive's root, which
    # Windows writes with its separator, "D:\\".
    media = b.make_media(os.path.join(b.wine.work, "Disc in D"))
    root = b.map_drive("D", media)
    try:
        status, trace, _ = b.run_launcher([b.products["row1"].code], media=media)
        check(status == 0, "status %d" % status)
        record = x.setup_started(trace, media, root)  # written through the drive
    finally:
        b.unmap_drive("D")
    return "setup requested as %s, ran as %s" % (
        x.setup_request(trace)["file"], record.split("path=")[1].split("\n")[0])


@scenario
def empty_argument(b, x):
    status, trace, _ = b.run_launcher([""])
    check(status == 0 and not requests_with_verb(trace, "runas"), "status %d, removal" % status)
    x.setup_started(trace)
    return "probe answered not installed for the empty code; setup started; status 0"


@scenario
def upgrade_host_not_running(b, x):
    product, another = b.products["row1"], b.product_with_another_host()
    b.install(product)
    if another:  # only this product's host holds the removal
        b.start_host(another.host)
    status, trace, _ = b.run_launcher([product.code])
    x.boxes(trace, product.host, 0)
    x.upgraded(status, trace, product)
    return "no box%s; removed elevated; setup started; status 0" % (
        " while %s of %s ran" % (another.host, another.name) if another else
        " (no other catalogued product has another host to run beside it)")


@scenario
def upgrade_host_running(b, x):
    product = b.products["row1"]
    b.install(product)
    running = product.host.upper()  # found in another letter case
    b.start_host(running)
    answers = [(product.title, "Return", b.on_prompt),
               (product.title, "Return", lambda _: b.stop_host())]
    status, trace, _ = b.run_launcher([product.code], answers=answers)
    x.boxes(trace, product.host, 2)
    x.upgraded(status, trace, product)
    return "box twice while %s ran, none after it closed; removed; setup; status 0" % running


@scenario
def upgrade_cancel(b, x):
    product = b.products["row1"]
    b.install(product)
    b.start_host(product.host.swapcase())
    status, trace, _ = b.run_launcher([product.code], answers=[(product.title, "Escape", None)])
    check(status == 1, "status %d" % status)
    x.boxes(trace, product.host, 1)
    check(not requests_with_verb(trace, "runas"), "a removal was requested")
    check(b.is_installed(product), "the product was removed")
    x.no_setup(trace)
    return "Escape at the prompt: status 1, product kept, no removal, no setup"


@scenario
def removal_fails(b, x):
    product = b.products["row1"]
    b.install(product)
    # A 32-bit launcher in a WOW64 prefix gets syswow64's copy.
    copies = [path for path in (os.path.join(b.wine.prefix, "drive_c", "windows", folder,
                                              "msiexec.exe") for folder in ("system32", "syswow64"))
              if os.path.exists(path)]
    for path in copies:
        os.rename(path, path + ".hidden")
    try:
        # The shell reports the missing program in a box of its own, which
        # the user dismisses; the launcher then goes on by itself.
        status, trace, _ = b.run_launcher([product.code], answers=[(None, "Return", None)])
    finally:
        for path in copies:
            os.rename(path + ".hidden", path)
    check(status == 0, "status %d" % status)
    check(len(boxes(trace)) == 1 and "is running" not in boxes(trace)[0],
          "boxes: %r" % boxes(trace))
    x.removal(trace, product.code)
    check(b.is_installed(product), "the product is gone")
    x.no_setup(trace)
    return "removal program missing: shell's error box; product kept, no setup, status 0"


@scenario
def code_outside_catalogue(b, x):
    product = b.products["other"]
    b.install(product)
    b.start_host(b.products["row1"].host)  # a catalogued host does not matter here
    status, trace, _ = b.run_launcher([product.code])
    x.boxes(trace, "", 0)
    x.upgraded(status, trace, product)
    return "no box; removed; setup started; status 0"


@scenario
def planted_files(b, x):
    # An msi.dll beside the launcher (Wine told to prefer it, as Windows would)
    # and an msiexec.exe in the current directory: neither may ever run.
    product = b.products["row1"]
    b.install(product)
    folder = os.path.join(b.wine.work, "Downloads")
    os.makedirs(folder)
    launcher = shutil.copy(b.launcher, folder)
    shutil.copy(b.fixture("msi.dll"), folder)
    planted = shutil.copy(b.fixture("e2e_planted_msiexec.exe"),
                          os.path.join(b.media, "msiexec.exe"))
    marker = os.path.join(folder, "msi.dll.loaded")
    prefer_beside = {"WINEDLLOVERRIDES": DLL_OVERRIDES + ";msi=n,b"}
    try:
        # Control: a program that imports msi.dll does load the planted copy.
        control = shutil.copy(b.fixture("e2e_probe.exe"), os.path.join(folder, "imports-msi.exe"))
        b.wine.run([control, product.code], extra=prefer_beside)
        check(os.path.exists(marker), "control: the planted msi.dll was not loaded at all")
        os.remove(marker)
        os.remove(control)
        status, trace, _ = b.run_launcher([product.code], launcher=launcher, extra=prefer_beside)
    finally:
        os.remove(planted)
    check(not os.path.exists(marker), "the planted msi.dll was loaded")
    check(not os.path.exists(os.path.join(b.media, "planted-msiexec-ran.txt")),
          "the planted msiexec.exe ran")
    x.upgraded(status, trace, product)
    return "planted msi.dll and msiexec.exe never ran; real removal by full path; setup"
