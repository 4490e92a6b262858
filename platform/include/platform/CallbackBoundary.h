#pragma once

#include <exception>
#include <new>
#include <type_traits>

namespace platform {

// Runs the C++ body of a function that a C library (SQLite, libxml2) calls. An exception must not
// unwind through the library's frames (it would end the program or leave the library's locks
// and state behind), so it ends here: `failed(reason, outOfMemory)` gets the reason as a C string
// and whether it was a bad_alloc; it must not throw, and its answer is the callback's.
template <class Body, class Failed>
auto callbackBoundary(Body&& body, Failed&& failed) noexcept -> std::invoke_result_t<Body> {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return failed("out of memory", true);
    } catch (const std::exception& e) {
        return failed(e.what(), false);
    } catch (...) {
        return failed("unknown error", false);
    }
}

}  // namespace platform
