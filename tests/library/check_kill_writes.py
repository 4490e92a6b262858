#!/usr/bin/env python3
"""Kills `ledgerlens-cli export` and `pagewright convert -o` at random moments: every file they
write is either complete or absent (or still the complete old one). Also: `pagewright merge`
never writes over one of its inputs."""
import os
import random
import signal
import subprocess
import sys
import tempfile
import time


def complete_pdf(path, pagewright):
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b"%PDF-") or b"%%EOF" not in data[-64:]:
        return False
    return subprocess.run([pagewright, "attachments", path], capture_output=True).returncode == 0


def files_below(folder):
    found = {}
    for base, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(base, name)
            found[os.path.relpath(path, folder)] = path
    return found


def kill_later(args, delay):
    process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay)
    process.send_signal(signal.SIGKILL)
    process.wait()


def main():
    cli, pagewright, corpus = (os.path.abspath(a) for a in sys.argv[1:4])
    if not os.path.isdir(corpus):
        print("SKIP: corpus not found")
        return 77
    seed = int(os.environ.get("LEDGERLENS_CRASH_SEED", time.time()))
    rng = random.Random(seed)
    print(f"seed {seed}")
    failures = []
    pdfs = [os.path.join(corpus, "zugferd/XML-Rechnung/FX", n)
            for n in ("EN16931_Einfach.pdf", "EN16931_Elektron.pdf")]
    with tempfile.TemporaryDirectory() as tmp:
        lib = os.path.join(tmp, "lib.ledgerlens")
        subprocess.run([cli, "import", lib, os.path.join(corpus, "en16931-examples", "cii"), *pdfs],
                       capture_output=True)
        reference = os.path.join(tmp, "reference")
        start = time.monotonic()
        subprocess.run([cli, "export", lib, reference], capture_output=True, check=True)
        export_time = time.monotonic() - start
        ref_files = files_below(reference)
        print(f"export writes {len(ref_files)} files")

        # Export: into a new folder, and over a complete earlier export.
        for trial in range(10):
            target = os.path.join(tmp, f"export{trial}")
            if trial % 2:
                subprocess.run([cli, "export", lib, target], capture_output=True, check=True)
            kill_later([cli, "export", lib, target], rng.uniform(0.02, export_time))
            written = files_below(target)
            finals = {rel: path for rel, path in written.items() if rel in ref_files}
            for rel, path in finals.items():
                if rel.endswith(".pdf"):
                    ok = complete_pdf(path, pagewright)
                else:
                    with open(path, "rb") as f, open(ref_files[rel], "rb") as g:
                        ok = f.read() == g.read()
                if not ok:
                    failures.append(f"export trial {trial}: {rel} is incomplete")
            print(f"export trial {trial}: {len(finals)} of {len(ref_files)} files there, all complete "
                  f"unless said below; {len(written) - len(finals)} temporary files left")

        # convert -o: over an existing complete output.
        source = pdfs[1]
        out = os.path.join(tmp, "out.pdf")
        start = time.monotonic()
        subprocess.run([pagewright, "convert", source, "-o", out], capture_output=True, check=True)
        convert_time = time.monotonic() - start
        fresh_written = 0
        for trial in range(10):
            kill_later([pagewright, "convert", source, "-o", out], rng.uniform(0.0, convert_time))
            if not os.path.exists(out) or not complete_pdf(out, pagewright):
                failures.append(f"convert trial {trial}: {out} is not a complete PDF")
            fresh = os.path.join(tmp, f"fresh{trial}.pdf")
            kill_later([pagewright, "convert", source, "-o", fresh], rng.uniform(0.0, convert_time))
            fresh_written += os.path.exists(fresh)
            if os.path.exists(fresh) and not complete_pdf(fresh, pagewright):
                failures.append(f"convert trial {trial}: {fresh} exists but is incomplete")
        print(f"convert ({convert_time:.2f} s): 20 kills; {fresh_written} of 10 new outputs were "
              f"finished before the kill, the others absent")

        # merge never overwrites an input, and an existing output only with --force.
        a = os.path.join(tmp, "a.pdf")
        b = os.path.join(tmp, "b.pdf")
        for path, src in ((a, pdfs[0]), (b, pdfs[1])):
            with open(src, "rb") as f, open(path, "wb") as g:
                g.write(f.read())
        before = open(a, "rb").read()
        r = subprocess.run([pagewright, "merge", a, b], capture_output=True, text=True)
        if r.returncode != 4 or open(a, "rb").read() != before:
            failures.append(f"merge without -o: exit {r.returncode}, a.pdf changed: "
                            f"{open(a, 'rb').read() != before}")
        r = subprocess.run([pagewright, "merge", a, b, "-o", os.path.join(tmp, ".", "a.pdf"), "--force"],
                           capture_output=True, text=True)
        if r.returncode != 4 or open(a, "rb").read() != before or "input" not in r.stderr:
            failures.append(f"merge -o INPUT --force: exit {r.returncode} {r.stderr}")
        merged = os.path.join(tmp, "merged.pdf")
        r = subprocess.run([pagewright, "merge", a, b, "-o", merged], capture_output=True, text=True)
        if r.returncode != 0 or not complete_pdf(merged, pagewright):
            failures.append(f"merge -o OUT: exit {r.returncode} {r.stderr}")
        r = subprocess.run([pagewright, "merge", a, b, "-o", merged], capture_output=True, text=True)
        if r.returncode != 4 or "--force" not in r.stderr:
            failures.append(f"merge over an existing output without --force: exit {r.returncode}")
        r = subprocess.run([pagewright, "merge", a, b, "-o", merged, "--force"], capture_output=True)
        if r.returncode != 0:
            failures.append(f"merge --force: exit {r.returncode}")
        for args in (["convert", a, "--bogus", "-o", merged], ["frobnicate"], ["merge", "--help"]):
            r = subprocess.run([pagewright, *args], capture_output=True, text=True)
            expected = 0 if "--help" in args else 4
            if r.returncode != expected or (expected and not r.stderr.startswith("pagewright: ")):
                failures.append(f"pagewright {args}: exit {r.returncode} {r.stderr}")
        r = subprocess.run([pagewright, "--version"], capture_output=True, text=True)
        if r.returncode != 0 or not r.stdout.startswith("pagewright "):
            failures.append(f"pagewright --version: {r.returncode} {r.stdout}")

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
