#include "pagewright/PagewrightEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>
#include <set>

#include "EInvoiceMetadata.h"
#include "ImageScaler.h"
#include "PdfSupport.h"
#include "platform/Log.h"

namespace pagewright {
namespace {

using OH = QPDFObjectHandle;

bool isTrue(OH value) { return value.isBool() && value.getBoolValue(); }

// Annotation subtypes in the order of their type codes (a sticky note, /Text, is 13).
const char* const kAnnotationSubtypes[] = {
    "/Caret",    "/Circle", "/FileAttachment", "/FreeText",    "/Highlight", "/Ink",
    "/Line",     "/Link",   "/Polygon",        "/PolyLine",    "/Popup",     "/Square",
    "/Squiggly", "/Text",   "/StrikeOut",      "/Sound",       "/Stamp",     "/Underline",
    "/Widget",   "/Movie",  "/Screen",         "/PrinterMark", "/TrapNet",   "/Watermark",
    "/3D",       "/Redact", "/RichMedia"};

// Content streams larger than this once decoded are not scanned for colours.
constexpr size_t kMaximumScannedContent = size_t(64) << 20;
// All content scanned in one document together: many pages naming one bomb stream stay cheap.
constexpr size_t kMaximumScannedTotal = size_t(256) << 20;

std::string nowAsPDFDate() { return QUtil::qpdf_time_to_pdf_time(QUtil::get_current_qpdf_time()); }

OH rectangle(double x1, double y1, double x2, double y2) {
    return OH::newArray(OH::Rectangle(x1, y1, x2, y2));
}

std::string number(double value) { return QUtil::double_to_string(value, 4); }

std::string colorOperands(uint32_t color) {
    return number(((color >> 16) & 0xff) / 255.0) + " " + number(((color >> 8) & 0xff) / 255.0) +
           " " + number((color & 0xff) / 255.0);
}

// Which device colour spaces an object (a colour space, image or inline image key) uses.
struct ColourUse {
    bool rgb = false, cmyk = false, gray = false;
};

void noteColourSpace(OH cs, ColourUse& use, int depth = 0) {
    if (depth > 8) return;
    if (cs.isName()) {
        auto n = cs.getName();
        if (n == "/DeviceRGB" || n == "/RGB") use.rgb = true;
        if (n == "/DeviceCMYK" || n == "/CMYK") use.cmyk = true;
        if (n == "/DeviceGray" || n == "/G") use.gray = true;
        return;
    }
    if (!cs.isArray() || cs.getArrayNItems() == 0) return;
    auto family = cs.getArrayItem(0);
    if (!family.isName()) return;
    auto f = family.getName();
    if (f == "/Indexed" || f == "/I") noteColourSpace(cs.getArrayItem(1), use, depth + 1);
    if (f == "/Separation") noteColourSpace(cs.getArrayItem(2), use, depth + 1);
    if (f == "/DeviceN") noteColourSpace(cs.getArrayItem(2), use, depth + 1);
    if (f == "/Pattern" && cs.getArrayNItems() > 1)
        noteColourSpace(cs.getArrayItem(1), use, depth + 1);
}

// Collects device colour use from content operators.
class ColourScanner : public QPDFObjectHandle::ParserCallbacks {
  public:
    ColourScanner(ColourUse& use, OH resources) : use_(use), resources_(resources) {}
    void handleObject(OH object) override {
        if (object.isOperator()) {
            auto op = object.getOperatorValue();
            if (op == "rg" || op == "RG")
                use_.rgb = true;
            else if (op == "k" || op == "K")
                use_.cmyk = true;
            else if (op == "g" || op == "G")
                use_.gray = true;
            else if ((op == "cs" || op == "CS") && lastName_.isName()) {
                auto name = lastName_.getName();
                OH spaces = resources_.isDictionary() ? resources_.getKey("/ColorSpace") : OH();
                if (spaces.isDictionary() && spaces.hasKey(name))
                    noteColourSpace(spaces.getKey(name), use_);
                else
                    noteColourSpace(lastName_, use_);
            } else if (op == "ID" || op == "BI") {
                inlineImage_ = (op == "BI");
            }
            lastName_ = OH();
            lastKey_.clear();
            return;
        }
        if (inlineImage_ && object.isName()) {
            if (lastKey_ == "/CS" || lastKey_ == "/ColorSpace") {
                noteColourSpace(object, use_);
                lastKey_.clear();
            } else {
                lastKey_ = object.getName();
            }
        }
        lastName_ = object;
    }
    void handleEOF() override {}

  private:
    ColourUse& use_;
    OH resources_;
    OH lastName_;
    std::string lastKey_;
    bool inlineImage_ = false;
};

bool fontIsEmbedded(OH font) {
    auto subtype = font.getKey("/Subtype");
    if (subtype.isNameAndEquals("/Type3")) return true;
    if (subtype.isNameAndEquals("/Type0")) {
        auto descendants = font.getKey("/DescendantFonts");
        if (!descendants.isArray() || descendants.getArrayNItems() < 1) return false;
        font = descendants.getArrayItem(0);
        if (!font.isDictionary()) return false;
    }
    auto descriptor = font.getKey("/FontDescriptor");
    if (!descriptor.isDictionary()) return false;
    return descriptor.getKey("/FontFile").isStream() ||
           descriptor.getKey("/FontFile2").isStream() || descriptor.getKey("/FontFile3").isStream();
}

bool isForbiddenAction(OH action) {
    if (!action.isDictionary()) return false;
    auto s = action.getKey("/S");
    for (const char* name :
         {"/JavaScript", "/Launch", "/Sound", "/Movie", "/ResetForm", "/ImportData", "/Hide",
          "/SetOCGState", "/Rendition", "/Trans", "/GoTo3DView"})
        if (s.isNameAndEquals(name)) return true;
    return false;
}

}  // namespace

struct PagewrightEngine::Impl {
    std::shared_ptr<QPDF> out;
    std::shared_ptr<QPDF> source;
    // qpdf copies stream data lazily: every source stays open until the output is written.
    std::vector<std::shared_ptr<QPDF>> closedSources;
    uint32_t importFlags = kImportFlagsConversion;
    uint32_t importFlags2 = 0;
    int editing = 0;
    uint32_t borderColor = kNoColor;
    bool needAppearance = false;
    uint32_t version = kVersionPDFA3;
    std::map<std::string, std::string> info;  // document information as text
    std::map<DocInfo, std::optional<std::string>> infoEdits;
    struct Embedded {
        std::string name, data;
        OH spec;
        int relationship = -1;
    };
    std::vector<Embedded> files;
    bool outputIntent = false;
    std::string buffer;
    std::vector<std::string> transcript;
    size_t scannedContent = 0;     // decoded bytes the conformance check has read so far
    std::set<std::string> noted;   // transcript lines already written
    size_t signatureContents = 0;  // offset of the reserved /Contents hex string
    size_t signatureLength = 0;    // its length including the angle brackets

