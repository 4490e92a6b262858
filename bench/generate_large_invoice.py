#!/usr/bin/env python3
"""Writes a valid EN 16931 CII invoice with N lines, built from the corpus's one-line example.

Usage: bench/generate_large_invoice.py N OUT.xml [CORPUS_DIR]
Every line is the example's line (800 at 25 %) with its own line id; the header totals and the
VAT breakdown are scaled so the invoice stays valid, so a validation run does the full work.
"""
import os
import re
import sys


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    count = int(sys.argv[1])
    corpus = sys.argv[3] if len(sys.argv) > 3 else os.path.join(
        os.path.dirname(__file__), "..", "..", "shared", "corpus")
    text = open(os.path.join(corpus, "en16931-examples", "cii", "CII_example3.xml"),
                encoding="utf-8").read()
    match = re.search(r"( *<ram:IncludedSupplyChainTradeLineItem>.*?"
                      r"</ram:IncludedSupplyChainTradeLineItem>\n)", text, re.S)
    line = match.group(1)
    lines = "".join(line.replace("<ram:LineID>1</ram:LineID>", f"<ram:LineID>{i}</ram:LineID>")
                    for i in range(1, count + 1))
    text = text[:match.start()] + lines + text[match.end():]
    net = 800 * count
    basis = net + 100
    tax = basis // 4 if basis % 4 == 0 else basis / 4
    replacements = [
        ("<ram:CalculatedAmount>225<", f"<ram:CalculatedAmount>{tax}<"),
        ("<ram:BasisAmount>900<", f"<ram:BasisAmount>{basis}<"),
        ("<ram:LineTotalAmount>800</ram:LineTotalAmount>\n                <ram:ChargeTotalAmount>",
         f"<ram:LineTotalAmount>{net}</ram:LineTotalAmount>\n                <ram:ChargeTotalAmount>"),
        ("<ram:TaxBasisTotalAmount>900<", f"<ram:TaxBasisTotalAmount>{basis}<"),
        (">225</ram:TaxTotalAmount>", f">{tax}</ram:TaxTotalAmount>"),
        ("<ram:GrandTotalAmount>1125<", f"<ram:GrandTotalAmount>{basis + tax}<"),
        ("<ram:DuePayableAmount>1125<", f"<ram:DuePayableAmount>{basis + tax}<"),
    ]
    for old, new in replacements:
        if old not in text:
            sys.exit(f"example changed: {old!r} not found")
        text = text.replace(old, new, 1)
    with open(sys.argv[2], "w", encoding="utf-8") as out:
        out.write(text)


if __name__ == "__main__":
    main()
