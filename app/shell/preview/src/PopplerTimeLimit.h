#pragma once

#include <QVariant>
#include <chrono>

namespace preview {

// Poppler's abort callbacks with a deadline: a page built to take minutes (one content stream
// named thousands of times) is given up instead of freezing the window.
inline QVariant deadlineAfter(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    return QVariant::fromValue<qint64>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline.time_since_epoch()).count());
}

inline bool deadlinePassed(const QVariant& deadline) {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
    return now > deadline.toLongLong();
}

// Drawing one page on screen, reading its text, printing it.
inline constexpr std::chrono::milliseconds kPageDrawingLimit{3000};
inline constexpr std::chrono::milliseconds kPageTextLimit{3000};
inline constexpr std::chrono::milliseconds kPagePrintingLimit{15000};

}  // namespace preview
