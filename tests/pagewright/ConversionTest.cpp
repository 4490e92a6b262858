#include <qpdf/QPDFPageDocumentHelper.hh>

#include "PagewrightTestSupport.h"
#include "pagewright/PagewrightPDFDocument.h"
#include "platform/XmlDocument.h"

using pagewright::PagewrightPDFDocument;
using pagewright::PagewrightPDFDocumentAttachment;

namespace {

std::shared_ptr<PagewrightPDFDocument> documentWith(const std::function<void(QPDF&)>& build) {
    QPDF pdf;
    pdf.emptyPDF();
    build(pdf);
    return PagewrightPDFDocument::initWithData(writeToBytes(pdf));
}

std::shared_ptr<PagewrightPDFDocument> textDocument(const std::string& text = "Invoice 42") {
    return documentWith([&](QPDF& pdf) { addTextPage(pdf, text); });
}

std::string convert(PagewrightPDFDocument& document) {
    platform::Error error;
    auto bytes = document.dataRepresentation(&error);
    EXPECT_TRUE(bytes) << error.localizedDescription;
    return bytes.value_or("");
}

QPDFObjectHandle textAnnotation(QPDF& pdf, const std::string& text, double x) {
    return pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Annot /Subtype /Text /Rect [" + std::to_string(x) + " 100 " +
        std::to_string(x + 40) + " 120] /Contents (" + text + ") >>"));
}

