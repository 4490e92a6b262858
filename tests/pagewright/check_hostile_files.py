#!/usr/bin/env python3
"""Runs the tools on small hostile PDFs under a CPU and memory cap.

Every run must end by itself (exit status, no signal) within the caps: a clear error or a
result, never minutes of work or gigabytes of memory.
Usage: check_hostile_files.py --pagewright PATH [--cli PATH] --corpus DIR
"""
import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_hostile_pdfs  # noqa: E402

CPU_SECONDS = 60 if "ASAN_OPTIONS" in os.environ else 20
ADDRESS_SPACE = 3 << 30   # the cap the run is killed at
RESIDENT_LIMIT = (1536 if "ASAN_OPTIONS" in os.environ else 768) << 20  # bounded runs stay below


SANITIZED = "ASAN_OPTIONS" in os.environ


def limited():
    resource.setrlimit(resource.RLIMIT_CPU, (CPU_SECONDS, CPU_SECONDS))
    # AddressSanitizer reserves terabytes of address space; its resident check still holds.
    if not SANITIZED:
        resource.setrlimit(resource.RLIMIT_AS, (ADDRESS_SPACE, ADDRESS_SPACE))


def run(name, command, env, work):
    """None when the run ended by itself within the caps, else what went wrong."""
    with open(os.path.join(work, "stderr"), "w+b") as err:
        proc = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=err,
                                preexec_fn=limited, env=env)
        timer = threading.Timer(CPU_SECONDS * 3, proc.kill)
        timer.start()
        _, status, usage = os.wait4(proc.pid, 0)
        timer.cancel()
        proc.returncode = code = os.waitstatus_to_exitcode(status)
        err.seek(0)
        lines = err.read().decode(errors="replace").strip().splitlines()
    resident = usage.ru_maxrss * 1024
    cpu = usage.ru_utime + usage.ru_stime
    print(f"{name}: exit {code}, {cpu:.1f} s CPU, max resident {resident >> 20} MiB"
          + (f": {lines[-1]}" if lines else ""))
    if code < 0:
        return f"{name}: killed by signal {-code} (time or memory cap)"
    if resident > RESIDENT_LIMIT:
        return f"{name}: used {resident >> 20} MiB"
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--pagewright", required=True)
    ap.add_argument("--cli")
    ap.add_argument("--corpus", required=True)
    args = ap.parse_args()
    invoice = os.path.join(args.corpus, "en16931-examples", "cii", "CII_example3.xml")
    if not os.path.isfile(invoice):
        print(f"SKIP: corpus not found ({args.corpus})")
        return 77

    work = tempfile.mkdtemp(prefix="hostile-")
    try:
        make_hostile_pdfs.main_into(work, invoice)
        env = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"),
                   XDG_CONFIG_HOME=os.path.join(work, "config"), QT_QPA_PLATFORM="offscreen")
        pw = args.pagewright
        f = lambda name: os.path.join(work, name)  # noqa: E731
        runs = [
            ("convert nested Flate", [pw, "convert", f("nested-flate.pdf"), "-o", f("o1.pdf")]),
            ("merge nested Flate", [pw, "merge", f("o2.pdf"), f("nested-flate.pdf"),
                                    f("png-columns.pdf")]),
            ("convert PNG columns", [pw, "convert", f("png-columns.pdf"), "-o", f("o3.pdf")]),
            ("attachments PNG columns", [pw, "attachments", f("png-columns.pdf")]),
            ("convert content bomb", [pw, "convert", f("content-bomb.pdf"), "-o", f("o4.pdf")]),
        ]
        if args.cli:
            runs += [
                ("import nested Flate", [args.cli, "import", f("books.ledgerlens"),
                                         f("invoice-bomb.pdf")]),
                ("render backdrop content bomb", [args.cli, "render", "--backdrop",
                                                  f("content-bomb.pdf"), invoice, "-o",
                                                  f("o5.pdf")]),
            ]
        failures = []
        for name, command in runs:
            problem = run(name, command, env, work)
            if problem:
                failures.append(problem)
        for problem in failures:
            print("FAIL " + problem)
        print(f"{len(runs) - len(failures)} of {len(runs)} hostile runs bounded")
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
