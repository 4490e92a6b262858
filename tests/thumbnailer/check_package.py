#!/usr/bin/env python3
"""The Debian package builds, holds the desktop files where they point, and its programs run.

Usage: check_package.py BUILD_DIR [CORPUS_DIR]
Runs cpack -G DEB into a scratch folder, unpacks the package into a scratch root (dpkg -x)
and checks the package's fields and files; the thumbnailer is run from the unpacked root on a
corpus invoice. Exit 0 passed, 1 failed, 77 skipped (dpkg-deb or dpkg-shlibdeps missing).
"""
import configparser
import glob
import os
import shutil
import subprocess
import sys
import tempfile


def fields(deb):
    info = subprocess.run(["dpkg-deb", "-f", deb], capture_output=True, text=True, check=True)
    result, key = {}, None
    for line in info.stdout.splitlines():
        if line.startswith(" ") and key:
            result[key] += "\n" + line.strip()
        elif ":" in line:
            key, value = line.split(":", 1)
            result[key] = value.strip()
    return result


def main():
    build = sys.argv[1]
    corpus = sys.argv[2] if len(sys.argv) > 2 else None
    for tool in ("cpack", "dpkg-deb", "dpkg-shlibdeps"):
        if not shutil.which(tool):
            print(f"SKIP: {tool} is not installed (scripts/bootstrap installs it)")
            return 77
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        run = subprocess.run(["cpack", "-G", "DEB", "-B", scratch,
                              "--config", os.path.join(build, "CPackConfig.cmake")],
                             capture_output=True, text=True)
        debs = glob.glob(os.path.join(scratch, "*.deb"))
        if run.returncode != 0 or len(debs) != 1:
            print(run.stdout, run.stderr)
            return 1
        deb = debs[0]
        control = fields(deb)
        if control.get("Package") != "ledgerlens" or control.get("Architecture") != "amd64":
            failures.append(f"package fields: {control}")
        depends = control.get("Depends", "")
        # dpkg-shlibdeps found what the programs link.
        for library in ("libqt6gui6", "libxml2", "libpoppler-qt6"):
            if library not in depends:
                failures.append(f"Depends lacks {library}: {depends}")

        root = os.path.join(scratch, "root")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        usr = os.path.join(root, "usr")
        desktop = os.path.join(usr, "share", "applications", "ledgerlens.desktop")
        thumbnailer = os.path.join(usr, "share", "thumbnailers", "ledgerlens.thumbnailer")
        for path in (desktop, thumbnailer,
                     os.path.join(usr, "share", "mime", "packages", "ledgerlens.xml"),
                     os.path.join(usr, "share", "icons", "hicolor", "scalable", "apps",
                                  "ledgerlens.svg"),
                     os.path.join(usr, "share", "ledgerlens", "resources", "l10n", "en.json")):
            if not os.path.isfile(path):
                failures.append(f"missing in the package: {os.path.relpath(path, root)}")
        if failures:
            print("\n".join(failures))
            return 1
        parser = configparser.ConfigParser(interpolation=None)
        parser.optionxform = str
        parser.read(thumbnailer, encoding="utf-8")
        program = os.path.join(usr, "bin", parser["Thumbnailer Entry"]["TryExec"])
        if not os.access(program, os.X_OK):
            failures.append(f"the thumbnailer entry names {program}, which is not in the package")
        # Every program of the package finds its libraries in the package or the system.
        environment = dict(os.environ, LD_LIBRARY_PATH=os.path.join(usr, "lib"),
                           QT_QPA_PLATFORM="offscreen")
        for binary in sorted(os.listdir(os.path.join(usr, "bin"))):
            ldd = subprocess.run(["ldd", os.path.join(usr, "bin", binary)], env=environment,
                                 capture_output=True, text=True)
            if "not found" in ldd.stdout:
                failures.append(f"{binary}: " + ldd.stdout)
        # The unpacked thumbnailer works from the installed layout: its resources are those
        # of the package.
        invoice = os.path.join(corpus or "", "en16931-examples", "cii", "CII_example2.xml")
        if corpus and os.path.isfile(invoice) and os.access(program, os.X_OK):
            out = os.path.join(scratch, "thumbnail.png")
            run = subprocess.run([program, "-s", "128", invoice, out], env=environment,
                                 capture_output=True, text=True)
            if run.returncode != 0 or not os.path.isfile(out):
                failures.append("the packaged thumbnailer failed: " + run.stderr)
    if failures:
        print("\n".join(failures))
        return 1
    print(f"package: ok ({os.path.basename(deb)})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
