"""What the scenarios act on in a session: media with fake setups, sample
products, a host stand-in, and launcher runs whose prompts are answered."""
import collections
import os
import shutil
import time
import unicodedata

from session import WINE_LOCALES, NotHere, check, read, stop, wait_for

# A sample product: each catalogue row (row1, row2 ...) and a code outside it
# (other, with no host), as the build wrote them to products.tsv. Packages
# exist for row1 and other only.
Product = collections.namedtuple("Product", "name code host title")
# A box as the box program found it: its window, place on the screen and text.
Box = collections.namedtuple("Box", "window rect text")
# A launcher run: its status, Wine's trace ("" on Windows), the boxes answered.
Run = collections.namedtuple("Run", "status trace seconds boxes")


# The prompt's English text, for every language without a row of its own.
ENGLISH = ("{host} is running.", "Please close {host} to progress.")
# A prompt as the user sees it.
Prompt = collections.namedtuple("Prompt", "text caption style")
STYLE, RIGHT_TO_LEFT = 0x35, 0x180000  # Retry/Cancel with the icon; MB_RTLREADING | MB_RIGHT
EMBED_LEFT_TO_RIGHT = "\u202A%s\u202C"

# Languages that read only the rows of the same language in the same script,
# whatever the country, from Microsoft's [MS-LCID]: Chinese Traditional (the
# rest of Chinese reads Simplified), and Croatian, Serbian and Bosnian, which
# share the primary language 0x1A.
SCRIPTS = dict([(l, 0x0404) for l in (0x0404, 0x0C04, 0x1404, 0x7C04)]
               + [(l, 0x041A) for l in (0x001A, 0x041A, 0x101A)]
               + [(l, 0x241A) for l in (0x081A, 0x181A, 0x241A, 0x2C1A, 0x701A, 0x7C1A)]
               + [(l, 0x281A) for l in (0x0C1A, 0x1C1A, 0x281A, 0x301A, 0x6C1A)]
               + [(l, 0x141A) for l in (0x141A, 0x681A, 0x781A)]
               + [(l, 0x201A) for l in (0x201A, 0x641A)])


def reads_like(language):
    """Languages that read each other's rows share this."""
    primary = language & 0x3FF
    return SCRIPTS.get(language, 0x0804 if primary == 0x04 else language if primary == 0x1A
                       else primary)


def reads_right_to_left(text):
    """Unicode's own rule, from Python's Unicode database: the first strong letter."""
    for character in text:
        direction = unicodedata.bidirectional(character)
        if direction in ("L", "R", "AL"):
            return direction != "L"
    return False


def read_table(fixtures, name):
    """The rows of a table that the build wrote beside the fixtures."""
    with open(os.path.join(fixtures, name), encoding="utf-8") as f:
        return [line.rstrip("\n").split("\t") for line in f if line.strip()]


def read_products(fixtures):
    return {p.name: p for p in (Product(*row) for row in read_table(fixtures, "products.tsv"))}


