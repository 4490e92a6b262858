#pragma once

#include <QString>

#include "platform/SFLocalizeHelper.h"

namespace ruleweave::ui {

// Interface texts are English in the code and translated through the program's string tables.
inline QString localized(const char* english) {
    return QString::fromStdString(platform::localizedString(english));
}

}  // namespace ruleweave::ui
