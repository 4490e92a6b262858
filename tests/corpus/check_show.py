#!/usr/bin/env python3
"""Checks that `ledgerlens-cli show` reads header fields of every XML invoice in the corpus.

Expected values come from the XML itself (ElementTree, namespace URI + local name), so a
reader fault cannot hide behind a second CLI run.
"""

import argparse
import datetime
import json
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET
from decimal import Decimal, InvalidOperation

FOLDERS = ("en16931-examples", "xrechnung", "zugferd", "fatturapa", "facturae")
SYNTAXES = ("CII", "UBL", "FatturaPA", "Facturae")
NOT_WELL_FORMED = "not well-formed"
UNKNOWN_ROOT = "unknown root"
FAILURES = (NOT_WELL_FORMED, UNKNOWN_ROOT)
BATCH_SIZE = 100
BATCH_TIMEOUT_S = 600
SKIP_RETURN_CODE = 77

RSM = "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"
RAM = "urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"
UDT = "urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100"
UBL_INVOICE = "urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"
UBL_CREDIT_NOTE = "urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2"
CBC = "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"
CAC = "urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"
ANY = None  # namespace wildcard
NO_NS = ""  # unqualified element

AMOUNT_RE = re.compile(r"[+-]?(?:\d+(?:\.\d*)?|\.\d+)")
DATE_102_RE = re.compile(r"(\d{4})(\d{2})(\d{2})")
DATE_ISO_RE = re.compile(r"(\d{4})-(\d{2})-(\d{2})")
XML_SPACE = " \t\r\n"


# --- XML helpers -------------------------------------------------------------------------

def split_tag(tag):
    if not isinstance(tag, str):
        return None, None
    if tag.startswith("{"):
        uri, _, local = tag[1:].partition("}")
        return uri, local
    return NO_NS, tag


def matches(el, step):
    uri, local = split_tag(el.tag)
    want_uri, want_local = step
    return local == want_local and (want_uri is ANY or uri == want_uri)


def select(el, *steps):
    """All elements at the child path `steps` below `el`, in document order."""
    nodes = [el]
    for step in steps:
        nodes = [child for node in nodes for child in node if matches(child, step)]
    return nodes


def first(el, *steps):
    found = select(el, *steps)
    return found[0] if found else None


def first_anywhere(el, step):
    return next((e for e in el.iter() if e is not el and matches(e, step)), None)


def count_anywhere(el, step):
    return sum(1 for e in el.iter() if e is not el and matches(e, step))


def string_value(el):
    """XPath string(): all descendant text; None when the element is absent."""
    return None if el is None else "".join(el.itertext())


# --- value parsing -----------------------------------------------------------------------

def parse_amount(text):
    if text is None:
        return None
    text = text.strip(XML_SPACE)
    return Decimal(text) if AMOUNT_RE.fullmatch(text) else None


def parse_date(text):
    if text is None:
        return None
    text = text.strip(XML_SPACE)
    m = DATE_102_RE.fullmatch(text) or DATE_ISO_RE.fullmatch(text)
    if not m:
        return None
    try:
        return datetime.date(*map(int, m.groups())).isoformat()
    except ValueError:
        return None


def add_amounts(a, b):
    return None if a is None or b is None else a + b


# --- expected values per syntax ----------------------------------------------------------

def r(local):
    return (RAM, local)


