#pragma once

#include <QImage>
#include <QString>
#include <string>

namespace thumbnailer {

enum class ThumbnailError {
    None,
    NotAnInvoice,  // neither a PDF nor XML of a known invoice syntax
    Unreadable,    // a PDF poppler cannot open, or XML that is not well-formed
    NoPages,       // a PDF without pages, or an invoice the layout could not render
};

struct Thumbnail {
    QImage image;
    ThumbnailError error = ThumbnailError::None;
    std::string reason;  // for the log, when there is no image
};

// The first page of an invoice file's bytes, scaled so that its longer side is `size` pixels,
// on white: a PDF's own first page, for invoice XML the first page rendered from the layout
// template. Needs a QGuiApplication (fonts).
Thumbnail thumbnailForInvoice(const std::string& bytes, int size);

}  // namespace thumbnailer
