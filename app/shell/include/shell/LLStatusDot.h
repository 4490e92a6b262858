#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace shell {

// The validation state of an invoice as the list shows it: 0 not validated, 1 valid,
// 2 warnings, 3 errors (LLValidationResultTransformer's status).
QColor statusDotColor(int status);
// The 10 by 10 point dot: a white disc over the whole square with a disc of the status colour
// inset by one point; drawn for the given device pixel ratio.
QPixmap statusDotPixmap(int status, qreal devicePixelRatio = 2.0);
QIcon statusDotIcon(int status);
// "Valid", "Warnings", "Errors" or "Not validated", translated.
QString statusDotToolTip(int status);

}  // namespace shell
