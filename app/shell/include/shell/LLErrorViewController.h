#pragma once

#include <QDialog>
#include <vector>

#include "library/LLDocument.h"

class QTreeWidget;

namespace shell {

// The sheet listing the problems of an import run: each with its translated description, the
// reason the system gave, and the file's path.
class LLErrorViewController : public QDialog {
    Q_OBJECT
  public:
    LLErrorViewController(std::vector<library::LLImportError> errors, QWidget* parent = nullptr);
    const std::vector<library::LLImportError>& errors() const { return errors_; }
    QTreeWidget* errorList() const { return list_; }
    // The text a row shows for an error: the translated identifier, then the reason.
    static QString descriptionForError(const library::LLImportError& error);

  private:
    std::vector<library::LLImportError> errors_;
    QTreeWidget* list_;
};

}  // namespace shell
