#!/usr/bin/env python3
"""Renders a large invoice (made at test time from a corpus example) under a memory cap.

Pages are laid out and drawn one after the other, so memory must not grow with the lines:
`ledgerlens-cli render` of a 6,000-line invoice must end by itself within the caps, and its
PDF must hold every line once and in order, the table header and "Page N / COUNT" on every page and the
amount due on the last.
Usage: check_large_render.py --cli PATH --corpus DIR [--lines N]
"""
import argparse
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "bench"))
import generate_large_invoice  # noqa: E402

SANITIZED = "ASAN_OPTIONS" in os.environ
CPU_SECONDS = 1200 if SANITIZED else 300
ADDRESS_SPACE = 3 << 30  # a run holding every line's layout (about 120 KB each) is killed here
# Held layouts cost about 110 KB a line (6,000 lines: about 700 MiB); drawn page by page the
# run stays near 150 MiB.
RESIDENT_LIMIT = (1536 if SANITIZED else 320) << 20


def limited():
    resource.setrlimit(resource.RLIMIT_CPU, (CPU_SECONDS, CPU_SECONDS))
    # AddressSanitizer reserves terabytes of address space; its resident check still holds.
    if not SANITIZED:
        resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_SPACE, ADDRESS_SPACE))


def page_text(pdf, page=None):
    command = ["pdftotext", "-layout"]
    if page:
        command += ["-f", str(page), "-l", str(page)]
    return subprocess.run(command + [pdf, "-"], check=True, capture_output=True,
                          text=True).stdout


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--corpus", required=True)
    # Fewer under the sanitizers, which look for memory errors rather than at the cap.
    ap.add_argument("--lines", type=int, default=5000 if SANITIZED else 6000)
    args = ap.parse_args()
    example = os.path.join(args.corpus, "en16931-examples", "cii", "CII_example3.xml")
    if not os.path.isfile(example):
        print(f"SKIP: corpus not found ({args.corpus})")
        return 77
    if not shutil.which("pdftotext"):
        print("SKIP: pdftotext not found")
        return 77

    work = tempfile.mkdtemp(prefix="large-render-")
    try:
        invoice, pdf = os.path.join(work, "large.xml"), os.path.join(work, "large.pdf")
        sys.argv = ["generate_large_invoice.py", str(args.lines), invoice, args.corpus]
        generate_large_invoice.main()
        env = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"),
                   XDG_CONFIG_HOME=os.path.join(work, "config"), QT_QPA_PLATFORM="offscreen")
        command = [args.cli, "render", "--locale", "en_US", invoice, "-o", pdf]
        with open(os.path.join(work, "stderr"), "w+b") as err:
            proc = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=err,
                                    preexec_fn=limited, env=env)
            _, status, usage = os.wait4(proc.pid, 0)
            err.seek(0)
            message = err.read().decode(errors="replace").strip()
        code = os.waitstatus_to_exitcode(status)
        resident = usage.ru_maxrss * 1024
        print(f"render of {args.lines} lines: exit {code}, "
              f"{usage.ru_utime + usage.ru_stime:.1f} s CPU, max resident {resident >> 20} MiB")
        failures = []
        if code != 0:
            failures.append(f"render ended with {code}: {message[-400:]}")
        elif resident > RESIDENT_LIMIT:
            failures.append(f"render used {resident >> 20} MiB")
        if not failures:
            text = page_text(pdf)
            pages = text.count("\f")
            positions = [int(n) for n in
                         re.findall(r"^\s*(\d+)\s+Paper subscription", text, re.M)]
            if positions != list(range(1, args.lines + 1)):
                failures.append(f"{len(positions)} lines in the PDF, not 1 to {args.lines} in order")
            for number, page in enumerate(text.split("\f")[:pages], start=1):
                if f"Page {number} / {pages}" not in page or "Description" not in page:
                    failures.append(f"page {number} of {pages} lacks its number or table header")
                    break
            last = page_text(pdf, pages)
            due = "{:,.2f}".format((800 * args.lines + 100) * 1.25)
            if due not in last:
                failures.append(f"the amount due {due} is not on the last page")
        for problem in failures:
            print("FAIL " + problem)
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