    void note(const std::string& line) {
        if (noted.insert(line).second) transcript.push_back(line);
    }

    std::vector<QPDFPageObjectHelper> pages() const {
        if (!out) return {};
        return QPDFPageDocumentHelper(*out).getAllPages();
    }

    struct AnnotationRef {
        int page;
        OH annots;
        int index;
    };
    std::vector<AnnotationRef> annotations() const {
        std::vector<AnnotationRef> list;
        int number = 0;
        for (auto& page : pages()) {
            ++number;
            OH annots = page.getObjectHandle().getKey("/Annots");
            if (!annots.isArray()) continue;
            for (int i = 0; i < annots.getArrayNItems(); ++i) list.push_back({number, annots, i});
        }
        return list;
    }

    OH acroForm(bool create) {
        OH root = out->getRoot();
        OH form = root.getKey("/AcroForm");
        if (!form.isDictionary() && create) {
            form = out->makeIndirectObject(OH::newDictionary());
            root.replaceKey("/AcroForm", form);
        }
        if (form.isDictionary() && create && !form.getKey("/Fields").isArray())
            form.replaceKey("/Fields", OH::newArray());
        return form;
    }

    // Terminal fields of the form, Kids followed.
    void collectFields(OH field, std::vector<OH>& fields, std::set<QPDFObjGen>& seen,
                       int depth) const {
        if (!field.isDictionary() || depth > 32) return;
        if (field.isIndirect() && !seen.insert(field.getObjGen()).second) return;
        OH kids = field.getKey("/Kids");
        bool hasFieldKids = false;
        if (kids.isArray())
            for (int i = 0; i < kids.getArrayNItems(); ++i)
                if (kids.getArrayItem(i).hasKey("/T")) {
                    hasFieldKids = true;
                    collectFields(kids.getArrayItem(i), fields, seen, depth + 1);
                }
        if (!hasFieldKids) fields.push_back(field);
    }
    std::vector<OH> fields() const {
        std::vector<OH> list;
        if (!out) return list;
        OH form = out->getRoot().getKey("/AcroForm");
        if (!form.isDictionary()) return list;
        OH top = form.getKey("/Fields");
        if (!top.isArray()) return list;
        std::set<QPDFObjGen> seen;
        for (int i = 0; i < top.getArrayNItems(); ++i)
            collectFields(top.getArrayItem(i), list, seen, 0);
        return list;
    }

    OH appearance(double width, double height, const std::string& content) {
        auto stream = OH::newStream(out.get(), content);
        auto dict = stream.getDict();
        dict.replaceKey("/Type", OH::newName("/XObject"));
        dict.replaceKey("/Subtype", OH::newName("/Form"));
        dict.replaceKey("/BBox", rectangle(0, 0, width, height));
        dict.replaceKey("/Resources", OH::newDictionary());
        return stream;
    }

    // A widget annotation that is its own field, on the page open for editing.
    int addField(OH widget, double x, double y, double width, double height) {
        if (!out || editing < 1) return -1;
        auto pageList = pages();
        if (editing > static_cast<int>(pageList.size())) return -1;
        OH page = pageList[editing - 1].getObjectHandle();
        widget.replaceKey("/Type", OH::newName("/Annot"));
        widget.replaceKey("/Subtype", OH::newName("/Widget"));
        widget.replaceKey("/Rect", rectangle(x, y, x + width, y + height));
        widget.replaceKey("/F", OH::newInteger(4));
        widget.replaceKey("/P", page);
        auto mk = OH::newDictionary();
        if (borderColor != kNoColor)
            mk.replaceKey("/BC", OH::parse("[" + colorOperands(borderColor) + "]"));
        widget.replaceKey("/MK", mk);
        widget = out->makeIndirectObject(widget);
        OH annots = page.getKey("/Annots");
        if (!annots.isArray()) {
            annots = OH::newArray();
            page.replaceKey("/Annots", annots);
        }
        annots.appendItem(widget);
        OH form = acroForm(true);
        form.getKey("/Fields").appendItem(widget);
        return static_cast<int>(fields().size()) - 1;
    }

    void scanResources(OH resources, ColourUse& use, std::set<QPDFObjGen>& seen,
                       std::set<std::string>& unembedded, int depth) {
        if (!resources.isDictionary() || depth > 16) return;
        OH fonts = resources.getKey("/Font");
        if (fonts.isDictionary())
            for (auto& key : fonts.getKeys()) {
                OH font = fonts.getKey(key);
                if (font.isDictionary() && !fontIsEmbedded(font)) {
                    OH base = font.getKey("/BaseFont");
                    unembedded.insert(base.isName() ? base.getName().substr(1) : key.substr(1));
                }
                if (font.isDictionary() && font.getKey("/Subtype").isNameAndEquals("/Type3"))
                    scanResources(font.getKey("/Resources"), use, seen, unembedded, depth + 1);
            }
        OH xobjects = resources.getKey("/XObject");
        if (xobjects.isDictionary())
            for (auto& key : xobjects.getKeys()) {
                OH x = xobjects.getKey(key);
                if (!x.isStream()) continue;
                if (x.isIndirect() && !seen.insert(x.getObjGen()).second) continue;
                OH dict = x.getDict();
                if (dict.getKey("/Subtype").isNameAndEquals("/Image")) {
                    if (!isTrue(dict.getKey("/ImageMask")))
                        noteColourSpace(dict.getKey("/ColorSpace"), use);
                } else if (dict.getKey("/Subtype").isNameAndEquals("/Form")) {
                    OH res = dict.getKey("/Resources");
                    scanContent(x, res.isDictionary() ? res : resources, use);
                    scanResources(res, use, seen, unembedded, depth + 1);
                }
            }
        OH shadings = resources.getKey("/Shading");
        if (shadings.isDictionary())
            for (auto& key : shadings.getKeys()) {
                OH s = shadings.getKey(key);
                OH dict = s.isStream() ? s.getDict() : s;
                if (dict.isDictionary()) noteColourSpace(dict.getKey("/ColorSpace"), use);
            }
    }

