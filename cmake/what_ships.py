#!/usr/bin/env python3
"""Describes what ships beside the exe, from what its build really took:
the third-party notices, a CycloneDX 1.6 bill of materials with the fields of
BSI TR-03183-2 v2.1.0, a build record in Debian's deb822 form, and the
checksums. The components are the Debian packages that own a file that the
link map shows taken (an object, or an archive member) or a header that the
compilers read. Standard library only.

Usage: what_ships.py --exe EXE --map MAP --compile-commands JSON --source DIR
         --rc launcher.rc --version V --vendor-url URL --licences TSV
         --c-compiler CC --out DIR
Writes, into --out, only the files whose content changed.
"""
import argparse
import datetime
import functools
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
import tempfile
import urllib.parse
import uuid

SBOM = "SetupLauncher.cdx.json"
NOTICES = "THIRD-PARTY-NOTICES.txt"
RECORD = "SetupLauncher.buildinfo"
# Windows' own DLLs, which the exe imports and does not carry.
OUTSIDE = ("msvcrt.dll (its C runtime), kernel32.dll, user32.dll and shell32.dll, loaded "
           "from Windows at run time, and msi.dll, looked up at run time")
# The serial number is a name-based UUID (version 5) in this namespace.
SERIAL_NAMESPACE = uuid.uuid5(uuid.NAMESPACE_URL, "urn:setup-launcher:sbom")


class Stop(Exception):
    """What stops the description, and why."""


def run(args, **options):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          **options)


def digest(path, algorithm):
    with open(path, "rb") as f:
        return hashlib.new(algorithm, f.read()).hexdigest()


def inside(path, folder):
    return os.path.commonpath([path, folder]) == folder


# ---- what the build took ----------------------------------------------------

