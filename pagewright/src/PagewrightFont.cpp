#include "pagewright/PagewrightFont.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace pagewright {
namespace {

struct PatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetDeleter {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
struct ObjectSetDeleter {
    void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};

// The file of the first installed font whose `property` equals `name`, or "".
std::string fileOfFontWhere(FcConfig* config, const char* property, const std::string& name) {
    std::unique_ptr<FcPattern, PatternDeleter> pattern(FcPatternCreate());
    FcPatternAddString(pattern.get(), property, reinterpret_cast<const FcChar8*>(name.c_str()));
    std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(FcObjectSetBuild(FC_FILE, nullptr));
    std::unique_ptr<FcFontSet, FontSetDeleter> fonts(
        FcFontList(config, pattern.get(), objects.get()));
    std::string file;
    if (fonts && fonts->nfont > 0) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(fonts->fonts[0], FC_FILE, 0, &path) == FcResultMatch)
            file = reinterpret_cast<const char*>(path);
    }
    return file;
}

// A private fontconfig configuration: the library keeps no process-wide state of its own.
class FontCatalog {
  public:
    FontCatalog() : config_(FcInitLoadConfigAndFonts()) {}
    ~FontCatalog() {
        if (config_) FcConfigDestroy(config_);
    }
    std::string fileOf(const std::string& name) const {
        if (!config_ || name.empty()) return "";
        for (const char* property : {FC_POSTSCRIPT_NAME, FC_FULLNAME, FC_FAMILY}) {
            auto file = fileOfFontWhere(config_, property, name);
            if (!file.empty()) return file;
        }
        return "";
    }

  private:
    FcConfig* config_;
};

}  // namespace

std::optional<PagewrightFont> PagewrightFont::fontWithName(const std::string& name,
                                                           double pointSize) {
    if (FontCatalog().fileOf(name).empty()) return std::nullopt;
    return PagewrightFont{name, pointSize};
}

std::vector<PagewrightFont> PagewrightFont::fontsWithNames(const std::vector<std::string>& names,
                                                           double pointSize) {
    FontCatalog catalog;
    std::vector<PagewrightFont> fonts;
    for (const auto& name : names)
        if (!catalog.fileOf(name).empty()) fonts.push_back({name, pointSize});
    return fonts;
}

std::string PagewrightFont::filePath() const { return FontCatalog().fileOf(name); }

}  // namespace pagewright