def expect_cii(root):
    doc = (RSM, "ExchangedDocument")
    seller = first_anywhere(root, r("SellerTradeParty"))
    summation = r("SpecifiedTradeSettlementHeaderMonetarySummation")

    currency = string_value(first_anywhere(root, r("InvoiceCurrencyCode")))

    def total(local, in_currency=False):
        # first match of //Summation/<local> in document order; a tax total stated in the
        # invoice currency is preferred over one in the tax accounting currency
        hits = [el for s in root.iter() if matches(s, summation) for el in select(s, r(local))]
        if in_currency:
            hits = [el for el in hits if el.get("currencyID") == currency] or hits
        return parse_amount(string_value(hits[0])) if hits else None

    settlement = first_anywhere(root, r("ApplicableHeaderTradeSettlement"))
    referenced = [] if settlement is None else select(settlement, r("InvoiceReferencedDocument"))
    return {
        "syntax": "CII",
        "typeCode": string_value(first(root, doc, r("TypeCode"))),
        "buyerReference": string_value(first_anywhere(root, r("BuyerReference"))),
        "precedingInvoices": [string_value(first(el, r("IssuerAssignedID"))) for el in referenced],
        "lineTotalAmount": total("LineTotalAmount"),
        "allowanceTotalAmount": total("AllowanceTotalAmount"),
        "chargeTotalAmount": total("ChargeTotalAmount"),
        "taxBasisAmount": total("TaxBasisTotalAmount"),
        "roundingAmount": total("RoundingAmount"),
        "paymentReference": string_value(first_anywhere(root, r("PaymentReference"))),
        "number": string_value(first(root, doc, r("ID"))),
        "issueDate": parse_date(string_value(
            first(root, doc, r("IssueDateTime"), (UDT, "DateTimeString")))),
        "currency": currency,
        "sellerName": None if seller is None else string_value(first(seller, r("Name"))),
        "netAmount": total("LineTotalAmount"),
        "taxAmount": total("TaxTotalAmount", in_currency=True),
        "grossAmount": total("GrandTotalAmount"),
        "finalAmount": total("DuePayableAmount"),
        "prepaidAmount": total("TotalPrepaidAmount"),
        "items": count_anywhere(root, r("IncludedSupplyChainTradeLineItem")),
    }


def expect_ubl(root, line_local):
    def cbc(local):
        return (CBC, local)

    def cac(local):
        return (CAC, local)

    currency = first(root, cbc("DocumentCurrencyCode"))
    if currency is None:
        currency = first(root, cac("PaymentMeans"), cac("PayeeFinancialAccount"),
                         cbc("CurrencyCode"))
    party = (cac("AccountingSupplierParty"), cac("Party"))
    seller = first(root, *party, cac("PartyLegalEntity"), cbc("RegistrationName"))
    if seller is None:
        seller = first(root, *party, cac("PartyName"), cbc("Name"))
    totals = cac("LegalMonetaryTotal")
    net = parse_amount(string_value(first(root, totals, cbc("TaxExclusiveAmount"))))
    tax_totals = select(root, cac("TaxTotal"), cbc("TaxAmount"))
    tax_totals = [el for el in tax_totals
                  if el.get("currencyID") == string_value(currency)] or tax_totals
    tax = parse_amount(string_value(tax_totals[0])) if tax_totals else None
    gross_el = first(root, totals, cbc("TaxInclusiveAmount"))
    gross = add_amounts(net, tax) if gross_el is None else parse_amount(string_value(gross_el))
    type_code = first(root, cbc("InvoiceTypeCode"))
    if type_code is None:
        type_code = first(root, cbc("CreditNoteTypeCode"))

    def legal(local):
        return parse_amount(string_value(first(root, totals, cbc(local))))

    return {
        "syntax": "UBL",
        "typeCode": string_value(type_code),
        "buyerReference": string_value(first(root, cbc("BuyerReference"))),
        "precedingInvoices": [string_value(first(el, cbc("ID"))) for el in select(
            root, cac("BillingReference"), cac("InvoiceDocumentReference"))],
        "lineTotalAmount": legal("LineExtensionAmount"),
        "allowanceTotalAmount": legal("AllowanceTotalAmount"),
        "chargeTotalAmount": legal("ChargeTotalAmount"),
        "taxBasisAmount": net,
        "roundingAmount": legal("PayableRoundingAmount"),
        "paymentReference": string_value(first(root, cac("PaymentMeans"), cbc("PaymentID"))),
        "number": string_value(first(root, cbc("ID"))),
        "issueDate": parse_date(string_value(first(root, cbc("IssueDate")))),
        "currency": string_value(currency),
        "sellerName": string_value(seller),
        "netAmount": net,
        "taxAmount": tax,
        "grossAmount": gross,
        "finalAmount": parse_amount(string_value(first(root, totals, cbc("PayableAmount")))),
        "prepaidAmount": parse_amount(string_value(first(root, totals, cbc("PrepaidAmount")))),
        "items": len(select(root, cac(line_local))),
    }


