#pragma once

#include <QString>

#include "platform/SFLocalizeHelper.h"

namespace preview {

// An interface text in the user's language (the program's string tables).
inline QString localized(const char* text) {
    return QString::fromStdString(platform::localizedString(text));
}

}  // namespace preview
