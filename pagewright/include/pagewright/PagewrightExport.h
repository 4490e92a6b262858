#pragma once

// The public API of libpagewright: the declarations in its installed headers. Everything else,
// the platform code linked into it included, stays inside the library.
#define PAGEWRIGHT_EXPORT [[gnu::visibility("default")]]
