#!/usr/bin/env python3
"""Kills `ledgerlens-cli import` at random moments and checks that the library file opens
afterwards, passes SQLite's integrity check and holds every invoice reported as stored."""
import os
import random
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

URI = re.compile(r"ledgerlens://[0-9A-F-]+/Invoice/(\d+)")


def main():
    cli, corpus = sys.argv[1:3]
    sources = [os.path.join(corpus, d) for d in ("xrechnung", "en16931-examples", "zugferd")]
    if not all(os.path.isdir(d) for d in sources):
        print("SKIP: corpus not found")
        return 77
    seed = int(os.environ.get("LEDGERLENS_CRASH_SEED", time.time()))
    rng = random.Random(seed)
    print(f"seed {seed}")
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        for trial in range(4):
            library = os.path.join(tmp, f"crash{trial}.ledgerlens")
            process = subprocess.Popen([cli, "import", library, *sources],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            kill_after = rng.randint(1, 60)
            stored = set()
            lines = 0
            for raw in process.stderr:
                line = raw.decode("utf-8", "replace")
                if line.startswith("["):
                    lines += 1
                    stored.update(int(m) for m in URI.findall(line))
                if lines >= kill_after:
                    break
            # Somewhere inside the next file's work, not only between files.
            time.sleep(rng.uniform(0, 0.05))
            process.send_signal(signal.SIGKILL)
            process.wait()
            process.stderr.close()

            db = sqlite3.connect(library)
            check = db.execute("PRAGMA integrity_check").fetchone()[0]
            ids = {row[0] for row in db.execute("SELECT id FROM Invoice WHERE xml IS NOT NULL")}
            db.close()
            missing = stored - ids
            print(f"trial {trial}: killed after {lines} files; {len(stored)} invoices reported "
                  f"stored, {len(ids)} in the file; integrity {check}")
            if check != "ok":
                failures.append(f"trial {trial}: integrity check says {check}")
            if missing:
                failures.append(f"trial {trial}: stored invoices lost: {sorted(missing)[:10]}")
            # The program opens the file again and goes on adding to it.
            more = os.path.join(corpus, "en16931-examples", "cii", "CII_business_example_02.xml")
            r = subprocess.run([cli, "import", library, more], capture_output=True, text=True)
            if r.returncode != 0:
                failures.append(f"trial {trial}: import after the crash failed: {r.stderr[-500:]}")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
