#pragma once

#include <string>
#include <string_view>

namespace model {

// The text without the white space and line breaks around it.
std::string trimmedText(std::string_view text);
// The text on one line: line breaks and tabs become blanks, runs of blanks one blank.
std::string singleLineText(std::string_view text);
// A note without the subject code some syntaxes put in front of it ("#AAI#Text" → "Text").
std::string withoutSubjectCode(std::string_view note);

}  // namespace model
