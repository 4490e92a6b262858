#!/usr/bin/env python3
"""ruleweave validate: exit codes, formats and parallel runs on real invoices."""
import json
import os
import subprocess
import sys
import xml.dom.minidom


def run(cli, *args):
    return subprocess.run([cli, "validate", *args], capture_output=True, text=True)


def main():
    cli, corpus, rules = sys.argv[1:4]
    if not os.path.isdir(corpus) or not os.path.isdir(os.path.join(rules, "Schematron")):
        print("SKIP: corpus or rules not found")
        return 77
    valid = os.path.join(corpus, "en16931-examples/ubl/ubl-tc434-example2.xml")
    invalid = os.path.join(corpus, "xrechnung/schematron-instances/cii/cii-br-de-25-test-bg-19-remove-bt-91.xml")
    broken = os.path.join(corpus, "fatturapa/eigor/con-ritenuta-acconto-e-cassa-previdenziale.xml")
    failures = []

    def check(name, condition, detail=""):
        if not condition:
            failures.append(f"{name} {detail}")

    r = run(cli, "--schemas", rules, valid)
    check("valid file exits 0", r.returncode == 0, r.stdout + r.stderr)
    r = run(cli, "--schemas", rules, invalid)
    check("invalid file exits 2", r.returncode == 2, r.stdout)
    check("text report names the rule", "BR-DE-30" in r.stdout, r.stdout)
    r = run(cli, "--schemas", rules, broken, valid)
    check("unreadable file exits 3", r.returncode == 3, r.stdout + r.stderr)
    check("unreadable file named on stderr", broken in r.stderr, r.stderr)
    check("other files still reported", valid in r.stdout, r.stdout)

    r = run(cli, "--schemas", rules, "--format", "json", "-j", "2", invalid, valid, invalid)
    lines = [json.loads(line) for line in r.stdout.splitlines()]
    check("json has one object per file in order", [l["file"] for l in lines] == [invalid, valid, invalid], r.stdout[:300])
    if lines:
        ids = {e["assertionId"] for e in lines[0]["errors"]}
        check("json carries findings", {"BR-DE-30", "BR-DE-31"} <= ids, str(ids))
        check("json status", lines[0]["status"] == 3 and lines[1]["status"] == 1, str([l["status"] for l in lines]))
        check("json fields", set(lines[0]["errors"][0]) >= {"pattern", "rule", "assertion", "assertionId", "test", "type",
                                                            "role", "flag", "message", "location", "schemaTitle", "severity"})
        check("parallel runs agree", lines[0]["errors"] == lines[2]["errors"])

    r = run(cli, "--schemas", rules, "--format", "svrl", invalid)
    try:
        dom = xml.dom.minidom.parseString(r.stdout)
        asserts = dom.getElementsByTagName("svrl:failed-assert")
        check("svrl lists failed asserts", any(a.getAttribute("id") == "BR-DE-30" for a in asserts))
    except Exception as e:  # noqa: BLE001 - any parse error is a failure here
        check("svrl is well-formed XML", False, str(e))

    for f in failures:
        print("FAIL:", f)
    total = 12
    print(f"{total - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