std::string attachedXml(const std::string& guideline,
                        const std::string& root = "rsm:CrossIndustryInvoice") {
    return "<" + root +
           " xmlns:rsm=\"urn:x\" xmlns:ram=\"urn:y\"><rsm:ExchangedDocumentContext>"
           "<ram:GuidelineSpecifiedDocumentContextParameter><ram:ID>" +
           guideline +
           "</ram:ID></ram:GuidelineSpecifiedDocumentContextParameter>"
           "</rsm:ExchangedDocumentContext></" +
           root.substr(0, root.find(' ')) + ">";
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(Conversion, CorpusPDFsBecomeCheckedPDFA3WithTheirTextPagesAndAttachments) {
    SKIP_WITHOUT_CORPUS();
    for (const char* tool : {"qpdf", "pdftotext", "pdfdetach"})
        if (!haveTool(tool)) GTEST_SKIP() << tool << " not installed";
    ScopedSettings settings;
    auto dir = scratchDir("conversion");
    int converted = 0;
    for (const auto& file : corpusPDFs()) {
        SCOPED_TRACE(file.string());
        auto document = PagewrightPDFDocument::initWithURL(file);
        ASSERT_TRUE(document);
        auto bytes = convert(*document);
        ASSERT_FALSE(bytes.empty());
        auto out = dir / "out.pdf";
        writeFile(out, bytes);
        auto check = run("qpdf --check " + shellQuote(out) + " 2>&1");
        EXPECT_EQ(check.status, 0) << check.output;
        auto before = run("pdftotext -q " + shellQuote(file) + " -");
        auto after = run("pdftotext -q " + shellQuote(out) + " -");
        EXPECT_TRUE(before.output == after.output) << "text differs";

        auto reopened = PagewrightPDFDocument::initWithData(bytes);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(reopened->pageCount(), document->pageCount());
        // pdfdetach sees the same files with the same bytes.
        fs::remove_all(dir / "files");
        fs::create_directories(dir / "files");
        run("cd " + shellQuote(dir / "files") + " && pdfdetach -saveall " + shellQuote(out) +
            " >/dev/null 2>&1");
        std::map<std::string, std::string> detached;
        for (const auto& entry : fs::directory_iterator(dir / "files"))
            detached[entry.path().filename().string()] = readFile(entry.path());
        ASSERT_EQ(detached.size(), document->attachments().size());
        for (const auto& attachment : document->attachments())
            EXPECT_TRUE(detached[attachment->name] == attachment->data) << attachment->name;

        OpenedPDF pdf(bytes);
        EXPECT_FALSE(pdf.pdf.isEncrypted());
        EXPECT_TRUE(pdf.pdf.getTrailer().getKey("/ID").isArray());
        EXPECT_EQ(pdf.pdf.getPDFVersion(), "1.7");
        auto xmp = pdf.xmp();
        EXPECT_TRUE(contains(xmp, "<pdfaid:part>3</pdfaid:part>"));
        EXPECT_TRUE(contains(xmp, "<pdfaid:conformance>B</pdfaid:conformance>"));
        EXPECT_FALSE(contains(xmp, "pdf:Producer"));
        // The packet is well-formed XML, whatever the document information held.
        auto packet = platform::XmlDocument::parse(xmp);
        ASSERT_TRUE(packet);
        EXPECT_EQ(packet->root().localName(), "xmpmeta");
        auto intents = pdf.root().getKey("/OutputIntents");
        ASSERT_TRUE(intents.isArray());
        auto profile = intents.getArrayItem(0).getKey("/DestOutputProfile");
        ASSERT_TRUE(profile.isStream());
        EXPECT_EQ(profile.getDict().getKey("/N").getIntValue(), 3);
        auto af = pdf.root().getKey("/AF");
        EXPECT_EQ(af.isArray() ? af.getArrayNItems() : 0,
                  static_cast<int>(document->attachments().size()));
        // The extension schema follows the attachment names.
        if (document->hasAttachmentNamed("zugferd"))
            EXPECT_TRUE(contains(xmp, "urn:ferd:pdfa:CrossIndustryDocument:invoice:1p0#") ||
                        contains(xmp, "urn:zugferd:pdfa:CrossIndustryDocument:invoice:2p0#"));
        else if (document->hasAttachmentNamed("xrechnung"))
            EXPECT_TRUE(contains(xmp, "<fx:ConformanceLevel>XRECHNUNG</fx:ConformanceLevel>"));
        else if (document->hasAttachmentNamed("factur"))
            EXPECT_TRUE(contains(xmp, "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#"));
        else
            EXPECT_FALSE(contains(xmp, "pdfaExtension"));
        ++converted;
    }
    EXPECT_GE(converted, 40);
}

TEST(Conversion, VersionCodeFollowsAttachmentNamesInOrder) {
    ScopedSettings settings;
    struct Case {
        std::vector<std::pair<std::string, std::string>> files;
        std::string expectNamespace, expectLevel, expectFile;
    };
    const std::vector<Case> cases = {
        {{{"ZUGFeRD-invoice.xml", attachedXml("urn:ferd:CrossIndustryDocument:invoice:1p0:comfort",
                                              "rsm:CrossIndustryDocument")}},
         "urn:ferd:pdfa:CrossIndustryDocument:invoice:1p0#",
         "COMFORT",
         "ZUGFeRD-invoice.xml"},
        {{{"zugferd-invoice.xml", attachedXml("urn:zugferd.de:2p0:extended")}},
         "urn:zugferd:pdfa:CrossIndustryDocument:invoice:2p0#",
         "EXTENDED",
         "zugferd-invoice.xml"},
        // "zugferd" wins over "factur" whatever the order of the files.
        {{{"factur-x.xml", attachedXml("urn:cen.eu:en16931:2017")},
          {"ZUGFERD-invoice.xml", attachedXml("urn:zugferd.de:2p0:basic")}},
         "urn:zugferd:pdfa:CrossIndustryDocument:invoice:2p0#",
         "BASIC",
         "ZUGFERD-invoice.xml"},
        {{{"xrechnung.xml",
           attachedXml("urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0")}},
         "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#",
         "XRECHNUNG",
         "xrechnung.xml"},
        {{{"Factur-X.xml", attachedXml("urn:factur-x.eu:1p0:basicwl")}},
         "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#",
         "BASIC WL",
         "Factur-X.xml"},
        {{{"factur-x.xml", "not xml at all"}},
         "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#",
         "EN 16931",
         "factur-x.xml"},
        {{{"invoice.xml", attachedXml("urn:cen.eu:en16931:2017")}}, "", "", ""},
        {{}, "", "", ""},
    };
    for (const auto& c : cases) {
        auto document = textDocument();
        for (const auto& [name, data] : c.files)
            ASSERT_TRUE(document->addAttachment(
                PagewrightPDFDocumentAttachment::attachmentWithDataName(data, name)));
        OpenedPDF pdf(convert(*document));
        auto xmp = pdf.xmp();
        SCOPED_TRACE(c.expectFile + " " + c.expectLevel);
        if (c.expectNamespace.empty()) {
            EXPECT_FALSE(contains(xmp, "pdfaExtension"));
            EXPECT_TRUE(contains(xmp, "<pdfaid:part>3</pdfaid:part>"));
            continue;
        }
        EXPECT_TRUE(contains(xmp, "<pdfaSchema:namespaceURI>" + c.expectNamespace));
        EXPECT_TRUE(contains(xmp, ":ConformanceLevel>" + c.expectLevel + "</"));
        EXPECT_TRUE(contains(xmp, ":DocumentFileName>" + c.expectFile + "</"));
        EXPECT_TRUE(contains(xmp, ":DocumentType>INVOICE</"));
    }
}

TEST(Conversion, InvoiceXmlIsTheAlternativeAndOtherFilesSupplements) {
    ScopedSettings settings;
    auto document = textDocument();
    auto xml = PagewrightPDFDocumentAttachment::attachmentWithDataName(
        attachedXml("urn:cen.eu:en16931:2017"), "factur-x.xml");
    xml->setFileDescription("Factur-X invoice");
    document->addAttachment(xml);
    document->addAttachment(PagewrightPDFDocumentAttachment::attachmentWithDataNameMimeType(
        "a,b\n", "hours.csv", "text/csv"));
    OpenedPDF pdf(convert(*document));
    auto af = pdf.root().getKey("/AF");
    ASSERT_TRUE(af.isArray());
    ASSERT_EQ(af.getArrayNItems(), 2);
    auto invoice = af.getArrayItem(0), other = af.getArrayItem(1);
    EXPECT_EQ(invoice.getKey("/AFRelationship").getName(), "/Alternative");
    EXPECT_EQ(invoice.getKey("/Desc").getUTF8Value(), "Factur-X invoice");
    EXPECT_EQ(invoice.getKey("/UF").getUTF8Value(), "factur-x.xml");
    auto stream = invoice.getKey("/EF").getKey("/F");
    EXPECT_EQ(stream.getDict().getKey("/Subtype").getName(), "/text/xml");
    EXPECT_TRUE(stream.getDict().getKey("/Filter").isNameAndEquals("/FlateDecode"));
    auto params = stream.getDict().getKey("/Params");
    EXPECT_EQ(params.getKey("/Size").getIntValue(),
              static_cast<long long>(attachedXml("urn:cen.eu:en16931:2017").size()));
    EXPECT_TRUE(params.getKey("/ModDate").isString());
    EXPECT_EQ(other.getKey("/AFRelationship").getName(), "/Supplement");
    EXPECT_EQ(other.getKey("/EF").getKey("/F").getDict().getKey("/Subtype").getName(), "/text/csv");
}

TEST(Conversion, PlaceholderAnnotationsBecomeFormFieldsNamedByIndex) {
    ScopedSettings settings;
    auto document = documentWith([](QPDF& pdf) {
        auto page = addTextPage(pdf, "Form");
        auto annots = QPDFObjectHandle::newArray();
        annots.appendItem(textAnnotation(pdf, "A note", 10));
        annots.appendItem(textAnnotation(pdf, "Signature", 100));
        annots.appendItem(textAnnotation(pdf, "Checkbox", 200));
        annots.appendItem(textAnnotation(pdf, "TextField", 300));
        page.replaceKey("/Annots", annots);
    });
    OpenedPDF pdf(convert(*document));
    EXPECT_EQ(pdf.fields(),
              (std::map<std::string, std::string>{
                  {"Checkbox_2", "/Btn"}, {"Signature_1", "/Sig"}, {"TextField_3", "/Tx"}}));
    auto page = QPDFPageDocumentHelper(pdf.pdf).getAllPages().at(0).getObjectHandle();
    auto annots = page.getKey("/Annots");
    int notes = 0;
    for (int i = 0; i < annots.getArrayNItems(); ++i) {
        auto a = annots.getArrayItem(i);
        if (a.getKey("/Subtype").isNameAndEquals("/Text")) {
            ++notes;
            EXPECT_EQ(a.getKey("/Contents").getUTF8Value(), "A note");
            // PDF/A wants an appearance for every note.
            EXPECT_TRUE(a.getKey("/AP").getKey("/N").isStream());
        } else {
            // Every widget carries its own appearance: PDF/A forbids viewer-built ones.
            EXPECT_TRUE(a.getKey("/AP").getKey("/N").isStream() ||
                        a.getKey("/AP").getKey("/N").isDictionary());
            EXPECT_EQ(a.getKey("/F").getIntValue(), 4);
        }
    }
    EXPECT_EQ(notes, 1);
    auto box = pdf.root().getKey("/AcroForm").getKey("/Fields").getArrayItem(0);
    for (int i = 0; i < pdf.root().getKey("/AcroForm").getKey("/Fields").getArrayNItems(); ++i) {
        auto f = pdf.root().getKey("/AcroForm").getKey("/Fields").getArrayItem(i);
        if (f.getKey("/T").getUTF8Value() == "Checkbox_2") box = f;
    }
    EXPECT_EQ(box.getKey("/V").getName(), "/Off");
    EXPECT_EQ(box.getKey("/Rect").getArrayItem(0).getNumericValue(), 200);
    EXPECT_EQ(box.getKey("/Rect").getArrayItem(2).getNumericValue(), 240);
    EXPECT_EQ(box.getKey("/BS").getKey("/W").getNumericValue(), 0.25);
    EXPECT_TRUE(box.getKey("/AP").getKey("/N").getKey("/Yes").isStream());
    EXPECT_FALSE(pdf.root().getKey("/AcroForm").hasKey("/NeedAppearances"));
}

TEST(Conversion, DisableAllGivesTheCreationBytes) {
    ScopedSettings settings;
    QPDF pdf;
    pdf.emptyPDF();
    addTextPage(pdf, "Untouched");
    auto bytes = writeToBytes(pdf);
    auto document = PagewrightPDFDocument::initWithData(bytes);
    settings.set("PagewrightDisableAll", "true");
    EXPECT_EQ(document->dataRepresentation(), bytes);
    settings.set("PagewrightDisableAll", "false");
    EXPECT_NE(document->dataRepresentation(), bytes);
}

TEST(Conversion, ProducerClearedKeywordsOnRequestAndInfoInStepWithXmp) {
    ScopedSettings settings;
    auto make = [] {
        return documentWith([](QPDF& pdf) {
            addTextPage(pdf, "Info");
            pdf.getTrailer().replaceKey(
                "/Info",
                pdf.makeIndirectObject(QPDFObjectHandle::parse(
                    "<< /Title (Rechnung <42> & Co) /Author (ACME) /Keywords (secret) "
                    "/Producer (Old Producer) /CreationDate (D:20240131120000+01'00') >>")));
        });
    };
    auto document = make();
    OpenedPDF kept(convert(*document));
    auto info = kept.pdf.getTrailer().getKey("/Info");
    EXPECT_FALSE(info.hasKey("/Producer"));
    EXPECT_EQ(info.getKey("/Keywords").getUTF8Value(), "secret");
    EXPECT_EQ(info.getKey("/CreationDate").getUTF8Value(), "D:20240131120000+01'00'");
    auto xmp = kept.xmp();
    EXPECT_TRUE(
        contains(xmp, "<rdf:li xml:lang=\"x-default\">Rechnung &lt;42&gt; &amp; Co</rdf:li>"));
    EXPECT_TRUE(contains(xmp, "<rdf:li>ACME</rdf:li>"));
    EXPECT_TRUE(contains(xmp, "<pdf:Keywords>secret</pdf:Keywords>"));
    EXPECT_TRUE(contains(xmp, "<xmp:CreateDate>2024-01-31T12:00:00+01:00</xmp:CreateDate>"));
    EXPECT_FALSE(contains(xmp, "Old Producer"));
    EXPECT_TRUE(platform::XmlDocument::parse(xmp));

    auto stripped = make();
    stripped->setRemoveKeywords(true);
    OpenedPDF removed(convert(*stripped));
    EXPECT_FALSE(removed.pdf.getTrailer().getKey("/Info").hasKey("/Keywords"));
    EXPECT_FALSE(contains(removed.xmp(), "Keywords"));
}

// PDF strings may hold any byte; the XMP packet built from them must still be XML 1.0.
TEST(Conversion, InfoControlCharactersLeaveTheXmpWellFormed) {
    auto document = documentWith([](QPDF& pdf) {
        addTextPage(pdf, "Info");
        pdf.getTrailer().replaceKey(
            "/Info", pdf.makeIndirectObject(QPDFObjectHandle::parse(
                         "<< /Title (Bell\\007 and \\000nul) /Author <4163FF1B4D45> "
                         "/Subject (Form\\014feed) /Keywords (ok) >>")));
    });
    OpenedPDF converted(convert(*document));
    auto xmp = converted.xmp();
    platform::Error error;
    EXPECT_TRUE(platform::XmlDocument::parse(xmp, &error)) << error.localizedDescription;
    EXPECT_TRUE(contains(xmp, ">Bell and nul</rdf:li>")) << xmp;
    EXPECT_TRUE(contains(xmp, ">Formfeed</rdf:li>")) << xmp;
    EXPECT_TRUE(contains(xmp, "<pdf:Keywords>ok</pdf:Keywords>"));
}

TEST(Conversion, OutputIntentFollowsDeviceColours) {
    ScopedSettings settings;
    auto withContent = [](const std::string& content) {
        return documentWith([&](QPDF& pdf) {
            auto page = addTextPage(pdf, "Colour");
            page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
        });
    };
    auto components = [&](const std::string& content) {
        auto document = withContent(content);
        OpenedPDF pdf(convert(*document));
        return pdf.root()
            .getKey("/OutputIntents")
            .getArrayItem(0)
            .getKey("/DestOutputProfile")
            .getDict()
            .getKey("/N")
            .getIntValue();
    };
    EXPECT_EQ(components("1 0 0 rg 0 0 10 10 re f"), 3);
    EXPECT_EQ(components("0 0 0 1 k 0 0 10 10 re f"), 4);
    EXPECT_EQ(components("/DeviceCMYK cs 0 1 0 0 sc 0 0 10 10 re f"), 4);
    auto both = withContent("1 0 0 rg 0 0 0 1 k 0 0 10 10 re f");
    convert(*both);
    ASSERT_TRUE(both->transcript());
    bool noted = false;
    for (const auto& line : *both->transcript()) noted |= contains(line, "both RGB and CMYK");
    EXPECT_TRUE(noted);
}

TEST(Conversion, ConformanceProblemsAreWrittenToTheTranscript) {
    ScopedSettings settings;
    auto document = documentWith([](QPDF& pdf) {
        auto page = addTextPage(pdf, "Problems");
        page.replaceKey(
            "/AA", QPDFObjectHandle::parse("<< /O << /S /JavaScript /JS (app.alert(1)) >> >>"));
        auto item = pdf.makeIndirectObject(
            QPDFObjectHandle::parse("<< /Title (Run) /A << /S /Launch /F (/bin/sh) >> >>"));
        auto outlines = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
        outlines.replaceKey("/First", item);
        outlines.replaceKey("/Last", item);
        item.replaceKey("/Parent", outlines);
        pdf.getRoot().replaceKey("/Outlines", outlines);
    });
    document->setConvertTextToOutlines(true);
    OpenedPDF pdf(convert(*document));
    ASSERT_TRUE(document->transcript());
    std::string all;
    for (const auto& line : *document->transcript()) all += line + "\n";
    EXPECT_TRUE(contains(all, "Font Helvetica is not embedded")) << all;
    EXPECT_TRUE(contains(all, "additional actions removed")) << all;
    EXPECT_TRUE(contains(all, "action of a bookmark removed")) << all;
    auto bookmark = pdf.root().getKey("/Outlines").getKey("/First");
    EXPECT_EQ(bookmark.getKey("/Title").getUTF8Value(), "Run");
    EXPECT_FALSE(bookmark.hasKey("/A"));
    EXPECT_TRUE(contains(all, "text to outlines is not supported")) << all;
    EXPECT_FALSE(
        QPDFPageDocumentHelper(pdf.pdf).getAllPages().at(0).getObjectHandle().hasKey("/AA"));
}

TEST(Conversion, EncryptedInputComesOutUnencrypted) {
    ScopedSettings settings;
    QPDF source;
    source.emptyPDF();
    addTextPage(source, "Was encrypted");
    QPDFWriter writer(source);
    writer.setOutputMemory();
    writer.setR6EncryptionParameters("", "owner", true, true, true, true, true, true, qpdf_r3p_full,
                                     true);
    writer.write();
    auto buffer = writer.getBufferSharedPointer();
    auto document = PagewrightPDFDocument::initWithData(
        std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()));
    ASSERT_TRUE(document);
    OpenedPDF pdf(convert(*document));
    EXPECT_FALSE(pdf.pdf.isEncrypted());
    EXPECT_EQ(QPDFPageDocumentHelper(pdf.pdf).getAllPages().size(), 1u);
}

