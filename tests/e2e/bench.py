"""What the scenarios act on in a Wine session: media with fake setups, sample
products, a host stand-in, and launcher runs whose prompts are answered."""
import collections
import os
import re
import shutil
import subprocess
import time

from session import Failure, check, read, wait_for

# A sample product: each catalogue row (row1, row2 ...) and a code outside it
# (other, with no host), as the build wrote them to products.tsv. Packages
# exist for row1 and other only.
Product = collections.namedtuple("Product", "name code host title")


def read_products(fixtures):
    with open(os.path.join(fixtures, "products.tsv"), encoding="utf-8") as f:
        products = [Product(*line.rstrip("\n").split("\t")) for line in f if line.strip()]
    return {p.name: p for p in products}


class Bench:
    def __init__(self, session, fixtures, launcher):
        self.wine, self.fixtures, self.launcher = session, fixtures, launcher
        self.products = read_products(fixtures)
        # For the demo: told of each launcher run, and shown the first prompt.
        self.narrate = self.on_prompt = None
        self.media = self.make_media(os.path.join(session.work, "Product Media", "Disc 1"))
        self.installed, self.host = set(), None

    def product_with_another_host(self):
        """The first catalogued product whose host is not row1's, or None."""
        host = self.products["row1"].host.lower()
        return next((p for p in self.products.values()
                     if p.name.startswith("row") and p.host.lower() != host), None)

    def fixture(self, name):
        return os.path.join(self.fixtures, name)

    def make_media(self, folder):
        """A media folder with a fake Setup.exe below x86 and x64."""
        for arch in ("x86", "x64"):
            os.makedirs(os.path.join(folder, arch), exist_ok=True)
            shutil.copy(self.fixture("e2e_fake_setup.exe"), os.path.join(folder, arch, "Setup.exe"))
        return folder

    def map_drive(self, letter, folder):
        """Maps a drive letter to a folder, as a disc or a USB stick is mapped;
        returns the drive's root as Windows writes it, "D:\\"."""
        link = os.path.join(self.wine.prefix, "dosdevices", letter.lower() + ":")
        check(not os.path.lexists(link), "drive %s: is taken in this prefix" % letter)
        os.symlink(folder, link)
        return letter.upper() + ":\\"

    def unmap_drive(self, letter):
        os.remove(os.path.join(self.wine.prefix, "dosdevices", letter.lower() + ":"))

    @staticmethod
    def setup_record(media, arch):
        return os.path.join(media, arch, "setup-ran.txt")

    def clear_setup_records(self):
        for path in (self.setup_record(self.media, arch) for arch in ("x86", "x64")):
            # A setup from the previous scenario may still be writing its record.
            wait_for(lambda: "ended" in read(path) or not os.path.exists(path),
                     self.wine.scaled(10))
            if os.path.exists(path):
                os.remove(path)

    def is_installed(self, product):
        # The installer's own answer, to the same query the launcher makes.
        result = self.wine.run([self.fixture("e2e_probe.exe"), product.code])
        check(result.returncode in (0, 1), "the installer query failed (%d)" % result.returncode)
        return result.returncode == 0

    def install(self, product):
        result = self.wine.run(["msiexec", "/i", self.fixture(product.name + ".msi"), "/qn"],
                               timeout=120)
        check(result.returncode == 0 and self.is_installed(product),
              "could not install " + product.name)
        self.installed.add(product)

    def reset_products(self):
        for product in sorted(self.installed):
            self.wine.run(["msiexec", "/x", product.code, "/qn"], timeout=120)
        self.installed = set()

    def start_host(self, file_name):
        """Starts the host stand-in under a file name, until stop_host()."""
        self.host = self.wine.start_stand_in(self.fixture("e2e_host_app.exe"), file_name)

    def stop_host(self):
        if self.host:
            process, stop = self.host
            open(stop, "w").close()
            try:
                process.wait(timeout=self.wine.scaled(15))
            except subprocess.TimeoutExpired:
                process.kill()
            self.host = None

    def run_launcher(self, args, answers=(), media=None, launcher=None, extra=None):
        """Runs the launcher from a media folder, answering each box with the
        next of `answers`, a list of (caption, key, before): `before(window)`
        runs just before the key press. Returns (status, trace, seconds)."""
        trace_path = os.path.join(self.wine.work, "trace.txt")
        with open(trace_path, "w") as trace:
            started = time.monotonic()
            process = self.wine.start([launcher or self.launcher] + list(args),
                                      cwd=media or self.media, debug="+msgbox,+exec,fixme-all",
                                      stderr=trace, extra=extra)
            for number, (caption, key, before) in enumerate(answers, start=1):
                window = self.wait_for_box(number, caption, process, trace_path)
                if before:
                    before(window)
                # Focus the box, then type as a user would: Wine ignores keys
                # sent to a window directly.
                self.wine.xdotool("windowfocus", "--sync", window)
                self.wine.xdotool("key", key)
                check(wait_for(lambda: window not in self.box_windows(None), self.wine.scaled(5)),
                      "prompt %d did not take the key %s" % (number, key))
            try:
                status = process.wait(timeout=self.wine.scaled(20))
            except subprocess.TimeoutExpired:
                process.kill()
                raise Failure("the launcher did not end; screen: "
                              + self.wine.screenshot("launcher-hung.png"))
        if self.narrate:
            self.narrate(list(args), status, read(trace_path))
        return status, read(trace_path), time.monotonic() - started

    def box_windows(self, caption):
        pattern = "." if caption is None else "^%s$" % re.escape(caption)  # None: any window
        return self.wine.xdotool("search", "--onlyvisible", "--name", pattern)

    def wait_for_box(self, number, caption, process, trace_path):
        def shown():  # the box's windows once it is up; True if the launcher ended first
            if read(trace_path).count("MSGBOX_OnInit") >= number:
                return self.box_windows(caption)
            return process.poll() is not None

        found = wait_for(shown, self.wine.scaled(30))
        errors = [line for line in read(trace_path).splitlines() if ":err:" in line][:5]
        check(found and found is not True, "prompt %d (%s) did not appear; launcher %s; errors %r"
              % (number, caption, "ended" if found else "running", errors))
        time.sleep(self.wine.scaled(0.5))  # Wine's box ignores keys until it has settled
        return found[-1]