def expect_fatturapa(root):
    def u(*locals_):
        return [(NO_NS, local) for local in locals_]

    # Each body is an invoice of its own; show gives the first.
    bodies = select(root, *u("FatturaElettronicaBody"))
    first_body = bodies[0] if bodies else ET.Element("none")
    body = []
    root_all = root
    root = first_body
    general = u("DatiGenerali", "DatiGeneraliDocumento")
    # The document total includes the tax: it is the gross amount.
    gross = parse_amount(string_value(first(root, *body, *general, *u("ImportoTotaleDocumento"))))
    tax = Decimal(0)
    base = Decimal(0)
    for summary in select(root, *u("DatiBeniServizi", "DatiRiepilogo")):
        # one unreadable component makes the whole sum unknown
        tax = add_amounts(tax, parse_amount(string_value(first(summary, *u("Imposta")))))
        base = add_amounts(base, parse_amount(string_value(first(summary, *u("ImponibileImporto")))))
    summaries = select(root, *u("DatiBeniServizi", "DatiRiepilogo"))
    if gross is None and summaries and base is not None and tax is not None:
        gross = base + tax
    payments = [parse_amount(string_value(el)) for el in select(
        root, *u("DatiPagamento", "DettaglioPagamento", "ImportoPagamento"))]
    withheld = [parse_amount(string_value(el)) for el in select(
        root, *general, *u("DatiRitenuta", "ImportoRitenuta"))]
    if payments and None not in payments:
        final = sum(payments, Decimal(0))
    elif gross is not None and None not in withheld:
        final = gross - sum(withheld, Decimal(0))
    else:
        final = None
    return {
        "syntax": "FatturaPA",
        "number": string_value(first(root, *body, *general, *u("Numero"))),
        "issueDate": parse_date(string_value(first(root, *body, *general, *u("Data")))),
        "currency": string_value(first(root, *body, *general, *u("Divisa"))),
        "typeCode": string_value(first(root, *general, *u("TipoDocumento"))),
        "invoiceCount": len(bodies),
        "sellerName": string_value(first(root_all, *u(
            "FatturaElettronicaHeader", "CedentePrestatore", "DatiAnagrafici", "Anagrafica",
            "Denominazione"))),
        "netAmount": None if gross is None or tax is None else gross - tax,
        "taxAmount": tax,
        "grossAmount": gross,
        "finalAmount": final,
        "items": len(select(root, *body, *u("DatiBeniServizi", "DettaglioLinee"))),
    }


def expect_facturae(root):
    def a(*locals_):
        return [(ANY, local) for local in locals_]

    invoice = a("Invoices", "Invoice")
    totals = a("InvoiceTotals")

    def total(local):
        return parse_amount(string_value(first(root, *invoice, *totals, *a(local))))

    # A legal entity's corporate name, or an individual's name and surnames.
    seller_name = string_value(
        first(root, *a("Parties", "SellerParty", "LegalEntity", "CorporateName")))
    if seller_name is None:
        person = first(root, *a("Parties", "SellerParty", "Individual"))
        parts = [string_value(first(person, *a(p))) for p in ("Name", "FirstSurname", "SecondSurname")] \
            if person is not None else []
        parts = [p.strip(XML_SPACE) for p in parts if p and p.strip(XML_SPACE)]
        seller_name = " ".join(parts) or None
    return {
        "syntax": "Facturae",
        "number": string_value(first(root, *invoice, *a("InvoiceHeader", "InvoiceNumber"))),
        "issueDate": parse_date(string_value(
            first(root, *invoice, *a("InvoiceIssueData", "IssueDate")))),
        "currency": string_value(
            first(root, *invoice, *a("InvoiceIssueData", "InvoiceCurrencyCode"))),
        "sellerName": seller_name,
        "netAmount": total("TotalGrossAmountBeforeTaxes"),
        "taxAmount": total("TotalTaxOutputs"),
        "grossAmount": total("InvoiceTotal"),
        "finalAmount": total("TotalOutstandingAmount"),
        "items": len(select(root, *invoice, *a("Items", "InvoiceLine"))),
    }


def expected_for(path):
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as e:
        return {"failure": NOT_WELL_FORMED, "detail": str(e)}
    uri, local = split_tag(root.tag)
    if (uri, local) == (RSM, "CrossIndustryInvoice"):
        return expect_cii(root)
    if (uri, local) == (UBL_INVOICE, "Invoice"):
        return expect_ubl(root, "InvoiceLine")
    if (uri, local) == (UBL_CREDIT_NOTE, "CreditNote"):
        return expect_ubl(root, "CreditNoteLine")
    if local == "FatturaElettronica":
        return expect_fatturapa(root)
    if local == "Facturae":
        return expect_facturae(root)
    return {"failure": UNKNOWN_ROOT, "detail": root.tag}


