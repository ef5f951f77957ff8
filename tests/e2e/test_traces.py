"""The trace readers against real Wine traces, whose other lines must not
count (fixtures/traces)."""
import os
import unittest

from traces import box_calls, requests_with_verb, shell_requests

SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixtures", "traces")
MEDIA = "Z:\\work\\dev\\build\\win64-wine\\e2e-work\\"


def sample(name):
    with open(os.path.join(SAMPLES, name), encoding="utf-8") as f:
        return f.read()


class TraceReaders(unittest.TestCase):
    def test_requests_with_every_field(self):
        trace = sample("upgrade.txt")
        removal = {"mask": 0x240, "hwnd": 0, "verb": "runas",
                   "file": "C:\\windows\\system32\\msiexec.exe", "parameters": " /uninstall "
                   "{A4F08C3B-1E6D-47B2-9C05-E3B71D8A6F20} /passive /promptrestart "
                   "REBOOT=ReallySuppress", "directory": None, "show": 2, "whole": True}
        setup = {"mask": 0x400, "hwnd": 0, "verb": "open", "parameters": None, "directory": None,
                 "file": '"%sProduct Media\\Disc 1\\x86\\Setup.exe"' % MEDIA, "show": 1,
                 "whole": True}
        self.assertEqual([removal, setup], shell_requests(trace))
        self.assertEqual([removal], requests_with_verb(trace, "runas"))

    def test_box_calls_narrow_in_utf8_cut_short_and_wide(self):
        narrow, wide = box_calls(sample("right-to-left.txt"))
        host = "\u202aWinWord.exe\u202c"
        arabic = "التطبيق %s قيد التشغيل.\n\nيرجى إغلاق %s للمتابعة." % (host, host)
        self.assertEqual(("MessageBoxA", 0, 0x180035, False, "\u202aTessawrite\u202c"), (
            narrow["function"], narrow["owner"], narrow["style"], narrow["whole"],
            narrow["caption"]))
        # Cut in the middle of a letter's bytes.
        self.assertTrue(narrow["text"].endswith("\ufffd"), narrow["text"])
        self.assertTrue(arabic.startswith(narrow["text"][:-1]), narrow["text"])
        self.assertEqual(("MessageBoxW", True), (wide["function"], wide["whole"]))
        self.assertEqual("היישום %s פועל.\n\nיש לסגור את %s כדי להמשיך." % (host, host),
                         wide["text"])

    def test_text_outside_ascii(self):
        [request] = shell_requests(sample("non-ascii-folder.txt"))
        self.assertEqual('"%sУстановка Łódź\\x86\\Setup.exe"' % MEDIA, request["file"])
        self.assertTrue(request["whole"])

    def test_text_cut_short(self):
        [request] = shell_requests(sample("long-folder.txt"))
        self.assertFalse(request["whole"])
        self.assertTrue(request["file"].startswith('"%sЖЖЖЖ' % MEDIA), request["file"])
        self.assertEqual((None, 1), (request["parameters"], request["show"]))


if __name__ == "__main__":
    unittest.main()