def linked(map_path, build):
    """From the link map: the input objects, and each archive's members that
    were taken, by real path. A LOAD line names every input, taken or not;
    an archive's members that were taken stand under "Archive member
    included", one a line from the first column."""
    objects, members, section = [], {}, None
    with open(map_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.startswith("Archive member included"):
                section = "members"
            elif line.startswith(("Discarded input sections", "Memory Configuration")):
                section = None
            elif section == "members" and line[:1] not in ("", " ", "\n"):
                found = re.match(r"(.+?)\((.+)\)\s*(\S.*)?$", line.rstrip("\n"))
                if found:
                    archive = os.path.realpath(os.path.join(build, found.group(1)))
                    members.setdefault(archive, []).append(found.group(2))
            elif line.startswith("LOAD ") and not line.rstrip().endswith(".a"):
                name = line[5:].strip()
                if name != "dll stuff":  # the linker's own import stubs
                    objects.append(os.path.realpath(os.path.join(build, name)))
    return objects, members


def depfile_paths(text):
    """The prerequisites of a make rule as GCC writes one."""
    text = text.replace("\\\n", " ")
    tokens = [t.replace("\\ ", " ") for t in re.findall(r"(?:\\ |[^\s])+", text)]
    return tokens[1:] if tokens and tokens[0].endswith(":") else tokens[2:]


def headers_read(compile_commands, objects, members, c_compiler):
    """The files that the compilers read for the exe's own objects: the same
    commands, asked for their dependencies (-M) instead of an object. The
    resource compiler preprocesses with `gcc -E -xc -DRC_INVOKED` (windres's
    documented default), so its headers are asked of the C compiler so."""
    with open(compile_commands, encoding="utf-8") as f:
        entries = json.load(f)
    # A member of the build's own archive lib<T>.a is an object that CMake
    # made in CMakeFiles/<T>.dir/, named after its source.
    own_members = {(os.path.join(os.path.dirname(archive), "CMakeFiles",
                                 re.sub(r"^lib|\.a$", "", os.path.basename(archive)) + ".dir"),
                    member) for archive, taken in members.items() for member in taken}
    found = set()
    with tempfile.TemporaryDirectory() as work:
        for number, entry in enumerate(entries):
            args = shlex.split(entry["command"])
            # windres names its output last, without -o.
            output = args[args.index("-o") + 1] if "-o" in args else args[-1]
            real = os.path.realpath(os.path.join(entry["directory"], output))
            if real not in objects and not any(
                    inside(real, folder) and os.path.basename(real) == member
                    for folder, member in own_members):
                continue
            depfile = os.path.join(work, "%d.d" % number)
            if os.path.basename(args[0]).endswith("windres"):
                flags = [a for i, a in enumerate(args) if a.startswith(("-I", "-D"))
                         or i > 0 and args[i - 1] in ("-I", "-D")]
                command = [c_compiler, "-M", "-MF", depfile, "-xc", "-DRC_INVOKED"] + flags + [
                    entry["file"]]
            else:
                skip = {i for i, a in enumerate(args) if a == "-o" for i in (i, i + 1)}
                command = [a for i, a in enumerate(args) if i not in skip and a != "-c"] + [
                    "-M", "-MF", depfile]
            result = run(command, cwd=entry["directory"])
            if result.returncode != 0:
                raise Stop("the compiler could not list what %s reads: %s"
                           % (entry["file"], result.stderr.strip()[-500:]))
            with open(depfile, encoding="utf-8") as f:
                found.update(os.path.realpath(os.path.join(entry["directory"], p))
                             for p in depfile_paths(f.read()))
    return found


# ---- the packages -----------------------------------------------------------

def owners(paths):
    """Each file's Debian package, asked of dpkg by its real path."""
    result = run(["dpkg-query", "--search"] + sorted(paths))
    owned = {}
    for line in result.stdout.splitlines():
        if line.startswith("diversion ") or ": " not in line:
            continue
        package, path = line.split(": ", 1)
        if path in paths and "," not in package:
            owned[path] = package.split(":")[0]
    missing = sorted(set(paths) - set(owned))
    if missing:
        raise Stop("no Debian package owns %s: a file outside the packages reached the exe"
                   % ", ".join(missing))
    return owned


FIELDS = ("Package", "Version", "Architecture", "source:Package", "source:Version", "Maintainer")


def package_details(names):
    result = run(["dpkg-query", "--show", "--showformat=" + "\t".join(
        "${%s}" % f for f in FIELDS) + "\n"] + sorted(names))
    if result.returncode != 0:
        raise Stop("dpkg-query: " + result.stderr.strip())
    return {row[0]: dict(zip(FIELDS, row)) for row in
            (line.split("\t") for line in result.stdout.splitlines())}


def read_licences(path):
    table = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                source, declared, concluded = line.rstrip("\n").split("\t")
                table[source] = {"declared": declared, "concluded": concluded}
    return table


@functools.lru_cache(maxsize=None)
def os_release():
    """The build machine's /etc/os-release, its quotes taken off."""
    with open("/etc/os-release", encoding="utf-8") as f:
        return {key: value.strip('"') for key, value in
                (line.rstrip("\n").split("=", 1) for line in f if "=" in line)}


def distro():
    """Debian's release, as the purl's distro qualifier: debian-12."""
    release = os_release()
    name = release.get("VERSION_ID") or release.get("VERSION_CODENAME", "")
    return release.get("ID", "debian"), "%s-%s" % (release.get("ID", "debian"), name)


def encoded(text):
    return urllib.parse.quote(text, safe="")


def purl(package, subpath=None):
    """pkg:deb/debian/NAME@VERSION?arch=...&distro=..., the name and the
    version encoded (a "+" as %2B), and a file within the package as its subpath."""
    vendor, release = distro()
    text = "pkg:deb/%s/%s@%s?arch=%s&distro=%s" % (
        vendor, encoded(package["Package"]), encoded(package["Version"]), package["Architecture"],
        release)
    if subpath:
        text += "#" + "/".join(encoded(part) for part in subpath.strip("/").split("/"))
    return text


def deb_file(package):
    version = package["Version"].split(":", 1)[-1]  # a .deb's name has no epoch
    return "%s_%s_%s.deb" % (package["Package"], version, package["Architecture"])


def pool_url(package):
    source = package["source:Package"]
    prefix = source[:4] if source.startswith("lib") else source[0]
    return "https://deb.debian.org/debian/pool/main/%s/%s/%s" % (prefix, source, deb_file(package))


# ---- what ships -------------------------------------------------------------

def rc_strings(path):
    with open(path, encoding="utf-8") as f:
        return dict(re.findall(r'^\s*VALUE "(\w+)", "([^"]*)"\s*$', f.read(), re.M))


def source_time(source):
    """SOURCE_DATE_EPOCH, else the source commit's time."""
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    commit = git(source, "log", "-1", "--format=%ct")
    if not commit:
        raise Stop("the bill of materials needs the time of what it describes: set "
                   "SOURCE_DATE_EPOCH, or build from a git checkout of the sources")
    return int(commit)


def git(source, *args):
    """git's answer in the source tree, if it is a checkout of its own."""
    top = run(["git", "-C", source, "rev-parse", "--show-toplevel"])
    if top.returncode != 0 or os.path.realpath(top.stdout.strip()) != source:
        return ""
    result = run(["git", "-C", source] + list(args))
    return result.stdout.strip() if result.returncode == 0 else ""


def file_properties(kind, name):
    """BSI's properties of a file: an archive lists its members, and is a
    structured file; objects, headers and the linked exe are not."""
    executable = "executable" if kind == "exe" else "non-executable"
    archive = "archive" if kind in ("archive", "package") else "no archive"
    structured = "structured" if kind in ("archive", "package") else "unstructured"
    return [{"name": "bsi:component:filename", "value": name},
            {"name": "bsi:component:executable", "value": executable},
            {"name": "bsi:component:archive", "value": archive},
            {"name": "bsi:component:structured", "value": structured}]


def licences(row):
    # CycloneDX 1.6 takes one expression in `licenses`: the concluded one,
    # BSI's distribution licence. The declared one, as Debian's copyright
    # file declares it, stands in the evidence.
    return {"licenses": [{"expression": row["concluded"], "acknowledgement": "concluded"}],
            "evidence": {"licenses": [{"expression": row["declared"],
                                       "acknowledgement": "declared"}]}}


def creator(package):
    name, email = re.match(r"\s*(.*?)\s*<([^>]+)>", package["Maintainer"]).groups()
    return {"name": name, "url": ["https://tracker.debian.org/pkg/" + package["source:Package"]],
            "contact": [{"name": name, "email": email}]}


def describe(args):
    source, build = os.path.realpath(args.source), os.path.realpath(os.path.dirname(args.map))
    objects, members = linked(args.map, build)
    files = {path: ("archive", sorted(members[path])) for path in members}
    files.update({path: ("object", []) for path in objects})
    files.update({path: ("header", []) for path in headers_read(
        args.compile_commands, objects, members, args.c_compiler) if path not in files})
    # The project's own sources and what the build generated are the exe itself.
    files = {p: v for p, v in files.items() if not inside(p, source) and not inside(p, build)}
    owned = owners(set(files))
    packages = package_details(set(owned.values()))
    table = read_licences(args.licences)
    unknown = sorted({p["source:Package"] for p in packages.values()} - set(table))
    if unknown:
        raise Stop("%s has no licence in %s: add its line" % (", ".join(unknown), args.licences))

    rc = rc_strings(args.rc)
    exe = {alg: digest(args.exe, alg) for alg in ("sha512", "sha256")}
    when = source_time(source)
    serial = uuid.uuid5(SERIAL_NAMESPACE, "\n".join(
        [exe["sha256"]] + ["%s %s" % (p["Package"], p["Version"]) for p in
                           sorted(packages.values(), key=lambda p: p["Package"])]))
    vendor = {"name": rc["CompanyName"], "url": [args.vendor_url]}
    top = {"type": "application", "bom-ref": "SetupLauncher.exe", "name": rc["ProductName"],
           "version": args.version, "manufacturer": vendor,
           "description": "Built with the code of the components below linked in; outside "
                          "the exe: " + OUTSIDE,
           "hashes": [{"alg": "SHA-512", "content": exe["sha512"]},
                      {"alg": "SHA-256", "content": exe["sha256"]}],
           "properties": file_properties("exe", os.path.basename(args.exe))}
    components = []
    for package in sorted(packages.values(), key=lambda p: p["Package"]):
        row = table[package["source:Package"]]
        own = sorted(p for p in files if owned[p] == package["Package"])
        nested = []
        for path in own:
            kind, taken = files[path]
            properties = file_properties(kind, os.path.basename(path))
            properties.append({"name": "setup-launcher:use", "value": {
                "archive": "members taken by the link: " + ", ".join(taken),
                "object": "linked", "header": "read by the compiler"}[kind]})
            identity = purl(package, path)
            nested.append(dict({"type": "file", "bom-ref": identity, "name": path,
                                "version": package["Version"], "manufacturer": creator(package),
                                "hashes": [{"alg": "SHA-512", "content": digest(path, "sha512")}],
                                "purl": identity, "properties": properties},
                               **licences(row)))
        version = encoded(package["source:Version"])
        identity = purl(package)
        components.append(dict({
            "type": "library", "bom-ref": identity, "name": package["Package"],
            "version": package["Version"], "scope": "required",
            "manufacturer": creator(package), "purl": identity,
            "externalReferences": [
                {"type": "source-distribution", "url": "https://snapshot.debian.org/package/%s/%s/"
                 % (package["source:Package"], version)},
                {"type": "distribution", "url": pool_url(package)}],
            "properties": file_properties("package", deb_file(package)),
            "components": nested}, **licences(row)))

    sbom = {
        "$schema": "http://cyclonedx.org/schema/bom-1.6.schema.json",
        "bomFormat": "CycloneDX", "specVersion": "1.6",
        "serialNumber": "urn:uuid:%s" % serial, "version": 1,
        "metadata": {
            "timestamp": datetime.datetime.fromtimestamp(when, datetime.timezone.utc).strftime(
                "%Y-%m-%dT%H:%M:%SZ"),
            "lifecycles": [{"phase": "build"}],
            "tools": {"components": [{"type": "application", "name": "what_ships.py",
                                      "version": args.version, "manufacturer": vendor}]},
            "manufacturer": vendor, "component": top},
        "components": components,
        "dependencies": [{"ref": top["bom-ref"], "dependsOn": [c["bom-ref"] for c in components]}]
                        + [{"ref": c["bom-ref"], "dependsOn": []} for c in components],
        # The exe's list is what its build took. What the packages themselves
        # depend on in Debian is not described.
        "compositions": [{"aggregate": "complete", "dependencies": [top["bom-ref"]]},
                         {"aggregate": "unknown",
                          "dependencies": [c["bom-ref"] for c in components]}],
    }
    return packages, table, sbom


def notices(packages, table, exe_name):
    """The notices of every component, by source package: one copyright file
    serves every package built from that source."""
    text = ("Third-party notices for %s\n\n"
            "The exe's C runtime is Windows' own msvcrt.dll. Built into the exe is code of\n"
            "the Debian packages below, which its link and its compilers took: mingw-w64's\n"
            "start-up code, helpers and Windows headers, and GCC's support code (libgcc, and\n"
            "libstdc++'s templates, compiled from its headers). Each source package's\n"
            "copyright file follows as the toolchain installed it. Ship this file with the\n"
            "exe.\n" % exe_name)
    sources = sorted({p["source:Package"] for p in packages.values()})
    for source in sources:
        built = sorted((p for p in packages.values() if p["source:Package"] == source),
                       key=lambda p: p["Package"])
        heading = "\n".join("%s %s" % (p["Package"], p["Version"]) for p in built)
        with open("/usr/share/doc/%s/copyright" % built[0]["Package"], encoding="utf-8",
                  errors="replace") as f:
            notice = f.read()
        text += ("\n%s\n%s\nLicence of what the exe holds (SPDX): %s\n%s\n\n%s" % (
            "=" * 80, heading, table[source]["concluded"], "=" * 80, notice))
    return text


def build_record(args, outputs):
    """What describes this one build, so that a person can build it again and
    compare: the commit, the machine's packages, the folder, the environment."""
    source = os.path.realpath(args.source)
    commit = git(source, "rev-parse", "HEAD")
    modified = git(source, "status", "--porcelain", "--untracked-files=no")
    installed = run(["dpkg-query", "--show", "--showformat=${Package} (= ${Version})\n"]).stdout
    architecture = run(["dpkg", "--print-architecture"]).stdout.strip()
    environment = ["%s=%s" % (k, shlex.quote(os.environ[k])) for k in
                   ("LANG", "LC_ALL", "TZ", "SOURCE_DATE_EPOCH") if k in os.environ]
    lines = [
        "Format: 1.0",
        "Source: SetupLauncher",
        "Version: " + args.version,
        "Source-Commit: " + (commit + (" (with local changes)" if modified else "")
                             if commit else "unknown: not a git checkout"),
        "Build-Origin: " + os_release().get("PRETTY_NAME", "unknown"),
        "Build-Architecture: " + architecture,
        "Build-Date: " + datetime.datetime.now(datetime.timezone.utc).strftime(
            "%a, %d %b %Y %H:%M:%S +0000"),
        "Build-Path: " + os.path.realpath(os.path.dirname(args.map)),
        "Environment:",
    ] + [" " + e for e in environment] + ["Installed-Build-Depends:"]
    lines += [" %s," % line for line in sorted(installed.splitlines())]
    lines[-1] = lines[-1].rstrip(",")
    for alg, field in (("sha256", "Checksums-Sha256"), ("sha512", "Checksums-Sha512")):
        lines.append(field + ":")
        lines += [" %s %d %s" % (digest(path, alg), os.path.getsize(path), os.path.basename(path))
                  for path in outputs]
    return "\n".join(lines) + "\n"


def write(path, text):
    """Only what changed, so that what depends on it is not built again."""
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    with open(path + ".new", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".new", path)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--exe", "--map", "--compile-commands", "--source", "--rc", "--version",
                   "--vendor-url", "--licences", "--c-compiler", "--out"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    try:
        packages, table, sbom = describe(args)
    except Stop as e:
        sys.exit("what_ships.py: %s" % e)
    out = args.out
    write(os.path.join(out, NOTICES), notices(packages, table, "%s %s" % (
        os.path.basename(args.exe), args.version)))
    write(os.path.join(out, SBOM), json.dumps(sbom, indent=2, ensure_ascii=False) + "\n")
    shipped = [args.exe, os.path.join(out, NOTICES), os.path.join(out, SBOM)]
    for alg in ("sha256", "sha512"):
        write(os.path.join(out, alg.upper() + "SUMS"), "".join(
            "%s  %s\n" % (digest(path, alg), os.path.basename(path)) for path in shipped))
    write(os.path.join(out, RECORD), build_record(args, shipped))


if __name__ == "__main__":
    main()
