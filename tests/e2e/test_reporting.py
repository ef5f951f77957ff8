"""The harness's own output, as Windows pipes it: in the system's code page,
which cannot spell every line. Runs run_e2e.py itself, without Wine: a
launcher that is not there fails the suite at once, naming its path."""
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))


class Reporting(unittest.TestCase):
    def test_a_line_the_pipe_cannot_spell_is_escaped_and_logged_whole(self):
        with tempfile.TemporaryDirectory() as work:
            launcher = os.path.join(work, "Установка Łódź", "SetupLauncher.exe")
            log = os.path.join(work, "run.log")
            result = subprocess.run(
                [sys.executable, "-B", os.path.join(HERE, "run_e2e.py"), "--launcher", launcher,
                 "--fixtures", work, "--work", os.path.join(work, "e2e"), "--log", log,
                 "--only", "fresh_install"],
                env=dict(os.environ, PYTHONIOENCODING="cp1252"), stdout=subprocess.PIPE,
                stderr=subprocess.PIPE, timeout=60)
            self.assertEqual(1, result.returncode, result.stderr.decode("utf-8", "replace"))
            self.assertEqual(b"", result.stderr)
            out = result.stdout.decode("cp1252")
            self.assertIn("SUITE FAILED: missing: ", out)
            self.assertIn("\\u0423\\u0441\\u0442\\u0430\\u043d\\u043e\\u0432\\u043a\\u0430 \\u0141ód\\u017a", out)
            self.assertIn("0 passed, 1 failed", out.splitlines()[-1])
            with open(log, encoding="utf-8") as f:
                logged = f.read().splitlines()
            self.assertEqual("SUITE FAILED: missing: " + launcher, logged[0])
            self.assertEqual(out.splitlines()[1:], logged[1:])


if __name__ == "__main__":
    unittest.main()