TEST(Conversion, ScaleImagesDownsamplesOversizedImages) {
    ScopedSettings settings;
    auto make = [] {
        return documentWith([](QPDF& pdf) {
            auto page = addTextPage(pdf, "Image");
            // 4000 × 4000 pixels on A4: at least 483 ppi however it is placed.
            std::string pixels(size_t(4000) * 4000 * 3, '\x80');
            auto image = QPDFObjectHandle::newStream(&pdf, pixels);
            image.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
            image.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
            image.getDict().replaceKey("/Width", QPDFObjectHandle::newInteger(4000));
            image.getDict().replaceKey("/Height", QPDFObjectHandle::newInteger(4000));
            image.getDict().replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceRGB"));
            image.getDict().replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
            auto xobjects = QPDFObjectHandle::newDictionary();
            xobjects.replaceKey("/Im1", image);
            page.getKey("/Resources").replaceKey("/XObject", xobjects);
            page.replaceKey("/Contents",
                            QPDFObjectHandle::newStream(&pdf, "q 595 0 0 842 0 0 cm /Im1 Do Q"));
        });
    };
    auto widthAfter = [](PagewrightPDFDocument& document) {
        OpenedPDF pdf(convert(document));
        auto page = QPDFPageDocumentHelper(pdf.pdf).getAllPages().at(0).getObjectHandle();
        return page.getKey("/Resources")
            .getKey("/XObject")
            .getKey("/Im1")
            .getDict()
            .getKey("/Width")
            .getIntValue();
    };
    auto unscaled = make();
    EXPECT_EQ(widthAfter(*unscaled), 4000);
    auto scaled = make();
    scaled->setScaleImages(true);
    // Target 200 ppi: 4000 pixels over the 8.26 inch page width are 484 ppi.
    EXPECT_EQ(widthAfter(*scaled), 1653);
}

