#pragma once

#include <QIcon>
#include <QPixmap>

namespace ruleweave {
struct RWValidationResult;
}

namespace ruleweave::ui {

// The status dot drawn everywhere a validation state is shown: a white disc of 10 by 10 points
// with a disc of 8 points in the status colour (gray 0 not validated, green 1 valid, orange 2
// warnings, red 3 errors); any other status gives the plain white disc.
QPixmap statusPixmapForStatus(int status, qreal devicePixelRatio = 1.0);
QIcon statusIconForStatus(int status);
// The dot for a result's own status.
QIcon statusIcon(const RWValidationResult& result);

}  // namespace ruleweave::ui
