#include "shell/LLStatusDot.h"

#include "ruleweave-ui/RWStatusIcon.h"
#include "ruleweave/RWValidationResult.h"
#include "shell/SFLocalize.h"

namespace shell {

// The library's statuses are the validator's (0 none, 1 valid, 2 warnings, 3 errors), so the
// dots are the ones the validation windows draw.
QColor statusDotColor(library::LLValidationStatus status) {
    return QColor(QString::fromStdString(
        ruleweave::RWValidationResult::colorForStatus(int(status)).value_or("#ffffff")));
}

QPixmap statusDotPixmap(library::LLValidationStatus status, qreal devicePixelRatio) {
    return ruleweave::ui::statusPixmapForStatus(int(status), devicePixelRatio);
}

QIcon statusDotIcon(library::LLValidationStatus status) {
    return ruleweave::ui::statusIconForStatus(int(status));
}

QString statusDotToolTip(library::LLValidationStatus status) {
    switch (status) {
        case library::LLValidationStatus::Valid:
            return localizedString("Valid");
        case library::LLValidationStatus::Warnings:
            return localizedString("Warnings");
        case library::LLValidationStatus::Errors:
            return localizedString("Errors");
        default:
            return localizedString("Not validated");
    }
}

}  // namespace shell