class Bench:
    def __init__(self, session, fixtures, launcher, pictures=None):
        """`pictures`: a folder for a picture of each box answered."""
        self.session, self.fixtures, self.launcher = session, fixtures, launcher
        self.products = read_products(fixtures)
        # The prompt's sentences by language, as the build read them.
        self.translations = {int(language, 16): tuple(sentences) for language, *sentences
                             in read_table(fixtures, "translations.tsv")}
        self.pictures = pictures and os.path.abspath(pictures)
        if pictures:
            os.makedirs(self.pictures, exist_ok=True)
        self.narrate = None  # told of each launcher run
        # The scenario's name, and what it saw that the README does not promise.
        self.scenario, self.reports, self.medias, self.runs = "", [], [], 0
        self.media = self.make_media(os.path.join(session.work, "Product Media", "Disc 1"))
        self.installed, self.host, self.drives = set(), None, []

    def product_with_another_host(self):
        """The first catalogued product whose host is not row1's, or None."""
        host = self.products["row1"].host.lower()
        return next((p for p in self.products.values()
                     if p.name.startswith("row") and p.host.lower() != host), None)

    def row(self, language):
        """The row a user of the language reads, by the launcher's rule: its
        own, else the file's first that reads like it; None: English."""
        return self.translations.get(language) or next(
            (row for other, row in self.translations.items()
             if language is not None and reads_like(other) == reads_like(language)), None)

    def prompt(self, product, language=None):
        """The prompt for the product as a user of the language sees it. A row
        that reads right to left turns the box, and the host's name, and a
        title that reads left to right, are embedded left to right."""
        running, close = self.row(language) or ENGLISH
        host, title, style = product.host, product.title, STYLE
        if reads_right_to_left((running + close).replace("{host}", "")):
            host, style = EMBED_LEFT_TO_RIGHT % host, STYLE | RIGHT_TO_LEFT
            title = title if reads_right_to_left(title) else EMBED_LEFT_TO_RIGHT % title
        return Prompt(running.replace("{host}", host) + "\n\n" + close.replace("{host}", host),
                      title, style)

    def language_with_row(self, language):
        """The language, where it has a row: a vendor may have removed it."""
        if language not in self.translations:
            raise NotHere("translations.tsv has no row for language 0x%04X" % language)
        return language

    def language_without_row(self, primary=None):
        """A language known here whose users read English, of that primary language."""
        language = next((language for language in WINE_LOCALES if language & 0x3FF != 0x09
                         and primary in (None, language & 0x3FF) and self.row(language) is None),
                        None)
        if language is None:
            raise NotHere("every language known here%s reads a row" % (
                "" if primary is None else " of primary language 0x%02X" % primary))
        return language

    def fixture(self, *name):
        return os.path.join(self.fixtures, *name)

    def make_media(self, folder):
        """A media folder with a fake Setup.exe below x86 and x64."""
        for arch in ("x86", "x64"):
            os.makedirs(os.path.join(folder, arch), exist_ok=True)
            shutil.copy(self.fixture("e2e_fake_setup.exe"), os.path.join(folder, arch, "Setup.exe"))
        self.medias.append(folder)
        return folder

    def map_drive(self, folder):
        """A drive mapped to the folder until the scenario's setups have ended."""
        self.drives.append(self.session.map_drive(folder))
        return self.drives[-1]

    @staticmethod
    def setup_record(media, arch):
        return os.path.join(media, arch, "setup-ran.txt")

    def release(self, run):
        return os.path.join(self.session.work, "release-%d" % run)

    def tidy(self):
        """After a scenario: its host stopped, its products removed, every
        setup it started let go and ended, its record gone, its drives unmapped."""
        self.stop_host()
        for product in sorted(self.installed):
            self.session.run(["msiexec", "/x", product.code, "/qn"], timeout=120)
        self.installed = set()
        for run in range(1, self.runs + 1):
            open(self.release(run), "a").close()
        for record in (self.setup_record(m, a) for m in self.medias for a in ("x86", "x64")):
            if os.path.exists(record):
                check(wait_for(lambda: "ended" in read(record), self.session.scaled(30)),
                      "a setup did not end when let go: " + record)
                os.remove(record)
        while self.drives:
            self.session.unmap_drive(self.drives.pop())

    def is_installed(self, product):
        # The installer's own answer, to the same query the launcher makes.
        result = self.session.run([self.fixture("e2e_probe.exe"), product.code])
        check(result.returncode in (0, 1), "the installer query failed (%d)" % result.returncode)
        return result.returncode == 0

    def install(self, product):
        package = self.session.windows_path(self.fixture(product.name + ".msi"))
        # Removed afterwards even if the install fails half-way.
        self.installed.add(product)
        result = self.session.run(["msiexec", "/i", package, "/qn"], timeout=120)
        check(result.returncode == 0 and self.is_installed(product),
              "could not install %s (msiexec: %d)" % (product.name, result.returncode))

    def start_host(self, file_name):
        """Starts the host stand-in under a file name, until stop_host()."""
        self.host = self.session.start_stand_in(self.fixture("e2e_host_app.exe"), file_name)

    def stop_host(self):
        if self.host:
            process, stop_file = self.host
            open(stop_file, "w").close()
            if not wait_for(lambda: process.poll() is not None, self.session.scaled(15)):
                stop(process)
            self.host = None

    def run_launcher(self, args, answers=(), media=None, launcher=None, extra=None):
        """Runs the launcher from a media folder, answering each box with the
        next of `answers`, a list of (caption, action, before): `before(box)`
        runs just before the answer; caption None takes any box."""
        self.runs += 1
        trace_path = os.path.join(self.session.work, "trace.txt")
        release = self.session.windows_path(self.release(self.runs))
        env = dict(extra or {}, E2E_SETUP_RELEASE=release)
        boxes = []
        with open(trace_path, "w") as trace:
            started = time.monotonic()
            process = self.session.start([launcher or self.launcher] + list(args),
                                         cwd=media or self.media, debug="+relay,+exec,fixme-all",
                                         stderr=trace, extra=env)
            for number, (caption, action, before) in enumerate(answers, start=1):
                box = self.wait_for_box(number, caption, process)
                boxes.append(box)
                if self.pictures:
                    note = self.session.picture(box, os.path.join(
                        self.pictures, "%s-%d" % (self.scenario, number)))
                    if note:
                        self.reports.append(note)
                if before:
                    before(box)
                result = self.session.run([self.session.box, "answer", box.window, action,
                                           str(int(self.session.scaled(15) * 1000))], timeout=30)
                check(result.returncode == 0, "prompt %d did not take the answer %s: %s"
                      % (number, action, result.stdout.strip()))
            if not wait_for(lambda: process.poll() is not None, self.session.scaled(20)):
                stop(process)
                check(False, "the launcher did not end" + self.session.screen("launcher-hung.png"))
        run = Run(process.returncode, read(trace_path), time.monotonic() - started, boxes)
        if self.narrate:
            self.narrate(list(args), run)
        return run

    def wait_for_box(self, number, caption, launcher):
        """The box program waits for the box while the launcher is watched: a
        launcher that ends first has shown none."""
        found = os.path.join(self.session.work, "box.txt")
        if os.path.exists(found):
            os.remove(found)
        limit = self.session.scaled(30)
        waiter = self.session.start(
            [self.session.box, "wait"] + ([] if caption is None else [caption])
            + [str(int(limit * 1000)), self.session.windows_path(found)])
        wait_for(lambda: waiter.poll() is not None or launcher.poll() is not None, limit + 10)
        if waiter.poll() is None:
            stop(waiter)
        check(waiter.returncode == 0, "prompt %d (%s) did not appear; launcher %s" % (
            number, caption, "ended" if launcher.poll() is not None else "running"))
        head, text = read(found).split("\n", 1)
        window, *rect = head.split()
        return Box(window, [int(n) for n in rect], text)
