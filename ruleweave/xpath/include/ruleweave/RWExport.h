#pragma once

// The public API of libruleweave: the declarations in its installed headers. Everything else,
// the platform code linked into it included, stays inside the library.
#define RULEWEAVE_EXPORT [[gnu::visibility("default")]]
