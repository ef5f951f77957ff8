"""Where the scenarios run: a Wine prefix on a private X display here, or
Windows itself. What differs between the two stands in this file alone: what
a session sets up first, how a program is started, how paths are written, how
a drive is mapped, whether Wine's trace is there, and how a box is pictured."""
import ctypes
import glob
import os
import select
import shutil
import subprocess
import time

# No Mono or Gecko installer prompts in a new prefix. msi.dll as Windows
# finds it, which is not one of its KnownDLLs: a copy in the program's folder
# first, then the system's; Wine otherwise takes its own and ignores a copy.
DLL_OVERRIDES = "mscoree,mshtml=;msi=n,b"

# Wine's own fonts, where Debian's fonts-wine puts them. Debian's Wine does not
# look there, and without Marlett it draws a box's close button as the letter
# "r"; a prefix gets them in its own Fonts folder, where Wine does look.
WINE_FONTS = "/usr/share/wine/fonts"


# Windows languages and the Unix locales under which Wine answers each from
# GetUserDefaultUILanguage (measured under Wine 8): the prompt's languages,
# and a few that have no row, for users who read the English text (Icelandic,
# Bosnian, Serbian in Cyrillic). A modifier follows the code set, which Wine
# reads first: sr_RS.UTF-8@cyrillic gives 0x281A, sr_RS@cyrillic.UTF-8 0x0409.
WINE_LOCALES = {
    0x0407: "de_DE", 0x040C: "fr_FR", 0x0C0A: "es_ES", 0x0410: "it_IT", 0x0416: "pt_BR",
    0x0816: "pt_PT", 0x0413: "nl_NL", 0x0415: "pl_PL", 0x0405: "cs_CZ", 0x0419: "ru_RU",
    0x0422: "uk_UA", 0x041F: "tr_TR", 0x0411: "ja_JP", 0x0412: "ko_KR", 0x0804: "zh_CN",
    0x0404: "zh_TW", 0x041D: "sv_SE", 0x040B: "fi_FI", 0x0406: "da_DK", 0x0408: "el_GR",
    0x0401: "ar_SA", 0x0402: "bg_BG", 0x041A: "hr_HR", 0x0425: "et_EE", 0x040D: "he_IL",
    0x040E: "hu_HU", 0x0426: "lv_LV", 0x0427: "lt_LT", 0x0414: "nb_NO", 0x0418: "ro_RO",
    0x241A: "sr", 0x041B: "sk_SK", 0x0424: "sl_SI", 0x041E: "th_TH",
    0x040F: "is_IS", 0x141A: "bs", 0x281A: "sr_RS@cyrillic",
}

# Wine prints the box calls' arguments under +relay for these functions only.
RELAY_INCLUDE = "user32.MessageBoxA;user32.MessageBoxW"


class Failure(Exception):
    """A scenario's finding, or a bench that could not be set up."""


