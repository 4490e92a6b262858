#!/usr/bin/env python3
"""The desktop files agree with each other and with the freedesktop tools.

Usage: check_desktop.py DESKTOP_SOURCE_DIR BUILD_DIR [CORPUS_DIR]
Installs the build into a scratch prefix and checks that the menu entry, icon, MIME types and
thumbnailer stand where the desktop expects them and name programs that were installed, and
that the MIME database knows every invoice XML of the corpus by its root element.
Exit 0 passed, 1 failed, 77 skipped (a freedesktop tool is missing).
"""
import configparser
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

# Root elements Ledgerlens reads, by local name; the namespace decides in the MIME database.
INVOICE_ROOTS = {"CrossIndustryInvoice", "CrossIndustryDocument", "Invoice", "CreditNote",
                 "FatturaElettronica", "Facturae"}

MIME_NS = "{http://www.freedesktop.org/standards/shared-mime-info}"
SYSTEM_TYPES = {"application/pdf"}


def entry(path, group):
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return parser[group]


def types(value):
    return [t for t in value.split(";") if t]


def root_of(path):
    """(namespace, local name) of a file's root element; none when it is not XML."""
    try:
        for _, element in ET.iterparse(path, events=("start",)):
            tag = element.tag
            return tuple(tag[1:].split("}", 1)) if tag.startswith("{") else ("", tag)
    except (ET.ParseError, OSError, UnicodeDecodeError):
        return None
    return None


def corpus_failures(corpus, namespaces, listed):
    """Every invoice XML of the corpus has a MIME type of ours, and both files list it."""
    failures, seen = [], 0
    for folder, _, files in os.walk(corpus):
        for name in sorted(files):
            if not name.endswith(".xml"):
                continue
            root = root_of(os.path.join(folder, name))
            if not root or root[1] not in INVOICE_ROOTS or not root[0]:
                continue
            seen += 1
            mime = namespaces.get(root)
            if mime is None:
                failures.append(f"no MIME type for <{root[1]}> in {root[0]} "
                                f"({os.path.relpath(os.path.join(folder, name), corpus)})")
            elif mime not in listed:
                failures.append(f"{mime} is not listed by the .desktop and .thumbnailer files")
    if seen == 0:
        failures.append(f"no invoice XML found in {corpus}")
    return sorted(set(failures))


def main():
    source, build = sys.argv[1], sys.argv[2]
    corpus = sys.argv[3] if len(sys.argv) > 3 else None
    for tool in ("desktop-file-validate", "update-mime-database"):
        if not shutil.which(tool):
            print(f"SKIP: {tool} is not installed (scripts/bootstrap installs it)")
            return 77
    failures = []

    with tempfile.TemporaryDirectory() as prefix:
        run = subprocess.run(["cmake", "--install", build, "--prefix", prefix],
                             capture_output=True, text=True)
        if run.returncode != 0:
            print(run.stdout, run.stderr)
            return 1
        share = os.path.join(prefix, "share")
        desktop = os.path.join(share, "applications", "ledgerlens.desktop")
        mime = os.path.join(share, "mime", "packages", "ledgerlens.xml")
        thumbnailer = os.path.join(share, "thumbnailers", "ledgerlens.thumbnailer")
        icon = os.path.join(share, "icons", "hicolor", "scalable", "apps", "ledgerlens.svg")
        for path in (desktop, mime, thumbnailer, icon):
            if not os.path.isfile(path):
                failures.append(f"not installed: {os.path.relpath(path, prefix)}")
        if failures:
            print("\n".join(failures))
            return 1

        check = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True)
        if check.returncode != 0 or check.stdout.strip():
            failures.append("desktop-file-validate: " + check.stdout + check.stderr)

        # The MIME database tool accepts the package and knows every type declared in it.
        database = os.path.join(share, "mime")
        check = subprocess.run(["update-mime-database", database], capture_output=True, text=True)
        if check.returncode != 0 or "error" in check.stderr.lower():
            failures.append("update-mime-database: " + check.stderr)
        declared = {m.get("type") for m in ET.parse(mime).getroot().iter(MIME_NS + "mime-type")}
        with open(os.path.join(database, "types"), encoding="utf-8") as f:
            known = set(f.read().split())
        for t in declared - known:
            failures.append(f"update-mime-database did not register {t}")
        library = ET.parse(mime).getroot().find(f"{MIME_NS}mime-type[@type='application/x-ledgerlens-library']")
        if library is None or library.find(MIME_NS + "glob").get("pattern") != "*.ledgerlens":
            failures.append("the library type does not claim *.ledgerlens")

        app = entry(desktop, "Desktop Entry")
        thumb = entry(thumbnailer, "Thumbnailer Entry")
        for name, listed in (("ledgerlens.desktop", app["MimeType"]),
                             ("ledgerlens.thumbnailer", thumb["MimeType"])):
            for t in types(listed):
                if t not in declared and t not in SYSTEM_TYPES:
                    failures.append(f"{name} lists {t}, which no MIME package declares")
        if corpus and os.path.isdir(corpus):
            with open(os.path.join(database, "XMLnamespaces"), encoding="utf-8") as f:
                namespaces = {(ns, local): mime for ns, local, mime in
                              (line.split() for line in f if line.strip())}
            listed = set(types(app["MimeType"])) & set(types(thumb["MimeType"]))
            failures += corpus_failures(corpus, namespaces, listed)
        else:
            print("note: no corpus; invoice XML detection not checked")
        if "application/x-ledgerlens-library" not in types(app["MimeType"]):
            failures.append("the program does not open its libraries")
        if app["Exec"] != "ledgerlens %F":
            failures.append(f"Exec is {app['Exec']!r}")
        if app["Icon"] != os.path.splitext(os.path.basename(icon))[0]:
            failures.append("Icon does not name the installed icon")
        if thumb["Exec"].split()[:1] != [thumb["TryExec"]] or not all(
                code in thumb["Exec"].split() for code in ("%s", "%i", "%o")):
            failures.append(f"thumbnailer Exec is {thumb['Exec']!r}")
        # The thumbnailer program is one of the installed programs (the main program comes
        # with the window's branch; it is checked when it is there).
        if not os.access(os.path.join(prefix, "bin", thumb["TryExec"]), os.X_OK):
            failures.append(f"{thumb['TryExec']} is not installed in bin/")
        built = any(app["TryExec"] in files
                    for _, _, files in os.walk(os.path.join(build, "app", "shell")))
        if built and not os.access(os.path.join(prefix, "bin", app["TryExec"]), os.X_OK):
            failures.append(f"{app['TryExec']} is built but not installed in bin/")

    if failures:
        print("\n".join(failures))
        return 1
    print("desktop integration: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
