#pragma once

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <functional>

// The invoice corpus beside the repository; tests that need it skip without it.
inline QString corpusDir() { return QStringLiteral(LEDGERLENS_CORPUS_DIR); }
inline bool haveCorpus() { return QDir(corpusDir()).exists(); }
// A small folder of real CII invoices.
inline QString smallCorpusFolder() { return corpusDir() + "/en16931-examples/cii"; }

#define REQUIRE_CORPUS()                                                    \
    do {                                                                    \
        if (!haveCorpus()) QSKIP("invoice corpus missing beside the repo"); \
    } while (0)

// Answers the next modal message box (found by object name, or any) with the button of that
// object name, once it shows; the answer comes from the event loop the box runs.
inline void answerMessageBox(const QString& buttonName, const QString& boxName = {},
                             QString* seenText = nullptr) {
    auto attempt = std::make_shared<std::function<void(int)>>();
    *attempt = [=](int tries) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible()) continue;
            if (!boxName.isEmpty() && box->objectName() != boxName) continue;
            if (auto* button = box->findChild<QPushButton*>(buttonName)) {
                if (seenText) *seenText = box->text() + "\n" + box->informativeText();
                button->click();
                return;
            }
        }
        if (tries > 0) QTimer::singleShot(50, [attempt, tries] { (*attempt)(tries - 1); });
    };
    QTimer::singleShot(50, [attempt] { (*attempt)(200); });
}