    void scanContent(OH streamOrArray, OH resources, ColourUse& use) {
        std::string data;
        std::vector<OH> streams;
        if (streamOrArray.isStream()) streams.push_back(streamOrArray);
        if (streamOrArray.isArray())
            for (int i = 0; i < streamOrArray.getArrayNItems(); ++i)
                streams.push_back(streamOrArray.getArrayItem(i));
        for (auto& s : streams) {
            if (!s.isStream()) continue;
            std::string problem;
            size_t left = kMaximumScannedTotal - std::min(scannedContent, kMaximumScannedTotal);
            auto part = decodeStreamBounded(s, std::min(kMaximumScannedContent - data.size(), left),
                                            &problem);
            if (!part) {
                note("A content stream could not be checked: " + problem);
                scannedContent = kMaximumScannedTotal;  // whatever it decoded, stop here
                return;
            }
            scannedContent += part->size();
            data += *part + "\n";
        }
        QPDF scratch;
        scratch.emptyPDF();
        ColourScanner scanner(use, resources);
        try {
            OH::parseContentStream(OH::newStream(&scratch, data), &scanner);
        } catch (const std::exception& e) {
            note(std::string("A content stream could not be parsed: ") + e.what());
        }
    }

    // Makes annotations printable and drops actions PDF/A forbids.
    void sanitizePage(QPDFPageObjectHelper& page, int pageNumber) {
        OH dict = page.getObjectHandle();
        if (dict.hasKey("/AA")) {
            dict.removeKey("/AA");
            note("Page " + std::to_string(pageNumber) + ": additional actions removed");
        }
        OH annots = dict.getKey("/Annots");
        if (!annots.isArray()) return;
        for (int i = 0; i < annots.getArrayNItems(); ++i) {
            OH annot = annots.getArrayItem(i);
            if (!annot.isDictionary()) continue;
            OH subtype = annot.getKey("/Subtype");
            if (annot.hasKey("/AA")) {
                annot.removeKey("/AA");
                note("Page " + std::to_string(pageNumber) +
                     ": additional actions of an annotation removed");
            }
            if (isForbiddenAction(annot.getKey("/A"))) {
                annot.removeKey("/A");
                note("Page " + std::to_string(pageNumber) + ": a script or launch action removed");
            }
            if (subtype.isNameAndEquals("/Popup")) continue;
            int flags = annot.getKey("/F").isInteger() ? annot.getKey("/F").getIntValueAsInt() : 0;
            int fixed = (flags | 4) & ~(1 | 2 | 32 | 256);
            if (fixed != flags) annot.replaceKey("/F", OH::newInteger(fixed));
            if (!subtype.isNameAndEquals("/Link")) {
                OH ap = annot.getKey("/AP");
                OH rect = annot.getKey("/Rect");
                bool empty = false;
                if (rect.isRectangle()) {
                    auto r = rect.getArrayAsRectangle();
                    empty = r.llx == r.urx || r.lly == r.ury;
                }
                const bool missing = !empty && (!ap.isDictionary() || !ap.hasKey("/N"));
                if (missing && subtype.isNameAndEquals("/Text") && rect.isRectangle()) {
                    // A note icon in grey, which suits either output intent.
                    auto r = rect.getArrayAsRectangle();
                    double w = std::abs(r.urx - r.llx), h = std::abs(r.ury - r.lly);
                    std::string icon =
                        "0.92 g 0.3 G 0.5 w 0.25 0.25 " + number(w - 0.5) + " " + number(h - 0.5) +
                        " re B 0.3 G " + number(w * 0.2) + " " + number(h * 0.65) + " m " +
                        number(w * 0.8) + " " + number(h * 0.65) + " l " + number(w * 0.2) + " " +
                        number(h * 0.4) + " m " + number(w * 0.8) + " " + number(h * 0.4) + " l S";
                    auto appearance = OH::newDictionary();
                    appearance.replaceKey("/N", this->appearance(w, h, icon));
                    annot.replaceKey("/AP", appearance);
                    note("Page " + std::to_string(pageNumber) +
                         ": appearances added to notes that had none");
                } else if (missing) {
                    note("Page " + std::to_string(pageNumber) + ": an annotation (" +
                         (subtype.isName() ? subtype.getName().substr(1) : "?") +
                         ") has no appearance; the result is not PDF/A conformant");
                }
            }
        }
    }

    std::string nowDate() const { return nowAsPDFDate(); }

    // Drops script and launch actions from outline items.
    void sanitizeOutlines(OH outlines) {
        if (!outlines.isDictionary()) return;
        std::set<QPDFObjGen> seen;
        std::vector<OH> pending{outlines.getKey("/First")};
        while (!pending.empty()) {
            OH item = pending.back();
            pending.pop_back();
            if (!item.isDictionary() ||
                (item.isIndirect() && !seen.insert(item.getObjGen()).second))
                continue;
            if (isForbiddenAction(item.getKey("/A"))) {
                item.removeKey("/A");
                note("A script or launch action of a bookmark removed");
            }
            pending.push_back(item.getKey("/Next"));
            pending.push_back(item.getKey("/First"));
        }
    }

