"""One Wine prefix on a private X display, the one environment of every Wine
program, and programs run with bounded waits."""
import glob
import os
import select
import shutil
import subprocess
import time

# No Mono or Gecko installer prompts in a new prefix.
DLL_OVERRIDES = "mscoree,mshtml="

# Wine's own fonts, where Debian's fonts-wine puts them. Debian's Wine does not
# look there, and without Marlett it draws a box's close button as the letter
# "r"; a prefix gets them in its own Fonts folder, where Wine does look.
WINE_FONTS = "/usr/share/wine/fonts"


class Failure(Exception):
    """A scenario's finding, or a bench that could not be set up."""


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


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return ""


def unix_to_wine(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WineSession:
    """On entry a new work folder, a display, a prefix (made, or copied from a
    template) and a desktop; on exit every program stopped. Every time bound
    is multiplied by time_scale (slow, emulated machines)."""

    def __init__(self, work, wine, wineserver, keeper=None, time_scale=1.0, template=None):
        self.work, self.wine, self.wineserver = os.path.abspath(work), wine, wineserver
        self.keeper, self.time_scale, self.template = keeper, time_scale, template
        self.prefix = os.path.join(self.work, "prefix")
        self.display, self.xvfb, self.children = None, None, []

    def scaled(self, seconds):
        return seconds * self.time_scale

    def __enter__(self):
        if os.path.isdir(self.prefix):
            self.stop_server()
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        try:
            self.start_display()
            if self.template:
                shutil.copytree(self.template, self.prefix, symlinks=True)
            else:
                self.make_prefix()
            self.start_desktop()
            return self
        except BaseException:
            self.close()
            raise

    def __exit__(self, *exc):
        self.close()

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
        check(self.xdotool("getdisplaygeometry"), "Xvfb does not answer; log: " + log_path)

    def make_prefix(self):
        result = self.run(["wineboot", "-i"], timeout=180)
        for font in glob.glob(os.path.join(WINE_FONTS, "*.ttf")):
            shutil.copy(font, os.path.join(self.prefix, "drive_c", "windows", "Fonts"))
        # Wine draws the frames itself: the private display has no window
        # manager, and a box without its title bar would hide the product.
        self.run(["reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Decorated", "/d", "N",
                  "/f"])
        # The registry reaches the disk when the server ends.
        subprocess.run([self.wineserver, "-w"], env=self.environment(), timeout=self.scaled(120))
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

    def start_stand_in(self, stand_in, file_name, *extra, **options):
        """Starts the host stand-in under a file name, in a new folder with its
        stop and ready files; returns it and its stop file once it runs."""
        folder = os.path.join(self.work, "host-" + file_name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        exe, stop, ready = (os.path.join(folder, n) for n in (file_name, "stop", "ready"))
        shutil.copy(stand_in, exe)
        process = self.start([exe, unix_to_wine(stop), unix_to_wine(ready)] + list(extra),
                             **options)
        check(wait_for(lambda: os.path.exists(ready), self.scaled(30)),
              file_name + " did not start")
        return process, stop

    def stop_server(self):
        """Ends the prefix's programs and server: one left from an earlier run
        would serve a new prefix that gets the old one's inode."""
        for flag in ("-k", "-w"):
            subprocess.run([self.wineserver, flag], env=self.environment(),
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=self.scaled(30))

    def environment(self, debug=None, extra=None):
        """What every Wine program gets; `extra` adds or replaces variables for
        one program. A UTF-8 locale lets Wine map any Unix folder name, and
        keeps the ANSI code page at 1252."""
        env = dict(os.environ, WINEPREFIX=self.prefix, WINEDLLOVERRIDES=DLL_OVERRIDES,
                   WINEDEBUG=debug or "-all", LANG="C.UTF-8", LC_ALL="C.UTF-8",
                   # Long enough to see that the launcher did not wait for the setup.
                   E2E_SETUP_STAY_MS=str(int(4000 * max(1.0, self.time_scale / 2))))
        if self.display:
            env["DISPLAY"] = self.display
        env.update(extra or {})
        return env

    def run(self, args, timeout=20, cwd=None, debug=None, extra=None):
        """Runs a Wine program to its end. Output goes to a file, not a pipe:
        Wine's services, started by the first program, inherit its handles
        and would hold a pipe open for the server's whole life."""
        output = os.path.join(self.work, "wine-output.txt")
        with open(output, "w") as out:
            try:
                status = subprocess.run([self.wine] + args, env=self.environment(debug, extra),
                                        cwd=cwd, timeout=self.scaled(timeout),
                                        stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=subprocess.STDOUT).returncode
            except subprocess.TimeoutExpired:
                raise Failure("Wine did not finish within %d s: %s; screen: %s" % (
                    self.scaled(timeout), " ".join(args), self.screenshot("wine-hung.png")))
        return subprocess.CompletedProcess(args, status, read(output), "")

    def start(self, args, cwd=None, debug=None, stderr=None, extra=None):
        process = subprocess.Popen([self.wine] + args, env=self.environment(debug, extra),
                                   cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=stderr or subprocess.DEVNULL)
        self.children.append(process)
        return process

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + list(args), env=self.environment(), timeout=15,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              text=True).stdout.split()

    def screenshot(self, path, window="root"):
        path = os.path.join(self.work, path)
        subprocess.run(["import", "-display", self.display, "-window", window, path],
                       timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def close(self):
        for process in self.children:
            process.kill()
            process.wait(10)
        if os.path.isdir(self.prefix):
            self.stop_server()
        if self.xvfb:
            self.xvfb.kill()
            self.xvfb.wait(10)
        self.children, self.xvfb = [], None
