#!/usr/bin/python3
"""Checks of the built launcher image: what Windows sees before any code runs.

Usage: check_image.py EXE --machine x86|AMD64 [--version V] [--msvc] [Image.test_NAME ...]
The version defaults to the build's, from the CMakeCache.txt in the exe's
folder or above it. --msvc: an MSVC image, whose runtime and linker differ.
"""
import argparse
import os
import re
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ET

import pefile

EXE = MACHINE = VERSION = MSVC = None
HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.join(HERE, "..", "..", "src", "resources")
MANIFEST_SOURCE = os.path.join(RESOURCES, "SetupLauncher.manifest")
RC_SOURCE = os.path.join(RESOURCES, "launcher.rc")

# DLLs that every supported Windows ships; anything else would have to travel
# with the exe.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "msvcrt.dll", "advapi32.dll"}

# The launcher's own calls and those of the toolchain's code linked into it
# (mingw-w64's start-up code, libgcc), each in kernel32 since Windows 2000.
WINDOWS_2000_KERNEL32 = {
    "CloseHandle", "CreateToolhelp32Snapshot", "DeleteCriticalSection", "EnterCriticalSection",
    "FreeLibrary", "GetACP", "GetCurrentDirectoryA", "GetCurrentProcess", "GetLastError",
    "GetModuleHandleA", "GetProcAddress", "GetShortPathNameA", "GetStartupInfoA",
    "GetSystemDirectoryA", "GetUserDefaultUILanguage",
    "InitializeCriticalSection", "LeaveCriticalSection", "LoadLibraryA", "LoadLibraryExA",
    "MultiByteToWideChar", "Process32First", "Process32Next", "SetUnhandledExceptionFilter",
    "Sleep", "TlsGetValue", "VirtualProtect", "VirtualQuery", "WaitForSingleObject",
}

RT_MANIFEST = 24
RT_VERSION = 16


def mingw_only(why):
    """Skips a check that holds the mingw image, saying why an MSVC one differs."""
    def decorate(test):
        def run(self):
            if MSVC:
                self.skipTest("mingw image only: " + why)
            test(self)
        run.__name__ = test.__name__
        return run
    return decorate


def build_version(exe):
    """The version the build was configured with, from the CMake cache in the
    exe's folder or one above it (an MSVC build puts the exe in Release/)."""
    folder = os.path.dirname(os.path.abspath(exe))
    while True:
        cache = os.path.join(folder, "CMakeCache.txt")
        if os.path.isfile(cache):
            with open(cache, encoding="utf-8") as f:
                found = re.search(r"^CMAKE_PROJECT_VERSION:\w+=(.*)$", f.read(), re.M)
            if found:
                return found.group(1)
        if os.path.dirname(folder) == folder:
            sys.exit("no CMakeCache.txt with the project's version above %s: give --version" % exe)
        folder = os.path.dirname(folder)


def load():
    pe = pefile.PE(EXE)
    return pe