    void importCatalogParts(QPDF& from) {
        OH fromRoot = from.getRoot(), toRoot = out->getRoot();
        // qpdf copies only indirect objects across documents; the source is ours to change.
        auto foreign = [&](OH value) {
            return out->copyForeignObject(value.isIndirect() ? value
                                                             : from.makeIndirectObject(value));
        };
        auto copy = [&](const char* key) {
            OH value = fromRoot.getKey(key);
            if (!value.isNull()) toRoot.replaceKey(key, foreign(value));
        };
        if (importFlags & kImportOutlines) {
            copy("/Outlines");
            sanitizeOutlines(toRoot.getKey("/Outlines"));
            OH names = fromRoot.getKey("/Names");
            if (names.isDictionary() && names.hasKey("/Dests")) {
                auto n = OH::newDictionary();
                n.replaceKey("/Dests", foreign(names.getKey("/Dests")));
                toRoot.replaceKey("/Names", n);
            }
            copy("/Dests");
        }
        if (importFlags & kImportPageLabels) copy("/PageLabels");
        if (importFlags & kImportStructure) {
            copy("/StructTreeRoot");
            copy("/MarkInfo");
            copy("/Lang");
            copy("/OCProperties");
            OH oc = toRoot.getKey("/OCProperties");
            OH configs = oc.isDictionary() ? oc.getKey("/D") : OH();
            // PDF/A wants a name on the default configuration and no automatic states.
            if (configs.isDictionary()) {
                if (!configs.hasKey("/Name")) configs.replaceKey("/Name", OH::newString("Default"));
                configs.removeKey("/AS");
            }
        }
        copy("/ViewerPreferences");
        if (importFlags & kImportDocInfo) {
            OH fromInfo = from.getTrailer().getKey("/Info");
            if (fromInfo.isDictionary())
                for (const char* key : {"/Title", "/Author", "/Subject", "/Keywords", "/Creator",
                                        "/Producer", "/CreationDate"}) {
                    OH v = fromInfo.getKey(key);
                    if (v.isString()) info[key] = v.getUTF8Value();
                }
        }
    }

