#pragma once

#include <QByteArray>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "layout/LayoutTemplate.h"
#include "model/LLInvoice.h"

namespace layout {

class SFLayoutPageView;
class SFLayoutTableSectionView;

// Turns an invoice into pages of its layout template and those pages into one PDF: a filled
// section per line, note, allowance or charge and tax, then the totals, stacked into the table
// areas of a first page and as many following pages as needed. Sections are filled as the page
// that takes them is laid out, and a PDF is written page by page, so memory stays bounded by a
// page whatever the number of lines.
class LLInvoiceRenderer {
  public:
    struct Section {
        std::string identifier;
        std::shared_ptr<SFLayoutTableSectionView> view;
    };
    struct Page {
        std::string name;  // "firstpage" or "middlepage"
        std::shared_ptr<SFLayoutPageView> view;
        std::vector<std::string> sectionIdentifiers;  // in the order they stand on the page
    };

    // Keys that the fixed texts of a page may use besides the invoice's: "2" and "5" on the
    // second of five pages.
    static constexpr const char* kPageNumberKey = "page.number";
    static constexpr const char* kPageCountKey = "page.count";

    explicit LLInvoiceRenderer(LayoutTemplate layoutTemplate);

    // The filled sections of the invoice, in layout order; sections the template lacks are
    // skipped (and logged once).
    std::vector<Section> sectionsForInvoice(const model::LLInvoice& invoice) const;
    // The laid-out pages: a header on every page, the lead before it on the first. Holds every
    // page at once; the PDF is built without.
    std::vector<Page> layoutPages(const model::LLInvoice& invoice, bool drawBackdrop) const;
    // The whole document as PDF bytes; empty with `error` set when nothing could be laid out.
    QByteArray buildPDFWithBackDrop(const model::LLInvoice& invoice, bool drawBackdrop,
                                    std::string* error = nullptr) const;

    // A letterhead PDF that replaces the backdrops of the template's pages.
    void setBackdropOverride(QByteArray pdf) { backdropOverride_ = std::move(pdf); }

    // Draws the pages into one vector PDF with embedded fonts; backdrops of pages that draw
    // them are placed under the page content as vector forms.
    static QByteArray renderPDF(const std::vector<Page>& pages, const std::string& title,
                                std::string* error = nullptr);

  private:
    class PageStream;
    // A section still to be filled: its identifier and how to get its values.
    struct SectionRecipe {
        std::string identifier;
        std::function<std::optional<model::SubstitutionDictionary>()> values;
    };
    std::vector<SectionRecipe> sectionRecipes(
        const model::LLInvoice& invoice,
        const std::shared_ptr<const std::optional<model::SubstitutionDictionary>>& document) const;

    std::shared_ptr<SFLayoutTableSectionView> filledSection(
        const std::string& identifier,
        const std::optional<model::SubstitutionDictionary>& values) const;

    LayoutTemplate template_;
    QByteArray backdropOverride_;
};

}  // namespace layout