class Image(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = load()
        cls.imports = {
            entry.dll.decode().lower(): {imp.name.decode() for imp in entry.imports if imp.name}
            for entry in cls.pe.DIRECTORY_ENTRY_IMPORT
        }

    def resource(self, type_id):
        for rtype in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            if rtype.id == type_id:
                found = []
                for name in rtype.directory.entries:
                    for lang in name.directory.entries:
                        data = lang.data.struct
                        found.append((name.id, self.pe.get_data(data.OffsetToData, data.Size)))
                return found
        return []

    def test_machine_and_gui_subsystem(self):
        expected = {"x86": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
                    "AMD64": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]}[MACHINE]
        self.assertEqual(expected, self.pe.FILE_HEADER.Machine)
        self.assertEqual(pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"],
                         self.pe.OPTIONAL_HEADER.Subsystem)
        if MACHINE == "x86":
            self.assertEqual(0x10B, self.pe.OPTIONAL_HEADER.Magic)  # PE32, not PE32+

    def test_manifest_is_the_trust_block_and_the_utf8_code_page(self):
        manifests = self.resource(RT_MANIFEST)
        self.assertEqual(1, len(manifests), "one application manifest")
        resource_id, data = manifests[0]
        self.assertEqual(1, resource_id)  # CREATEPROCESS_MANIFEST_RESOURCE_ID
        with open(MANIFEST_SOURCE, "rb") as f:
            self.assertEqual(f.read(), data)

        asm1, asm3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
        ws2019 = "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"
        root = ET.fromstring(data)
        self.assertEqual(asm1 + "assembly", root.tag)
        self.assertEqual([asm3 + "trustInfo", asm3 + "application"], [child.tag for child in root])
        trust, application = list(root)
        self.assertEqual([asm3 + "security", asm3 + "requestedPrivileges",
                          asm3 + "requestedExecutionLevel"], [e.tag for e in trust.iter()][1:])
        self.assertEqual({"level": "asInvoker", "uiAccess": "false"},
                         trust.find(f".//{asm3}requestedExecutionLevel").attrib)
        # Narrow calls lossless on Windows 10 1903 and later; older ones ignore it.
        self.assertEqual([asm3 + "windowsSettings", ws2019 + "activeCodePage"],
                         [e.tag for e in application.iter()][1:])
        self.assertEqual("UTF-8", application.find(f".//{ws2019}activeCodePage").text)

    def test_version_resource(self):
        self.assertEqual(1, len(self.resource(RT_VERSION)))
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        # A version of fewer than four parts ends in zeros.
        parts = [int(part) for part in VERSION.split(".")] + [0] * (4 - VERSION.count(".") - 1)
        for kind in ("File", "Product"):
            ms, ls = getattr(fixed, kind + "VersionMS"), getattr(fixed, kind + "VersionLS")
            numbers = [ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF]
            self.assertEqual(parts, numbers, "%s version %s in the image, %s in the build"
                             % (kind, ".".join(map(str, numbers)), VERSION))
        self.assertEqual(0x00040004, fixed.FileOS)  # VOS_NT_WINDOWS32
        self.assertEqual(0x1, fixed.FileType)  # VFT_APP

        tables, translations = [], []
        for info in self.pe.FileInfo[0]:
            if info.Key == b"StringFileInfo":
                tables += info.StringTable
            elif info.Key == b"VarFileInfo":
                translations += [v.entry.get(b"Translation") for v in info.Var]
        self.assertEqual([b"040904B0"], [t.LangID.upper() for t in tables])
        self.assertEqual(["0x0409 0x04b0"], translations)
        strings = {k.decode(): v.decode() for k, v in tables[0].entries.items()}
        for key in ("CompanyName", "FileDescription", "ProductName", "LegalCopyright"):
            self.assertTrue(strings.get(key), key)
        self.assertEqual(VERSION, strings["FileVersion"])
        self.assertEqual(VERSION, strings["ProductVersion"])
        # Every text as the .rc writes it, in whatever script.
        with open(RC_SOURCE, encoding="utf-8") as f:
            written = dict(re.findall(r'^\s*VALUE "(\w+)", "([^"]*)"\s*$', f.read(), re.M))
        self.assertIn("LegalCopyright", written)
        self.assertEqual(written, {key: strings.get(key) for key in written})

    def test_imports_only_windows_dlls(self):
        foreign = set(self.imports) - SYSTEM_DLLS
        self.assertEqual(set(), foreign, "the C++ runtime must be linked in")

    def test_imports_the_platform_calls(self):
        needed = {
            "kernel32.dll": {"GetCurrentDirectoryA", "GetShortPathNameA", "MultiByteToWideChar",
                             "GetModuleHandleA", "GetProcAddress", "GetCurrentProcess",
                             "CreateToolhelp32Snapshot", "Process32First",
                             "Process32Next", "WaitForSingleObject", "CloseHandle",
                             "LoadLibraryExA", "FreeLibrary", "GetSystemDirectoryA",
                             "GetACP", "GetUserDefaultUILanguage"},
            "shell32.dll": {"ShellExecuteA", "ShellExecuteExA"},
            "user32.dll": {"MessageBoxA", "MessageBoxW"},
        }
        for dll, functions in needed.items():
            self.assertLessEqual(functions, self.imports.get(dll, set()), dll)

    @mingw_only("MSVC's static runtime imports more of kernel32, and its linker writes "
                "subsystem 5.01 at the least")
    def test_loads_on_windows_2000(self):
        # The loader refuses the whole exe if one import is missing, so a new
        # one is a decision: newer functions are looked up at run time.
        if MACHINE != "x86":
            self.skipTest("64-bit Windows has all of them")
        self.assertEqual(WINDOWS_2000_KERNEL32, self.imports["kernel32.dll"])
        header = self.pe.OPTIONAL_HEADER
        # 4.0, as the README promises: a newer version locks out old Windows
        # just as a missing import does.
        self.assertEqual((4, 0), (header.MajorSubsystemVersion, header.MinorSubsystemVersion))

    def test_installer_library_is_bound_at_run_time(self):
        # An imported msi.dll would be looked for beside the exe first.
        self.assertNotIn("msi.dll", self.imports)
        everything = set().union(*self.imports.values())
        for name in ("MsiGetProductInfoA", "SetDefaultDllDirectories", "SetDllDirectoryA"):
            self.assertNotIn(name, everything)

    def test_hardening_flags(self):
        flags = self.pe.OPTIONAL_HEADER.DllCharacteristics
        wanted = {"DYNAMIC_BASE": 0x0040, "NX_COMPAT": 0x0100, "TERMINAL_SERVER_AWARE": 0x8000}
        if MACHINE == "x86" and not MSVC:  # MSVC's x86 image has a table of handlers instead
            wanted["NO_SEH"] = 0x0400
        for name, bit in wanted.items():
            self.assertTrue(flags & bit, name)
        # ASLR needs the relocations to stay in the image.
        self.assertFalse(self.pe.FILE_HEADER.Characteristics & 0x0001, "relocations stripped")

    @mingw_only("MSVC writes a time stamp, or with /Brepro a value of its own")
    def test_reproducible_header(self):
        self.assertEqual(0, self.pe.FILE_HEADER.TimeDateStamp)

    def test_size_cap(self):
        # The cap is the built image's: a signature appends its certificates
        # (the security directory, which the image does not load) to the file.
        signature = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size
        size = os.path.getsize(EXE) - signature
        print("\nexe: %d bytes (%.1f KiB)%s" % (size, size / 1024, ", and a signature of %d bytes"
                                               % signature if signature else ""), file=sys.stderr)
        if MSVC:
            self.skipTest("mingw image only: the cap holds what mingw's runtime links in")
        if MACHINE == "x86":
            # The C++ library's exception machinery alone is about 200 KiB: a
            # throwing library call or stream brings it back. Link with
            # -Wl,-Map to see what pulled it in.
            self.assertLessEqual(size, 32 * 1024, "the C++ library's exception machinery is back")

    @mingw_only("the notices are those of mingw-w64's and GCC's runtime, from Debian's packages")
    def test_third_party_notices_beside_the_exe(self):
        # The mingw-w64 runtime's licence (ZPL 2.1) asks every binary
        # redistribution to reproduce its notice.
        path = os.path.join(os.path.dirname(EXE), "THIRD-PARTY-NOTICES.txt")
        self.assertTrue(os.path.isfile(path), path)
        with open(path, encoding="utf-8") as f:
            notices = f.read()
        package = {"x86": "mingw-w64-i686-dev", "AMD64": "mingw-w64-x86-64-dev"}[MACHINE]
        version = subprocess.run(["dpkg-query", "--show", "--showformat=${Version}", package],
                                 stdout=subprocess.PIPE, text=True, check=True).stdout
        self.assertIn("\n%s %s\n" % (package, version), notices)
        self.assertIn("License: ZPL-2.1", notices)
        self.assertIn("2. Redistributions in binary form must reproduce the accompanying", notices)

    def test_wow64_query_is_looked_up_at_run_time(self):
        everything = set().union(*self.imports.values())
        self.assertNotIn("IsWow64Process", everything)
        # ... which needs its name as a string in the image.
        self.assertIn(b"IsWow64Process\0", bytes(self.pe.__data__))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--machine", required=True, choices=["x86", "AMD64"])
    parser.add_argument("--version", help="the project's version; the build's by default")
    parser.add_argument("--msvc", action="store_true", help="an image of Microsoft's toolchain")
    parser.add_argument("checks", nargs="*", help="only these, as Image.test_NAME")
    args = parser.parse_intermixed_args()
    EXE, MACHINE, MSVC = args.exe, args.machine, args.msvc
    VERSION = args.version or build_version(EXE)
    unittest.main(argv=[sys.argv[0], "-v"] + args.checks)
