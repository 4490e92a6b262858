#!/usr/bin/env python3
"""ruleweave validate on real invoices: exit codes of every case, one JSON record per input,
ISO SVRL per input checked against the SVRL schema, reports in a folder, hostile inputs."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import xml.dom.minidom

SVRL = "{http://purl.oclc.org/dsdl/svrl}"


def main():
    cli, corpus, rules = sys.argv[1:4]
    rules_next = sys.argv[4] if len(sys.argv) > 4 else ""
    if not os.path.isdir(corpus) or not os.path.isdir(os.path.join(rules, "Schematron")):
        print("SKIP: corpus or rules not found")
        return 77
    if not os.path.isdir(os.path.join(rules_next, "FacturX")):
        print("SKIP: Factur-X profile rules not found")
        return 77
    schemas = ["--schemas", rules, "--schemas", rules_next]
    zf = os.path.join(corpus, "zugferd/ZUGFeRDv2/correct")
    valid = os.path.join(corpus, "en16931-examples/ubl/ubl-tc434-example2.xml")
    invalid = os.path.join(corpus, "xrechnung/schematron-instances/cii/cii-br-de-25-test-bg-19-remove-bt-91.xml")
    broken = os.path.join(corpus, "fatturapa/eigor/con-ritenuta-acconto-e-cassa-previdenziale.xml")
    info_only = os.path.join(zf, "FNFE-factur-x-examples/Facture_FR_MINIMUM.pdf")
    warnings = os.path.join(zf, "intarsys/EN16931/zugferd_2p0_EN16931_Einfach.pdf")
    zugferd1 = os.path.join(corpus, "zugferd/ZUGFeRDv1/correct/Intarsys/ZUGFeRD_1p0_BASIC_Einfach.pdf")
    failures = []
    checks = 0

    def check(name, condition, detail=""):
        nonlocal checks
        checks += 1
        if not condition:
            failures.append(f"{name} {str(detail)[:400]}")

    def run(*args, timeout=120):
        return subprocess.run([cli, "validate", *args], capture_output=True, text=True, timeout=timeout)

    def records(proc):
        return [json.loads(line) for line in proc.stdout.splitlines()]

    tmp = tempfile.mkdtemp(prefix="rw-cli-")
    try:
        no_rules = os.path.join(tmp, "note.xml")
        with open(no_rules, "w") as f:
            f.write("<note>not an invoice</note>")
        fifo = os.path.join(tmp, "pipe.xml")
        os.mkfifo(fifo)
        huge = os.path.join(tmp, "huge.xml")
        with open(huge, "wb") as f:
            f.truncate(2 << 30)  # sparse: takes no disk, must not be read

        # Exit status and JSON status word per case.
        cases = [
            ("valid", [valid], 0, "valid"),
            ("information only", [info_only], 0, "valid"),
            ("warnings", [warnings], 1, "warnings"),
            ("warnings with --fail-on error", ["--fail-on", "error", warnings], 0, "warnings"),
            ("errors", [invalid], 2, "invalid"),
            ("errors with --fail-on error", ["--fail-on", "error", invalid], 2, "invalid"),
            ("unreadable XML", [broken], 3, "unreadable"),
            ("no rule set fits", [no_rules], 3, "no-rules"),
            ("missing file", [os.path.join(tmp, "missing.xml")], 3, "unreadable"),
            ("device", ["/dev/zero"], 3, "unreadable"),
            ("pipe", [fifo], 3, "unreadable"),
            ("2 GB file", [huge], 3, "unreadable"),
        ]
        for name, args, code, word in cases:
            try:
                r = run(*schemas, "--format", "json", *args, timeout=60)
            except subprocess.TimeoutExpired:
                check(name + " returns", False, "timed out")
                continue
            check(name + f" exits {code}", r.returncode == code, f"{r.returncode} {r.stderr}")
            lines = records(r)
            check(name + " gives one record", len(lines) == 1, r.stdout)
            if lines:
                check(name + f" status {word}", lines[0]["status"] == word, lines[0].get("status"))
        r = run(*schemas, "--format", "json", "/dev/zero", huge)
        check("devices and huge files are named with a reason", "not a regular file" in r.stderr
              and "larger than" in r.stderr, r.stderr)

        # Usage errors: one line naming the problem, a hint, exit 4.
        usage = [
            ["--bogus", valid],
            ["--format", "yaml", valid],
            ["-j", "0", valid],
            ["--fail-on", "info", valid],
            ["--schemas", os.path.join(tmp, "no-such-folder"), valid],
            ["--format", "svrl", valid, invalid],
            ["--output-dir", os.path.join(tmp, "none"), "--format", "json", valid],
            [],
        ]
        for args in usage:
            r = run(*args)
            check(f"usage {args} exits 4", r.returncode == 4, f"{r.returncode} {r.stderr}")
            check(f"usage {args} explains", r.stderr.startswith("ruleweave: ") and "--help" in r.stderr, r.stderr)
        r = subprocess.run([cli, "--version"], capture_output=True, text=True)
        check("--version", r.returncode == 0 and r.stdout.startswith("ruleweave "), r.stdout)
        r = run("--help")
        check("validate --help", r.returncode == 0 and "--fail-on" in r.stdout, r.stdout)

        # A record per input, in order, with rule sets, profile and attachment.
        r = run(*schemas, "--format", "json", "-j", "2", invalid, valid, broken, info_only, zugferd1, invalid)
        lines = records(r)
        check("json has one record per input in order",
              [l["file"] for l in lines] == [invalid, valid, broken, info_only, zugferd1, invalid], r.stdout[:300])
        check("batch exit is the highest", r.returncode == 3, r.returncode)
        check("batch summary on stderr", "6 files: 3 valid, 0 with warnings, 2 invalid, 1 unreadable" in r.stderr, r.stderr)
        if len(lines) == 6:
            sets = {(s["name"], s["version"]) for s in lines[0]["ruleSets"]}
            check("rule sets with versions", {("EN16931-CII", "1.3.16"), ("XRechnung-CII", "2.5.0")} <= sets, sets)
            ids = {e["assertionId"] for e in lines[0]["errors"]}
            check("json carries findings", {"BR-DE-30", "BR-DE-31"} <= ids, ids)
            check("standard prefixes in locations", all(e["location"].startswith("/rsm:CrossIndustryInvoice[1]")
                                                        for e in lines[0]["errors"] if e["type"] != "xsd"))
            check("messages trimmed", all(e["message"] == " ".join(e["message"].split()) for e in lines[0]["errors"]))
            check("parallel runs agree", lines[0]["errors"] == lines[5]["errors"])
            check("unreadable record has a reason", lines[2]["status"] == "unreadable" and lines[2]["reason"], lines[2])
            check("profile and attachment", (lines[3]["profile"], lines[3]["profileMatch"], lines[3]["attachment"])
                  == ("MINIMUM", "exact", "factur-x.xml"), lines[3])
            check("the profile's code lists are read", lines[3]["engineProblems"] == [], lines[3]["engineProblems"])
            check("MINIMUM runs only its own rules", [s["name"] for s in lines[3]["ruleSets"]]
                  == ["FACTUR-X_MINIMUM", "FACTUR-X_MINIMUM"], lines[3]["ruleSets"])
            check("ZUGFeRD 1.0 gets the 1.0 rules", lines[4]["profile"] == "ZUGFeRD1" and
                  ("ZUGFeRD_1p0", "1.0") in {(s["name"], s["version"]) for s in lines[4]["ruleSets"]}, lines[4])

        # The same rules reached through a second folder run once.
        link = os.path.join(tmp, "rules-link")
        os.symlink(os.path.abspath(rules), link)
        once = records(run(*schemas, "--format", "json", invalid))
        twice = records(run(*schemas, "--schemas", link, "--format", "json", invalid))
        check("two folders with the same rules give no duplicate findings",
              once and twice and once[0]["errors"] == twice[0]["errors"])

        # Folders as input: *.xml and *.pdf, recursively.
        folder = os.path.join(tmp, "in")
        os.makedirs(os.path.join(folder, "sub"))
        shutil.copy(valid, folder)
        shutil.copy(info_only, os.path.join(folder, "sub"))
        with open(os.path.join(folder, "readme.txt"), "w") as f:
            f.write("skip me")
        r = run(*schemas, "--format", "json", folder)
        check("folder input", sorted(os.path.basename(l["file"]) for l in records(r))
              == sorted([os.path.basename(valid), os.path.basename(info_only)]), r.stdout[:300])

        # SVRL: one document per input, each valid ISO SVRL.
        out = os.path.join(tmp, "svrl")
        os.makedirs(out)
        inputs = [invalid, info_only, warnings, zugferd1, valid, invalid]
        r = run(*schemas, "--format", "svrl", "--output-dir", out, *inputs)
        written = sorted(os.listdir(out))
        check("one SVRL file per input", len(written) == len(inputs), written)
        xsd = os.path.join(rules_next, "SVRL", "svrl.xsd")
        if shutil.which("xmllint") and os.path.isfile(xsd):
            v = subprocess.run(["xmllint", "--noout", "--nonet", "--schema", xsd] +
                               [os.path.join(out, w) for w in written], capture_output=True, text=True)
            check("SVRL valid against the ISO schema", v.returncode == 0, v.stderr)
        doc = xml.dom.minidom.parse(os.path.join(out, os.path.splitext(os.path.basename(invalid))[0] + ".svrl.xml"))
        names = [n.tagName for n in doc.documentElement.childNodes if n.nodeType == n.ELEMENT_NODE]
        first_assert = names.index("svrl:failed-assert") if "svrl:failed-assert" in names else -1
        check("fired-rule before failed-assert", first_assert > 0 and "svrl:fired-rule" in names[:first_assert], names[:8])
        asserts = doc.getElementsByTagName("svrl:failed-assert")
        check("failed asserts carry test and location", asserts and all(a.getAttribute("test") and a.getAttribute("location")
                                                                        for a in asserts))
        check("svrl names the rule", any(a.getAttribute("id") == "BR-DE-30" for a in asserts))
        r = run(*schemas, "--format", "svrl", invalid)
        check("one input to stdout", r.returncode == 2 and r.stdout.count("<svrl:schematron-output") == 1)
        r = run(*schemas, "--format", "svrl", broken)
        check("an unreadable input still gets its SVRL document", r.returncode == 3 and
              "unreadable" in r.stdout and r.stdout.count("<svrl:schematron-output") == 1, r.stdout)

        # HTML report per input.
        html = os.path.join(tmp, "html")
        os.makedirs(html)
        r = run(*schemas, "--format", "html", "--output-dir", html, invalid, info_only)
        pages = sorted(os.listdir(html))
        check("one HTML page per input", len(pages) == 2, pages)
        with open(os.path.join(html, os.path.splitext(os.path.basename(invalid))[0] + ".html"), encoding="utf-8") as f:
            page = f.read()
        check("HTML names verdict, rule sets and rules", "invalid" in page and "XRechnung-CII" in page
              and "2.5.0" in page and "BR-DE-30" in page, page[:300])
    finally:
        shutil.rmtree(tmp, ignore_errors=True)

    for f in failures:
        print("FAIL:", f)
    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