TEST(Conversion, NothingToConvertGivesNoneAndWriteToURLFails) {
    ScopedSettings settings;
    auto document = textDocument();
    platform::Error error;
    EXPECT_FALSE(document->convertedData(std::nullopt, &error));
    EXPECT_EQ(error.code, pagewright::PagewrightErrorConversionFailed);
    EXPECT_FALSE(document->convertedData(std::string()));
    auto dir = scratchDir("write");
    EXPECT_TRUE(document->writeToURL(dir / "out.pdf"));
    EXPECT_TRUE(PagewrightPDFDocument::initWithURL(dir / "out.pdf"));
    EXPECT_FALSE(document->writeToURL(dir / "missing" / "out.pdf", &error));
    EXPECT_EQ(error.code, pagewright::PagewrightErrorWriteFailed);
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(Conversion, ExistingFormFieldsSurviveOnceWithTheirValues) {
    ScopedSettings settings;
    auto document = documentWith([](QPDF& pdf) {
        auto page = addTextPage(pdf, "Form");
        auto appearance = QPDFObjectHandle::newStream(&pdf, "");
        appearance.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        appearance.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        appearance.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 100 20]"));
        auto field = pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Annot /Subtype /Widget /FT /Tx /T (Customer) /V (ACME GmbH) "
            "/Rect [50 50 150 70] /F 4 >>"));
        auto ap = QPDFObjectHandle::newDictionary();
        ap.replaceKey("/N", appearance);
        field.replaceKey("/AP", ap);
        field.replaceKey("/P", page);
        auto annots = QPDFObjectHandle::newArray();
        annots.appendItem(field);
        page.replaceKey("/Annots", annots);
        auto form = QPDFObjectHandle::newDictionary();
        auto fields = QPDFObjectHandle::newArray();
        fields.appendItem(field);
        form.replaceKey("/Fields", fields);
        pdf.getRoot().replaceKey("/AcroForm", pdf.makeIndirectObject(form));
    });
    OpenedPDF pdf(convert(*document));
    EXPECT_EQ(pdf.fields(), (std::map<std::string, std::string>{{"Customer", "/Tx"}}));
    auto field = pdf.root().getKey("/AcroForm").getKey("/Fields").getArrayItem(0);
    EXPECT_EQ(field.getKey("/V").getUTF8Value(), "ACME GmbH");
    auto page = QPDFPageDocumentHelper(pdf.pdf).getAllPages().at(0).getObjectHandle();
    ASSERT_EQ(page.getKey("/Annots").getArrayNItems(), 1);
    EXPECT_EQ(page.getKey("/Annots").getArrayItem(0).getObjGen(), field.getObjGen());
}
