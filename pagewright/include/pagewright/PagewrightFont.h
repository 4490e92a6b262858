#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pagewright/PagewrightExport.h"

namespace PAGEWRIGHT_EXPORT pagewright {

// An installed font by name and size, as fontconfig knows it.
struct PagewrightFont {
    std::string name;  // the PostScript name, full name or family it was found by
    double pointSize = 10;

    // The installed font called `name` (PostScript name, then full name, then family, ignoring
    // case), or none.
    static std::optional<PagewrightFont> fontWithName(const std::string& name, double pointSize);
    // The installed ones of `names`, in order.
    static std::vector<PagewrightFont> fontsWithNames(const std::vector<std::string>& names,
                                                      double pointSize);
    // The path of the font's file, or "" when fontconfig no longer finds it.
    std::string filePath() const;
};

}  // namespace pagewright
