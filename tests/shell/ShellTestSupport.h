#pragma once

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <functional>

#include "platform/SFLocalizeHelper.h"

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

// The interface language and the formats of one language for the life of a scope.
class LanguageScope {
  public:
    explicit LanguageScope(const char* language) : saved_(qgetenv("LC_ALL")) {
        platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage(language);
        const QByteArray locale = language == QByteArray("de")   ? "de_DE.UTF-8"
                                  : language == QByteArray("fr") ? "fr_FR.UTF-8"
                                  : language == QByteArray("it") ? "it_IT.UTF-8"
                                  : language == QByteArray("es") ? "es_ES.UTF-8"
                                                                 : "en_US.UTF-8";
        qputenv("LC_ALL", locale);
    }
    ~LanguageScope() {
        platform::SFLocalizeHelper::sharedHelper().setCurrentLanguage("en");
        if (saved_.isEmpty())
            qunsetenv("LC_ALL");
        else
            qputenv("LC_ALL", saved_);
    }

  private:
    QByteArray saved_;
};