    // The file that carries the e-invoice, by the rule of the version code.
    const Embedded* invoiceFile() const {
        std::string needle = version == kVersionZUGFeRD     ? "zugferd"
                             : version == kVersionXRechnung ? "xrechnung"
                             : version == kVersionFacturX   ? "factur"
                                                            : "";
        for (const auto& file : files) {
            std::string lower = file.name;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (needle.empty() ? looksLikeInvoiceXML(file.data)
                               : lower.find(needle) != std::string::npos)
                return &file;
        }
        return nullptr;
    }
};

PagewrightEngine::PagewrightEngine() : d(std::make_unique<Impl>()) {}
PagewrightEngine::~PagewrightEngine() = default;

bool PagewrightEngine::createOutputDocument() {
    try {
        d->out = std::make_shared<QPDF>();
        d->out->setSuppressWarnings(true);
        d->out->emptyPDF();
        d->files.clear();
        d->info.clear();
        d->infoEdits.clear();
        d->outputIntent = false;
        d->editing = 0;
        return true;
    } catch (const std::exception& e) {
        d->note(std::string("Creating the output failed: ") + e.what());
        d->out.reset();
        return false;
    }
}

bool PagewrightEngine::hasOutputDocument() const { return d->out != nullptr; }
void PagewrightEngine::setImportFlags(uint32_t flags) { d->importFlags = flags; }
void PagewrightEngine::setImportFlags2(uint32_t flags) { d->importFlags2 = flags; }

bool PagewrightEngine::openSource(std::shared_ptr<const std::string> bytes) {
    std::string problem;
    int code = 0;
    d->source = openPDF(std::move(bytes), "import source", &problem, &code);
    if (!d->source) {
        d->note("The import source cannot be opened: " + problem);
        return false;
    }
    try {
        d->source->pushInheritedAttributesToPage();
    } catch (const std::exception& e) {
        d->note(std::string("Page attributes of the source are damaged: ") + e.what());
    }
    return true;
}

int PagewrightEngine::importPages(int destinationPage, double scaleX, double scaleY) {
    if (!d->out || !d->source) return -1;
    if (scaleX != 1.0 || scaleY != 1.0) d->note("Import scaling other than 1 is not supported");
    const bool tolerant = d->importFlags & kImportTolerant;
    int imported = 0;
    try {
        QPDFPageDocumentHelper from(*d->source), to(*d->out);
        QPDFAcroFormDocumentHelper fromForms(*d->source);
        auto existing = to.getAllPages();
        const bool firstImport = existing.empty();
        size_t insertAt =
            std::clamp<size_t>(destinationPage < 1 ? 0 : destinationPage - 1, 0, existing.size());
        int number = 0;
        for (auto& page : from.getAllPages()) {
            ++number;
            try {
                OH copy = d->out->copyForeignObject(page.getObjectHandle());
                if (!(d->importFlags & kImportAnnotations)) copy.removeKey("/Annots");
                if (insertAt < existing.size())
                    to.addPageAt(copy, true, existing[insertAt]);
                else
                    to.addPage(copy, false);
                if ((d->importFlags & kImportFormFields) && (d->importFlags & kImportAnnotations)) {
                    QPDFAcroFormDocumentHelper toForms(*d->out);
                    toForms.fixCopiedAnnotations(copy, page.getObjectHandle(), fromForms);
                }
                ++imported;
            } catch (const std::exception& e) {
                if (!tolerant) throw;
                d->note("Page " + std::to_string(number) + " could not be imported: " + e.what());
            }
        }
        if (firstImport) {
            try {
                d->importCatalogParts(*d->source);
            } catch (const std::exception& e) {
                if (!tolerant) throw;
                d->note(std::string("Outlines or structure could not be imported: ") + e.what());
            }
        }
    } catch (const std::exception& e) {
        d->note(std::string("The import failed: ") + e.what());
        d->out.reset();
        return -1;
    }
    return imported;
}

void PagewrightEngine::closeSource() {
    if (d->source) d->closedSources.push_back(std::move(d->source));
    d->source.reset();
}

int PagewrightEngine::pageCount() const {
    try {
        return static_cast<int>(d->pages().size());
    } catch (const std::exception&) {
        return 0;
    }
}

int PagewrightEngine::beginEditingPage(int page) {
    if (page < 1 || page > pageCount()) return 0;
    d->editing = page;
    return page;
}

void PagewrightEngine::endEditingPage() { d->editing = 0; }

int PagewrightEngine::fieldCount() const { return static_cast<int>(d->fields().size()); }

bool PagewrightEngine::hasField(int index) const { return index >= 0 && index < fieldCount(); }

void PagewrightEngine::requestFieldAppearances(bool value) { d->needAppearance = value; }

int PagewrightEngine::annotationCount() const {
    return d->out ? static_cast<int>(d->annotations().size()) : 0;
}

std::optional<PagewrightEngine::Annotation> PagewrightEngine::annotation(int index) const {
    if (!d->out) return std::nullopt;
    auto list = d->annotations();
    if (index < 0 || index >= static_cast<int>(list.size())) return std::nullopt;
    OH annot = list[index].annots.getArrayItem(list[index].index);
    if (!annot.isDictionary()) return std::nullopt;
    Annotation result;
    result.page = list[index].page;
    OH subtype = annot.getKey("/Subtype");
    for (int i = 0; i < static_cast<int>(std::size(kAnnotationSubtypes)); ++i)
        if (subtype.isNameAndEquals(kAnnotationSubtypes[i])) result.type = i;
    OH contents = annot.getKey("/Contents");
    if (contents.isString()) result.text = contents.getUTF8Value();
    OH rect = annot.getKey("/Rect");
    if (rect.isRectangle()) {
        auto r = rect.getArrayAsRectangle();
        result.x1 = std::min(r.llx, r.urx);
        result.y1 = std::min(r.lly, r.ury);
        result.x2 = std::max(r.llx, r.urx);
        result.y2 = std::max(r.lly, r.ury);
    }
    return result;
}

bool PagewrightEngine::deleteAnnotation(int index) {
    if (!d->out) return false;
    auto list = d->annotations();
    if (index < 0 || index >= static_cast<int>(list.size())) return false;
    OH annots = list[index].annots;
    OH annot = annots.getArrayItem(list[index].index);
    OH popup = annot.isDictionary() ? annot.getKey("/Popup") : OH();
    annots.eraseItem(list[index].index);
    // Its popup goes too when it comes later, so indices below this one stay valid.
    if (popup.isIndirect())
        for (int i = annots.getArrayNItems() - 1; i >= list[index].index; --i)
            if (annots.getArrayItem(i).isIndirect() &&
                annots.getArrayItem(i).getObjGen() == popup.getObjGen())
                annots.eraseItem(i);
    return true;
}

void PagewrightEngine::setFieldBorderColor(uint32_t color) { d->borderColor = color; }

int PagewrightEngine::createCheckBox(const std::string& name, const std::string& exportValue,
                                     bool checked, int /*parent*/, double x, double y, double width,
                                     double height) {
    if (!d->out) return -1;
    // "Off" names the off state in PDF; a box whose on state were called so could never tick.
    const std::string onState =
        (exportValue.empty() || exportValue == "Off") ? "/Yes" : "/" + exportValue;
    const std::string border = d->borderColor == kNoColor
                                   ? ""
                                   : colorOperands(d->borderColor) + " RG 0.25 w 0.125 0.125 " +
                                         number(width - 0.25) + " " + number(height - 0.25) +
                                         " re S\n";
    const std::string tick = "q 0 g 0 G " + number(std::min(width, height) / 10) + " w 1 J 1 j " +
                             number(width * 0.2) + " " + number(height * 0.5) + " m " +
                             number(width * 0.42) + " " + number(height * 0.25) + " l " +
                             number(width * 0.8) + " " + number(height * 0.78) + " l S Q\n";
    auto widget = OH::newDictionary();
    widget.replaceKey("/FT", OH::newName("/Btn"));
    widget.replaceKey("/T", OH::newUnicodeString(name));
    widget.replaceKey("/V", OH::newName(checked ? onState : "/Off"));
    widget.replaceKey("/AS", OH::newName(checked ? onState : "/Off"));
    auto normal = OH::newDictionary();
    normal.replaceKey(onState, d->appearance(width, height, border + tick));
    normal.replaceKey("/Off", d->appearance(width, height, border));
    auto ap = OH::newDictionary();
    ap.replaceKey("/N", normal);
    widget.replaceKey("/AP", ap);
    return d->addField(widget, x, y, width, height);
}

void PagewrightEngine::setFieldBorderWidth(int field, double width) {
    auto list = d->fields();
    if (field < 0 || field >= static_cast<int>(list.size())) return;
    auto bs = OH::newDictionary();
    bs.replaceKey("/W", OH::newReal(width, 2));
    bs.replaceKey("/S", OH::newName("/S"));
    list[field].replaceKey("/BS", bs);
}

int PagewrightEngine::createSignatureField(const std::string& name, int /*parent*/, double x,
                                           double y, double width, double height) {
    if (!d->out) return -1;
    auto widget = OH::newDictionary();
    widget.replaceKey("/FT", OH::newName("/Sig"));
    widget.replaceKey("/T", OH::newUnicodeString(name));
    auto ap = OH::newDictionary();
    ap.replaceKey("/N", d->appearance(width, height, ""));
    widget.replaceKey("/AP", ap);
    return d->addField(widget, x, y, width, height);
}

int PagewrightEngine::createTextField(const std::string& name, int /*parent*/, bool multiline,
                                      int maxLength, double x, double y, double width,
                                      double height) {
    if (!d->out) return -1;
    auto widget = OH::newDictionary();
    widget.replaceKey("/FT", OH::newName("/Tx"));
    widget.replaceKey("/T", OH::newUnicodeString(name));
    widget.replaceKey("/V", OH::newUnicodeString(""));
    widget.replaceKey("/DA", OH::newString("/Helv 0 Tf 0 g"));
    if (multiline) widget.replaceKey("/Ff", OH::newInteger(1 << 12));
    if (maxLength > 0) widget.replaceKey("/MaxLen", OH::newInteger(maxLength));
    auto ap = OH::newDictionary();
    ap.replaceKey("/N", d->appearance(width, height, "/Tx BMC EMC"));
    widget.replaceKey("/AP", ap);
    int index = d->addField(widget, x, y, width, height);
    OH form = d->acroForm(true);
    if (!form.hasKey("/DA")) form.replaceKey("/DA", OH::newString("/Helv 0 Tf 0 g"));
    if (!form.getKey("/DR").isDictionary())
        form.replaceKey("/DR",
                        OH::parse("<< /Font << /Helv << /Type /Font /Subtype /Type1 "
                                  "/BaseFont /Helvetica /Encoding /WinAnsiEncoding >> >> >>"));
    return index;
}

int PagewrightEngine::checkConformance() {
    if (!d->out) return ConformanceNone;
    ColourUse use;
    std::set<std::string> unembedded;
    d->scannedContent = 0;
    try {
        std::set<QPDFObjGen> seen;
        int number = 0;
        for (auto& page : d->pages()) {
            ++number;
            d->sanitizePage(page, number);
            OH resources = page.getAttribute("/Resources", false);
            d->scanContent(page.getObjectHandle().getKey("/Contents"), resources, use);
            d->scanResources(resources, use, seen, unembedded, 0);
            OH group = page.getObjectHandle().getKey("/Group");
            if (group.isDictionary()) noteColourSpace(group.getKey("/CS"), use);
            OH annots = page.getObjectHandle().getKey("/Annots");
            if (annots.isArray())
                for (int i = 0; i < annots.getArrayNItems(); ++i) {
                    OH ap = annots.getArrayItem(i).getKey("/AP");
                    OH normal = ap.isDictionary() ? ap.getKey("/N") : OH();
                    std::vector<OH> streams;
                    if (normal.isStream()) streams.push_back(normal);
                    if (normal.isDictionary())
                        for (auto& key : normal.getKeys())
                            if (normal.getKey(key).isStream())
                                streams.push_back(normal.getKey(key));
                    for (auto& s : streams) {
                        OH res = s.getDict().getKey("/Resources");
                        d->scanContent(s, res, use);
                        d->scanResources(res, use, seen, unembedded, 1);
                    }
                }
        }
        OH form = d->out->getRoot().getKey("/AcroForm");
        if (form.isDictionary() && form.hasKey("/XFA")) {
            form.removeKey("/XFA");
            d->note("XFA form data removed");
        }
    } catch (const std::exception& e) {
        d->note(std::string("The conformance check could not read every page: ") + e.what());
    }
    for (const auto& font : unembedded)
        d->note("Font " + font + " is not embedded; the result is not PDF/A conformant");
    if (use.rgb && use.cmyk) {
        d->note(
            "The pages use both RGB and CMYK device colours; only one output intent is "
            "possible, so the result is not PDF/A conformant");
        return ConformanceRGBAndCMYK;
    }
    if (use.cmyk) return ConformanceCMYK;
    return ConformanceRGB;
}

bool PagewrightEngine::addOutputIntent(const std::filesystem::path& profile) {
    if (!d->out) return false;
    std::string problem;
    auto bytes = readFileBounded(profile, &problem);
    if (!bytes || bytes->size() < 128) {
        d->note("ICC profile " + profile.string() +
                " unreadable: " + (problem.empty() ? "too short" : problem));
        return false;
    }
    const std::string space = bytes->substr(16, 4);
    int components = space == "RGB " ? 3 : space == "CMYK" ? 4 : space == "GRAY" ? 1 : 0;
    if (!components) {
        d->note("ICC profile " + profile.string() + " has an unsupported colour space");
        return false;
    }
    const std::string condition = components == 3   ? "sRGB IEC61966-2.1"
                                  : components == 4 ? "CGATS TR 001"
                                                    : "Gray";
    auto stream = OH::newStream(d->out.get(), *bytes);
    stream.getDict().replaceKey("/N", OH::newInteger(components));
    auto intent = OH::newDictionary();
    intent.replaceKey("/Type", OH::newName("/OutputIntent"));
    intent.replaceKey("/S", OH::newName("/GTS_PDFA1"));
    intent.replaceKey("/OutputConditionIdentifier", OH::newString(condition));
    intent.replaceKey("/Info", OH::newString(condition));
    intent.replaceKey("/RegistryName", OH::newString("http://www.color.org"));
    intent.replaceKey("/DestOutputProfile", stream);
    auto intents = OH::newArray();
    intents.appendItem(d->out->makeIndirectObject(intent));
    d->out->getRoot().replaceKey("/OutputIntents", intents);
    d->outputIntent = true;
    return true;
}

int PagewrightEngine::embedFile(const std::string& data, const std::string& name,
                                const std::string& description, bool compress,
                                const std::string& mimeType) {
    if (!d->out) return -1;
    try {
        const std::string now = d->nowDate();
        auto ef = QPDFEFStreamObjectHelper::createEFStream(*d->out, data);
        ef.setSubtype(mimeType.empty() ? mimeTypeForFileName(name) : mimeType);
        ef.setModDate(now);
        ef.setCreationDate(now);
        if (!compress) ef.getObjectHandle().setFilterOnWrite(false);
        auto spec = QPDFFileSpecObjectHelper::createFileSpec(*d->out, name, ef);
        if (!description.empty()) spec.setDescription(description);
        OH specHandle = spec.getObjectHandle();
        // Keys of a name tree are unique; a second file of the same name gets a suffix.
        QPDFEmbeddedFileDocumentHelper embedded(*d->out);
        std::string key = name;
        for (int n = 2; embedded.getEmbeddedFile(key); ++n)
            key = name + " (" + std::to_string(n) + ")";
        embedded.replaceEmbeddedFile(key, spec);
        d->files.push_back({name, data, specHandle, -1});
        return static_cast<int>(d->files.size()) - 1;
    } catch (const std::exception& e) {
        d->note("Embedding " + name + " failed: " + e.what());
        return -1;
    }
}

bool PagewrightEngine::associateFile(int destinationType, int /*destinationHandle*/,
                                     int relationship, int fileHandle) {
    if (!d->out || fileHandle < 0 || fileHandle >= static_cast<int>(d->files.size())) return false;
    if (destinationType != 1) {
        d->note("Only associations with the document are supported");
        return false;
    }
    d->files[fileHandle].relationship = relationship;
    return true;
}

bool PagewrightEngine::optimize(uint32_t flags, const OptimizeParameters* parameters) {
    if (!d->out) return false;
    bool ok = true;
    if (flags & kOptimizeTextToOutlines) {
        d->note("Converting text to outlines is not supported; the text was kept as text");
        ok = false;
    }
    if ((flags & kOptimizeScaleImages) == kOptimizeScaleImages) {
        OptimizeParameters defaults;
        int scaled = scaleImages(*d->out, parameters ? *parameters : defaults,
                                 [this](const std::string& line) { d->note(line); });
        d->note("Images downsampled: " + std::to_string(scaled));
    }
    return ok;
}

void PagewrightEngine::setOutputVariant(uint32_t code) { d->version = code; }

void PagewrightEngine::setInfoEntry(DocInfo entry, const std::optional<std::string>& value) {
    d->infoEdits[entry] = value;
}

bool PagewrightEngine::writeOutput() {
    if (!d->out) return false;
    try {
        static const std::map<DocInfo, const char*> keys = {
            {DocInfoAuthor, "/Author"},     {DocInfoCreator, "/Creator"},
            {DocInfoKeywords, "/Keywords"}, {DocInfoProducer, "/Producer"},
            {DocInfoSubject, "/Subject"},   {DocInfoTitle, "/Title"}};
        for (auto& [entry, value] : d->infoEdits) {
            if (value)
                d->info[keys.at(entry)] = *value;
            else
                d->info.erase(keys.at(entry));
        }
        const std::string now = d->nowDate();
        if (!d->info.count("/CreationDate") || !pdfDateToXmp(d->info["/CreationDate"]))
            d->info["/CreationDate"] = now;
        d->info["/ModDate"] = now;

        auto infoDict = OH::newDictionary();
        for (auto& [key, value] : d->info) infoDict.replaceKey(key, OH::newUnicodeString(value));
        d->out->getTrailer().replaceKey("/Info", d->out->makeIndirectObject(infoDict));

        // Associated files and their relationships.
        const Impl::Embedded* invoice = d->invoiceFile();
        EInvoiceIdentification id = identifyEInvoice(d->version, invoice ? invoice->name : "",
                                                     invoice ? invoice->data : "");
        auto af = OH::newArray();
        for (auto& file : d->files) {
            if (file.relationship < 0) continue;
            int rel = file.relationship;
            if (rel == RelationshipEInvoice)
                rel = (&file == invoice || (!invoice && looksLikeInvoiceXML(file.data)))
                          ? (id.dataRelationship ? RelationshipData : RelationshipAlternative)
                          : RelationshipSupplement;
            static const char* names[] = {"/Source",     "/Data",        "/Alternative",
                                          "/Supplement", "/Alternative", "/Unspecified"};
            file.spec.replaceKey("/AFRelationship", OH::newName(names[std::clamp(rel, 0, 5)]));
            af.appendItem(file.spec);
        }
        OH root = d->out->getRoot();
        if (af.getArrayNItems() > 0) root.replaceKey("/AF", af);

        if (d->needAppearance) {
            OH form = root.getKey("/AcroForm");
            if (form.isDictionary()) {
                form.replaceKey("/NeedAppearances", OH::newBool(true));
                QPDFAcroFormDocumentHelper(*d->out).generateAppearancesIfNeeded();
                // Viewer-built appearances are not allowed in PDF/A: they were written instead.
                form.removeKey("/NeedAppearances");
            }
        }
        if (!d->outputIntent)
            d->note("No output intent; device colours make the result not PDF/A conformant");

        auto xmp = buildXmp(d->info, id);
        auto metadata = OH::newStream(d->out.get(), xmp);
        metadata.getDict().replaceKey("/Type", OH::newName("/Metadata"));
        metadata.getDict().replaceKey("/Subtype", OH::newName("/XML"));
        root.replaceKey("/Metadata", metadata);

        std::string tooLarge;
        if (!streamsFitForWriting(*d->out, &tooLarge)) throw std::runtime_error(tooLarge);
        QPDFWriter writer(*d->out);
        writer.setOutputMemory();
        writer.setPreserveEncryption(false);
        writer.setMinimumPDFVersion("1.7");
        writer.setObjectStreamMode(qpdf_o_disable);
        writer.setDecodeLevel(qpdf_dl_none);
        writer.write();
        auto buffer = writer.getBufferSharedPointer();
        d->buffer.assign(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
    } catch (const std::exception& e) {
        d->note(std::string("Writing the output failed: ") + e.what());
        d->buffer.clear();
        d->out.reset();
        return false;
    }
    d->out.reset();
    d->source.reset();
    d->closedSources.clear();
    return true;
}

namespace {

std::string pdfString(const std::string& text) { return OH::newUnicodeString(text).unparse(); }

std::string objectText(int number, int generation, const std::string& body) {
    return std::to_string(number) + " " + std::to_string(generation) + " obj\n" + body +
           "\nendobj\n";
}

}  // namespace

bool PagewrightEngine::writeOutputForSigning(SignatureParameters& parameters) {
    if (d->out && !writeOutput()) return false;
    if (d->buffer.empty()) return false;
    try {
        const std::string base = d->buffer;
        auto shared = std::make_shared<const std::string>(base);
        std::string problem;
        int code = 0;
        auto pdf = openPDF(shared, "signing", &problem, &code);
        if (!pdf) {
            d->note("The output cannot be signed: " + problem);
            return false;
        }
        const size_t startxrefAt = base.rfind("startxref");
        if (startxrefAt == std::string::npos) return false;
        const long long previous = std::stoll(base.substr(startxrefAt + 9, 32));
        OH root = pdf->getRoot();
        OH trailer = pdf->getTrailer();
        auto pageList = QPDFPageDocumentHelper(*pdf).getAllPages();
        if (pageList.empty()) {
            d->note("A document without pages cannot be signed");
            return false;
        }

        // Objects rewritten or added by the update, by number.
        std::map<QPDFObjGen, std::string> updates;
        OH signature = pdf->makeIndirectObject(OH::newDictionary());
        OH form = root.getKey("/AcroForm");
        if (!form.isDictionary()) {
            form = pdf->makeIndirectObject(OH::newDictionary());
            root.replaceKey("/AcroForm", form);
            updates[root.getObjGen()] = "";
        }
        if (!form.getKey("/Fields").isArray()) form.replaceKey("/Fields", OH::newArray());
        OH field;
        OH fields = form.getKey("/Fields");
        for (int i = 0; i < fields.getArrayNItems() && !field.isInitialized(); ++i) {
            OH f = fields.getArrayItem(i);
            if (f.isDictionary() && f.getKey("/FT").isNameAndEquals("/Sig") && !f.hasKey("/V") &&
                f.isIndirect())
                field = f;
        }
        if (!field.isInitialized()) {
            OH page = pageList.front().getObjectHandle();
            field = pdf->makeIndirectObject(
                OH::parse("<< /Type /Annot /Subtype /Widget /FT /Sig /F 132 /Rect [0 0 0 0] >>"));
            field.replaceKey("/T", OH::newUnicodeString(
                                       "Signature" + std::to_string(fields.getArrayNItems() + 1)));
            field.replaceKey("/P", page);
            fields.appendItem(field);
            OH annots = page.getKey("/Annots");
            if (!annots.isArray()) {
                annots = OH::newArray();
                page.replaceKey("/Annots", annots);
            }
            annots.appendItem(field);
            updates[annots.isIndirect() ? annots.getObjGen() : page.getObjGen()] = "";
            if (fields.isIndirect()) updates[fields.getObjGen()] = "";
        }
        field.replaceKey("/V", signature);
        updates[field.getObjGen()] = "";
        form.replaceKey("/SigFlags", OH::newInteger(3));
        // The form dictionary changed: rewrite it, or the catalog when it lives there.
        updates[form.isIndirect() ? form.getObjGen() : root.getObjGen()] = "";

        for (auto& [og, text] : updates)
            text =
                objectText(og.getObj(), og.getGen(), pdf->getObjectByObjGen(og).unparseResolved());
        const std::string hexZeros(parameters.reservedLength * 2, '0');
        const std::string byteRangePlaceholder = "[0 0000000000 0000000000 0000000000]";
        std::string signatureBody =
            "<< /Type /Sig /Filter /Adobe.PPKLite /SubFilter /adbe.pkcs7.detached /ByteRange " +
            byteRangePlaceholder + " /Contents <" + hexZeros + "> /M " + pdfString(d->nowDate());
        if (!parameters.signerName.empty())
            signatureBody += " /Name " + pdfString(parameters.signerName);
        signatureBody += " /Reason " + pdfString(parameters.reason) + " /Location " +
                         pdfString(parameters.location) + " /ContactInfo " +
                         pdfString(parameters.contactInfo) + " >>";
        updates[signature.getObjGen()] =
            objectText(signature.getObjGen().getObj(), 0, signatureBody);

        std::string update = base;
        if (update.back() != '\n') update += '\n';
        std::map<QPDFObjGen, size_t> offsets;
        for (auto& [og, text] : updates) {
            offsets[og] = update.size();
            update += text;
        }
        const size_t xrefAt = update.size();
        update += "xref\n";
        for (auto& [og, offset] : offsets) {
            char entry[64];
            std::snprintf(entry, sizeof entry, "%d 1\n%010zu %05d n \n", og.getObj(), offset,
                          og.getGen());
            update += entry;
        }
        auto newTrailer = OH::newDictionary();
        int size =
            trailer.getKey("/Size").isInteger() ? trailer.getKey("/Size").getIntValueAsInt() : 0;
        for (auto& [og, offset] : offsets) size = std::max(size, og.getObj() + 1);
        newTrailer.replaceKey("/Size", OH::newInteger(size));
        newTrailer.replaceKey("/Root", root);
        if (trailer.hasKey("/Info")) newTrailer.replaceKey("/Info", trailer.getKey("/Info"));
        if (trailer.hasKey("/ID")) newTrailer.replaceKey("/ID", trailer.getKey("/ID"));
        newTrailer.replaceKey("/Prev", OH::newInteger(previous));
        update += "trailer\n" + newTrailer.unparse() + "\nstartxref\n" + std::to_string(xrefAt) +
                  "\n%%EOF\n";

        // The byte range covers everything but the hex string of /Contents.
        const size_t signatureAt = offsets[signature.getObjGen()];
        const size_t contents = update.find("/Contents <", signatureAt) + 10;
        const size_t afterContents = contents + hexZeros.size() + 2;
        std::string byteRange = "[0 " + std::to_string(contents) + " " +
                                std::to_string(afterContents) + " " +
                                std::to_string(update.size() - afterContents) + "]";
        byteRange.resize(byteRangePlaceholder.size(), ' ');
        update.replace(update.find(byteRangePlaceholder, signatureAt), byteRangePlaceholder.size(),
                       byteRange);
        d->buffer = std::move(update);
        d->signatureContents = contents;
        d->signatureLength = afterContents - contents;
        parameters.bytesToSign = d->buffer.substr(0, contents) + d->buffer.substr(afterContents);
        return true;
    } catch (const std::exception& e) {
        d->note(std::string("Preparing the signature failed: ") + e.what());
        return false;
    }
}

bool PagewrightEngine::insertSignature(const std::string& signature) {
    if (!d->signatureLength || signature.size() * 2 > d->signatureLength - 2) return false;
    static const char* hex = "0123456789ABCDEF";
    for (size_t i = 0; i < signature.size(); ++i) {
        auto byte = static_cast<unsigned char>(signature[i]);
        d->buffer[d->signatureContents + 1 + 2 * i] = hex[byte >> 4];
        d->buffer[d->signatureContents + 2 + 2 * i] = hex[byte & 15];
    }
    d->signatureLength = 0;
    return true;
}

const std::string& PagewrightEngine::output() const { return d->buffer; }

const std::vector<std::string>& PagewrightEngine::transcript() const { return d->transcript; }

}  // namespace pagewright