# --- comparison --------------------------------------------------------------------------

MISSING = object()
STRING_FIELDS = ("number", "currency", "sellerName")
AMOUNT_FIELDS = ("netAmount", "taxAmount", "grossAmount", "finalAmount", "prepaidAmount",
                 "lineTotalAmount", "allowanceTotalAmount", "chargeTotalAmount",
                 "taxBasisAmount", "roundingAmount")


def show(value):
    if value is MISSING:
        return "<missing>"
    if isinstance(value, Decimal):
        return json.dumps(str(value))
    return json.dumps(value, ensure_ascii=False)


def actual_fields(record):
    """The CLI's values in the shape of the expected dict; MISSING where a key is absent."""
    inv = record.get("invoice")
    if not isinstance(inv, dict):
        return {"invoice": MISSING}

    def nested(key, inner):
        obj = inv.get(key, MISSING)
        if obj is None or obj is MISSING:
            return obj
        return obj.get(inner, MISSING) if isinstance(obj, dict) else MISSING

    got = {key: inv.get(key, MISSING) for key in
           ("number", "issueDate", "typeCode", "buyerReference", "paymentReference") +
           AMOUNT_FIELDS}
    got["syntax"] = record.get("syntax", MISSING)
    got["invoiceCount"] = record.get("invoiceCount", MISSING)
    preceding = inv.get("precedingInvoices", MISSING)
    got["precedingInvoices"] = ([p.get("number") for p in preceding]
                                if isinstance(preceding, list) else MISSING)
    got["currency"] = nested("currency", "name")
    got["sellerName"] = nested("seller", "name")
    items = inv.get("items", MISSING)
    got["items"] = 0 if items is None else len(items) if isinstance(items, list) else MISSING
    return got


def amounts_equal(expected, got):
    if got is None or expected is None:
        return got is None and expected is None
    if not isinstance(got, str):  # contract: decimal strings, not JSON numbers
        return False
    try:
        return Decimal(got) == expected
    except InvalidOperation:
        return False


def compare(expected, record):
    """List of (field, expected, got) that disagree."""
    got = actual_fields(record)
    if got.get("invoice") is MISSING:
        return [("invoice", "an object", record.get("invoice", MISSING))]
    diffs = []
    for field, want in expected.items():
        have = got.get(field, MISSING)
        # Values are read without the white space around them.
        if isinstance(want, str):
            want = want.strip(XML_SPACE)
        elif isinstance(want, list):
            want = [w.strip(XML_SPACE) if isinstance(w, str) else w for w in want]
        ok = amounts_equal(want, have) if field in AMOUNT_FIELDS else have == want
        if not ok:
            diffs.append((field, want, have))
    return diffs


# --- running the CLI ---------------------------------------------------------------------

class Result:
    def __init__(self):
        self.problems = {}  # file -> list of text

    def flag(self, path, text):
        self.problems.setdefault(path, []).append(text)
        print(f"MISMATCH {path}: {text}")