class NotHere(Exception):
    """A scenario that cannot run in this place, and why."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, timeout, interval=0.05):
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        time.sleep(interval)


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return ""


def call(args, timeout, **options):
    """A harness call bounded in time: one that does not end is a finding."""
    try:
        return subprocess.run(args, timeout=timeout, **options)
    except subprocess.TimeoutExpired:
        raise Failure("%s did not end within %.0f s" % (" ".join(map(str, args)), timeout))


def stop(process):
    process.kill()
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        raise Failure("%r did not end when killed" % process.args)


class WindowsSession:
    """Windows itself: on entry a new work folder, on exit every program of the
    session stopped. Every time bound is multiplied by time_scale (slow,
    emulated machines)."""
    is_wine = False

    def __init__(self, work, box, time_scale=1.0, without_short_names=False):
        self.work, self.box, self.time_scale = work, box, time_scale
        # New folders on the work volume get no short (8.3) name.
        self.without_short_names = without_short_names
        self.children = []

    def scaled(self, seconds):
        return seconds * self.time_scale

    def __enter__(self):
        self.clear()
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        try:
            self.set_up()
            return self
        except BaseException:
            self.close()
            raise

    def __exit__(self, *exc):
        self.close()

    def environment(self, debug=None, extra=None):
        # A setup stays until its run's release file exists, or this long.
        env = dict(os.environ, E2E_SETUP_STAY_MS=str(int(self.scaled(120) * 1000)))
        env.update(extra or {})
        return env

    def run(self, args, timeout=20, cwd=None, debug=None, extra=None):
        """Runs a program to its end. Output goes to a file, not a pipe: Wine's
        services, started by the first program, inherit its handles and would
        hold a pipe open for the server's whole life."""
        output = os.path.join(self.work, "output.txt")
        with open(output, "w") as out:
            try:
                status = subprocess.run(self.command(args), env=self.environment(debug, extra),
                                        timeout=self.scaled(timeout),
                                        cwd=cwd and self.directory(cwd),
                                        stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=subprocess.STDOUT).returncode
            except subprocess.TimeoutExpired:
                raise Failure("%s did not finish within %d s%s" % (
                    " ".join(args), self.scaled(timeout), self.screen("hung.png")))
        return subprocess.CompletedProcess(args, status, read(output), "")

    def start(self, args, cwd=None, debug=None, stderr=None, extra=None):
        process = subprocess.Popen(self.command(args), env=self.environment(debug, extra),
                                   cwd=cwd and self.directory(cwd), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=stderr or subprocess.DEVNULL)
        self.children.append(process)
        return process

    def start_stand_in(self, stand_in, file_name, *extra, **options):
        """Starts the host stand-in under a file name, in a new folder with its
        stop and ready files; returns it and its stop file once it runs."""
        folder = os.path.join(self.work, "host-" + file_name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        exe, stop_file, ready = (os.path.join(folder, n) for n in (file_name, "stop", "ready"))
        shutil.copy(stand_in, exe)
        process = self.start([exe, self.windows_path(stop_file), self.windows_path(ready)]
                             + list(extra), **options)
        check(wait_for(lambda: os.path.exists(ready), self.scaled(30)),
              file_name + " did not start")
        return process, stop_file

    def map_drive(self, folder):
        """Maps a free drive letter to a folder, as a disc or a USB stick is
        mapped; returns the drive's root as Windows writes it, "D:\\"."""
        letter = next((c for c in "DEFGHIJKLMNOPQRSTUVWXYZ" if not self.drive_taken(c)), None)
        check(letter, "no drive letter is free")
        self.map(letter, folder)
        return letter + ":\\"

    def close(self):
        for process in self.children:
            stop(process)
        self.children = []
        self.clear()

    def screen(self, name):
        return ""

    def speaking(self, language):
        """What a program's environment needs for a user of this language."""
        raise NotHere("Windows' language is the user's own, which a run cannot switch "
                      "(GitHub's runners are English)")

    # Windows needs nothing set up and starts programs directly; the work
    # folder's long-path form (\\?\) takes Python's file calls past MAX_PATH.

    def set_up(self):
        self.work = "\\\\?\\" + os.path.abspath(self.work)

    def clear(self):
        pass

    def command(self, args):
        return [self.windows_path(args[0])] + list(args[1:])

    def windows_path(self, path):
        return path[4:] if path.startswith("\\\\?\\") else path

    def directory(self, path):
        """Where a program starts, as the place takes it."""
        return self.windows_path(path)

    def drive_taken(self, letter):
        # An empty DVD drive or a disconnected mapping holds its letter but
        # has no root to see.
        return ctypes.windll.kernel32.GetLogicalDrives() >> (ord(letter) - ord("A")) & 1

    def map(self, letter, folder):
        check(call(["subst", letter + ":", self.windows_path(folder)], 30).returncode == 0,
              "subst could not map %s:" % letter)

    def unmap_drive(self, root):
        call(["subst", root[:2], "/d"], 30)

    def short_path(self, path):
        """The path's short (8.3) form as Windows gives it."""
        buffer = ctypes.create_unicode_buffer(32768)
        ctypes.windll.kernel32.GetShortPathNameW(path, buffer, len(buffer))
        return self.windows_path(buffer.value or path)

    def picture(self, box, path):
        """The box as drawn; what stops it (a session without a desktop, as
        Arm64 runners may have) is told, not a failure."""
        result = self.run([self.box, "picture", box.window, path + ".bmp"])
        return None if result.returncode == 0 else "no picture of the box: " + result.stdout


class WineSession(WindowsSession):
    """A Wine prefix (made, or copied from a template) on a private X display,
    with a desktop that stays up for the whole session."""
    is_wine = True

    def __init__(self, work, box, wine, wineserver, keeper=None, time_scale=1.0, template=None):
        super().__init__(os.path.abspath(work), box, time_scale)
        self.wine, self.wineserver, self.keeper, self.template = wine, wineserver, keeper, template
        self.prefix = os.path.join(self.work, "prefix")
        self.display, self.xvfb = None, None

    def set_up(self):
        self.start_display()
        if self.template:
            shutil.copytree(self.template, self.prefix, symlinks=True)
        else:
            self.make_prefix()
        self.start_desktop()

    def start_display(self):
        """Xvfb writes its display number and the line feed in two writes, and
        ends itself if the reader has gone by the second: read to the line feed."""
        log_path = os.path.join(self.work, "xvfb.log")
        read_end, write_end = os.pipe()
        with open(log_path, "w") as log:
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp"], pass_fds=(write_end,), stdout=log, stderr=log)
        os.close(write_end)
        answer, chunk, end = b"", b"-", time.monotonic() + self.scaled(15)
        while chunk and not answer.endswith(b"\n") and time.monotonic() < end:
            if select.select([read_end], [], [], max(0, end - time.monotonic()))[0]:
                chunk = os.read(read_end, 16)
                answer += chunk
        os.close(read_end)
        check(answer.endswith(b"\n") and answer.strip().isdigit(),
              "Xvfb did not start (read %r); log: %s" % (answer, log_path))
        self.display = ":" + answer.decode().strip()
        check(call(["xwininfo", "-root"], 15, env=self.environment(), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL).returncode == 0,
              "Xvfb does not answer; log: " + log_path)

    def make_prefix(self):
        result = self.run(["wineboot", "-i"], timeout=180)
        for font in glob.glob(os.path.join(WINE_FONTS, "*.ttf")):
            shutil.copy(font, os.path.join(self.prefix, "drive_c", "windows", "Fonts"))
        # The private display has no window manager: Wine draws the frames
        # itself (a box without its title bar would hide the product), and
        # does not wait for one, 2 s a box, to hide a window.
        for value in ("Decorated", "Managed"):
            self.run(["reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", value, "/d", "N",
                      "/f"])
        self.run(["reg", "add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/d",
                  RELAY_INCLUDE, "/f"])
        # The registry reaches the disk when the server ends.
        call([self.wineserver, "-w"], self.scaled(120), env=self.environment())
        check(result.returncode == 0 and os.path.isfile(os.path.join(self.prefix, "system.reg")),
              "Wine could not make a prefix: " + result.stdout[-2000:])

    def start_desktop(self):
        """Wine's desktop ends soon after its last window closes, and a program
        that opens a window meanwhile gets no display: the keeper's hidden
        window keeps it up for the whole session."""
        log_path = os.path.join(self.work, "desktop.log")
        with open(log_path, "w") as log:
            self.start_stand_in(self.keeper, "desktop-keeper.exe", "--hidden-window", stderr=log,
                                debug="fixme-all")
        check("nodrv_CreateWindow" not in read(log_path),
              "Wine's desktop has no display driver; log: " + log_path)

    def clear(self):
        """Ends the prefix's programs and server: one left from an earlier run
        would serve a new prefix that gets the old one's inode."""
        if os.path.isdir(self.prefix):
            for flag in ("-k", "-w"):
                call([self.wineserver, flag], self.scaled(30), env=self.environment(),
                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL)
        if self.xvfb:
            stop(self.xvfb)
            self.xvfb = None

    def environment(self, debug=None, extra=None):
        """A UTF-8 locale lets Wine map any Unix folder name, and keeps the
        ANSI code page at 1252."""
        env = dict(WINEPREFIX=self.prefix, WINEDLLOVERRIDES=DLL_OVERRIDES,
                   WINEDEBUG=debug or "-all", LANG="C.UTF-8", LC_ALL="C.UTF-8")
        if self.display:
            env["DISPLAY"] = self.display
        env.update(extra or {})
        return super().environment(extra=env)

    def speaking(self, language):
        """Wine takes the user's language, and its code page, from the locale
        given as LC_ALL, installed or not."""
        if language not in WINE_LOCALES:
            raise NotHere("no Unix locale is known here for language 0x%04X" % language)
        name, at, modifier = WINE_LOCALES[language].partition("@")
        locale = name + ".UTF-8" + at + modifier  # UTF-8, so any folder name maps
        return {"LANG": locale, "LC_ALL": locale}

    def command(self, args):
        return [self.wine] + list(args)

    def windows_path(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def directory(self, path):
        """A Unix folder; a drive's root is the folder mapped to it."""
        if len(path) == 3 and path.endswith(":\\"):
            return os.readlink(self.dosdevice(path[0]))
        return path

    def dosdevice(self, letter):
        """The prefix's link that maps a drive letter to a Unix folder."""
        return os.path.join(self.prefix, "dosdevices", letter.lower() + ":")

    def drive_taken(self, letter):
        return os.path.lexists(self.dosdevice(letter))

    def map(self, letter, folder):
        os.symlink(folder, self.dosdevice(letter))

    def unmap_drive(self, root):
        os.remove(self.dosdevice(root[0]))

    def screen(self, name):
        path = os.path.join(self.work, name)
        if not shutil.which("import"):  # the emulated machine has no ImageMagick
            return ""
        call(["import", "-display", self.display, "-window", "root", path], 30)
        return "; screen: " + path

    def picture(self, box, path):
        """The box's place on the X display, which has no window manager: the
        box's own PrintWindow draws nothing under Wine. Wine draws the frame,
        so the top strip has the caption's colour and writing in it, unlike
        the box's empty bottom margin."""
        left, top, right, bottom = box.rect
        path += ".png"
        call(["import", "-display", self.display, "-window", "root", "-crop",
              "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage", path], 30)
        # Mean and spread of the brightness of each strip.
        title, writing, margin, _ = map(float, call(
            ["convert", path, "(", "+clone", "-gravity", "NorthWest", "-crop", "120x12+4+4", ")",
             "(", "-clone", "0", "-gravity", "SouthWest", "-crop", "120x3+4+3", ")", "-delete", "0",
             "+repage", "-format", "%[fx:mean] %[fx:standard_deviation] ", "info:"], 30,
            stdout=subprocess.PIPE, text=True).stdout.split())
        check(abs(title - margin) > 0.2 and writing > 0.03, "no title bar on %s (title %.2f, "
              "margin %.2f, writing %.2f)" % (path, title, margin, writing))
