// The preview's widgets need a QApplication; tests run without a display, in English unless a
// test switches the language itself.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/SFLocalizeHelper.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage("en");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
