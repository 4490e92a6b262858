#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "layout/LayoutView.h"

namespace layout {

class SFLayoutPageView;
class SFLayoutTableSectionView;

// A layout template package ("Light.corvina"): named table sections and pages, read from
// the package's Data.json. Lookups answer fresh clones; the template itself never changes.
class LayoutTemplate {
public:
    struct Entry {
        std::string name;
        std::shared_ptr<LayoutView> view;
    };

    // Reads <package>/Data.json; none when the package or its archive is missing or unreadable.
    // Fixed labels "{{…}}" go through `translate` (English kept when it is empty).
    static std::optional<LayoutTemplate> load(const QString& packageDirectory,
                                              std::function<QString(const QString&)> translate = {},
                                              std::string* error = nullptr);
    static std::optional<LayoutTemplate> fromJson(const QByteArray& json,
                                                  const ArchiveContext& context,
                                                  std::string* error = nullptr);
    // The package of a template shipped with the program ("Light"), translated into the user's
    // interface language.
    static std::optional<LayoutTemplate> named(const std::string& name,
                                               std::string* error = nullptr);

    std::shared_ptr<SFLayoutTableSectionView> tableSectionWithIdentifier(
        const std::string& id) const;
    std::shared_ptr<SFLayoutPageView> tablePageWithIdentifier(const std::string& name) const;

    const std::vector<Entry>& tableSections() const { return tableSections_; }
    const std::vector<Entry>& pages() const { return pages_; }
    QByteArray toJson() const;

private:
    std::vector<Entry> tableSections_;
    std::vector<Entry> pages_;
};

}  // namespace layout
