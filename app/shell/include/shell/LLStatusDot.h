#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

#include "library/LLValidationStatus.h"

namespace shell {

// The validation state of an invoice as the list shows it.
QColor statusDotColor(library::LLValidationStatus status);
// The 10 by 10 point dot: a white disc over the whole square with a disc of the status colour
// inset by one point; drawn for the given device pixel ratio.
QPixmap statusDotPixmap(library::LLValidationStatus status, qreal devicePixelRatio = 2.0);
QIcon statusDotIcon(library::LLValidationStatus status);
// "Valid", "Warnings", "Errors" or "Not validated", translated.
QString statusDotToolTip(library::LLValidationStatus status);

}  // namespace shell