def run_batch(cli, batch, expected, result):
    try:
        proc = subprocess.run([cli, "show", "--compact", *batch], capture_output=True,
                              timeout=BATCH_TIMEOUT_S)
    except subprocess.TimeoutExpired:
        for path in batch:
            result.flag(path, f"output expected within {BATCH_TIMEOUT_S} s got a timeout")
        return True
    stdout = proc.stdout.decode("utf-8", "replace")
    stderr_lines = [l for l in proc.stderr.decode("utf-8", "replace").splitlines() if l.strip()]
    names = set(batch)
    records, order, stray = {}, [], False
    for line in stdout.splitlines():
        if not line.strip():
            continue
        try:
            record = json.loads(line)
            path = record["file"]
        except (ValueError, TypeError, KeyError):
            print(f"MISMATCH <stdout>: line expected JSON with \"file\" got {show(line)}")
            stray = True
            continue
        if path not in names:
            print(f"MISMATCH <stdout>: file expected one of the arguments got {show(path)}")
            stray = True
        elif path in records:
            result.flag(path, "output expected one JSON line got several")
        else:
            records[path] = record
            order.append(path)

    fails_expected = any("failure" in expected[p] for p in batch)
    want_status = 1 if fails_expected else 0
    for path in batch:
        want = expected[path]
        named = [l for l in stderr_lines if path in l]
        if "failure" in want:
            if path in records:
                result.flag(path, f"output expected none ({want['failure']}) got a JSON line")
            if len(named) != 1:
                result.flag(path, f"stderr expected one line naming the file got {len(named)}")
            if proc.returncode != want_status:
                result.flag(path, f"exit status expected {want_status} got {proc.returncode}")
            continue
        if path not in records:
            result.flag(path, "output expected a JSON line got none"
                        + (f" (stderr: {named[0]})" if named else ""))
            continue
        if named:
            result.flag(path, f"stderr expected nothing got {show(named[0])}")
        for field, want_value, have in compare(want, records[path]):
            result.flag(path, f"{field} expected {show(want_value)} got {show(have)}")

    in_order = [p for p in batch if p in records]
    if order != in_order:
        bad = next(p for p, q in zip(order, in_order) if p != q)
        result.flag(bad, "output order expected argument order got a different order")
    if proc.returncode != want_status and not fails_expected:
        # blame the files that explain it; otherwise the whole batch
        if not any(p in result.problems for p in batch):
            for path in batch:
                result.flag(path, f"exit status expected {want_status} got {proc.returncode}")
    for line in stderr_lines:
        if not any(p in line for p in batch):
            print(f"NOTE stderr line naming no file: {line}")
    return not stray


# --- main --------------------------------------------------------------------------------

def corpus_files(corpus):
    files = []
    for folder in FOLDERS:
        for dirpath, dirnames, filenames in os.walk(os.path.join(corpus, folder)):
            dirnames.sort()
            # upstream names keep their case: two CEN examples end in .XML
            files += [os.path.join(dirpath, f) for f in sorted(filenames)
                      if f.lower().endswith(".xml")]
    return files


def category(want):
    return want.get("failure") or want["syntax"]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", help="path to ledgerlens-cli")
    parser.add_argument("--corpus", required=True, help="path to shared/corpus")
    parser.add_argument("--dump-expected", action="store_true",
                        help="print the expected values as JSON lines and do not run the CLI")
    args = parser.parse_args()

    if not os.path.isdir(args.corpus):
        print(f"SKIP: corpus not found at {args.corpus}")
        return SKIP_RETURN_CODE
    if not args.dump_expected:
        if not args.cli:
            parser.error("--cli is required unless --dump-expected is given")
        if not os.access(args.cli, os.X_OK):
            print(f"ERROR: ledgerlens-cli not found or not executable at {args.cli}")
            return 1
    files = corpus_files(args.corpus)
    if not files:
        print(f"ERROR: no XML files under {args.corpus}/{{{','.join(FOLDERS)}}}")
        return 1
    expected = {path: expected_for(path) for path in files}
    counts = {c: sum(1 for w in expected.values() if category(w) == c)
              for c in SYNTAXES + FAILURES}
    # stdout stays pure JSON Lines when dumping
    print(f"files: {len(files)} ("
          + ", ".join(f"{c} {counts[c]}" for c in SYNTAXES)
          + "); expected failures: "
          + ", ".join(f"{counts[c]} {c}" for c in FAILURES),
          file=sys.stderr if args.dump_expected else sys.stdout)

    if args.dump_expected:
        for path in files:
            print(json.dumps({"file": path, **expected[path]}, default=str, ensure_ascii=False))
        return 0

    result = Result()
    clean = True
    for start in range(0, len(files), BATCH_SIZE):
        clean &= run_batch(args.cli, files[start:start + BATCH_SIZE], expected, result)

    failed = {c: sum(1 for p in files if category(expected[p]) == c and p in result.problems)
              for c in counts}
    print("; ".join(f"{c}: {counts[c] - failed[c]} passed, {failed[c]} failed"
                    for c in SYNTAXES + FAILURES))
    n_failed = len(result.problems)
    print(f"{len(files) - n_failed} passed, {n_failed} failed")
    return 0 if n_failed == 0 and clean else 1


if __name__ == "__main__":
    sys.exit(main())
