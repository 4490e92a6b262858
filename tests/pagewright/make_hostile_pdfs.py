#!/usr/bin/env python3
"""Writes small PDFs that cost gigabytes or minutes when read naively.

Usage: make_hostile_pdfs.py OUTDIR [INVOICE.xml]
  nested-flate.pdf     a form XObject behind three Flate filters: 7 KB in the file, 4 GiB decoded
  content-bomb.pdf     a page whose contents name one 16 MiB stream 128 times (2 GiB of content)
  png-columns.pdf      a Flate stream with a PNG predictor of 2^31 columns, also as attachment
  invoice-bomb.pdf     nested-flate.pdf carrying INVOICE.xml as factur-x.xml (for import)
The files are made at test time and never committed.
"""
import os
import sys
import zlib

MIB = 1 << 20


def zero_deflate(mebibytes):
    """Deflate data inflating to `mebibytes` MiB of zeros, built from one repeated slice."""
    block = bytes(MIB)
    compressor = zlib.compressobj(9)
    head = compressor.compress(block) + compressor.flush(zlib.Z_FULL_FLUSH)
    slice_ = compressor.compress(block) + compressor.flush(zlib.Z_FULL_FLUSH)
    tail = compressor.flush(zlib.Z_FINISH)
    # The trailer's Adler-32 must cover every slice; over zeros its low half stays 1 and its
    # high half counts the bytes.
    adler = ((mebibytes * MIB) % 65521) << 16 | 1
    body = head + slice_ * (mebibytes - 1)
    return body + tail[:-4] + adler.to_bytes(4, "big")


def deflate(data):
    return zlib.compress(data, 9)


class Pdf:
    def __init__(self):
        self.objects = []

    def add(self, body):
        self.objects.append(body)
        return len(self.objects)

    def stream(self, data, dictionary=""):
        return self.add(b"<< /Length %d %s >>\nstream\n" % (len(data), dictionary.encode()) + data +
                        b"\nendstream")

    def write(self, path, root):
        out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
        offsets = []
        for number, body in enumerate(self.objects, 1):
            offsets.append(len(out))
            if isinstance(body, str):
                body = body.encode()
            out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
        xref = len(out)
        out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(self.objects) + 1)
        for offset in offsets:
            out += b"%010d 00000 n \n" % offset
        out += b"trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
            len(self.objects) + 1, root, xref)
        with open(path, "wb") as f:
            f.write(out)


def page_pdf(path, content_refs=None, xobject=None, attachment=None):
    pdf = Pdf()
    catalog = pdf.add("")  # filled below
    pages = pdf.add("")
    font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    text = pdf.stream(b"BT /F1 24 Tf 72 720 Td (Hostile) Tj ET" +
                      (b" q /X0 Do Q" if xobject else b""))
    resources = "/Font << /F1 %d 0 R >>" % font
    if xobject:
        resources += " /XObject << /X0 %d 0 R >>" % xobject(pdf)
    contents = "%d 0 R" % text
    if content_refs:
        contents = "[%d 0 R %s]" % (text, content_refs(pdf))
    page = pdf.add("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 595 842] /Resources << %s >> "
                   "/Contents %s >>" % (pages, resources, contents))
    pdf.objects[pages - 1] = ("<< /Type /Pages /Kids [%d 0 R] /Count 1 >>" % page).encode()
    names = ""
    if attachment:
        name, data, dictionary = attachment
        embedded = pdf.stream(data, "/Type /EmbeddedFile " + dictionary)
        spec = pdf.add("<< /Type /Filespec /F (%s) /UF (%s) /EF << /F %d 0 R >> "
                       "/AFRelationship /Alternative >>" % (name, name, embedded))
        names = " /Names << /EmbeddedFiles << /Names [(%s) %d 0 R] >> >> /AF [%d 0 R]" % (
            name, spec, spec)
    pdf.objects[catalog - 1] = ("<< /Type /Catalog /Pages %d 0 R%s >>" % (pages, names)).encode()
    pdf.write(path, catalog)


def nested_flate_form(pdf):
    data = deflate(deflate(zero_deflate(4096)))
    return pdf.stream(data, "/Type /XObject /Subtype /Form /BBox [0 0 10 10] "
                            "/Filter [/FlateDecode /FlateDecode /FlateDecode]")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main_into(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else None)


def main_into(out, invoice_path=None):
    os.makedirs(out, exist_ok=True)
    page_pdf(os.path.join(out, "nested-flate.pdf"), xobject=nested_flate_form)

    def repeated(pdf):
        big = pdf.stream(deflate(b"0 0 m\n" * (16 * MIB // 6)), "/Filter /FlateDecode")
        return " ".join(["%d 0 R" % big] * 128)

    page_pdf(os.path.join(out, "content-bomb.pdf"), content_refs=repeated)

    columns = "/Filter /FlateDecode /DecodeParms << /Predictor 12 /Colors 1 " \
              "/BitsPerComponent 8 /Columns 2147483648 >>"

    def png_form(pdf):
        return pdf.stream(deflate(b"\x02" + bytes(1024)),
                          "/Type /XObject /Subtype /Form /BBox [0 0 10 10] " + columns)

    page_pdf(os.path.join(out, "png-columns.pdf"), xobject=png_form,
             attachment=("factur-x.xml", deflate(b"\x02" + bytes(1024)), columns))

    if invoice_path:
        with open(invoice_path, "rb") as f:
            invoice = f.read()
        page_pdf(os.path.join(out, "invoice-bomb.pdf"), xobject=nested_flate_form,
                 attachment=("factur-x.xml", invoice, "/Subtype /text#2Fxml"))


if __name__ == "__main__":
    main()
