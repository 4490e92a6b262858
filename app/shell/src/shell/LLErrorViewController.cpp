#include "shell/LLErrorViewController.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "shell/SFLocalize.h"

namespace shell {

QString LLErrorViewController::descriptionForError(const library::LLImportError& error) {
    QString text = localizedString(QString::fromStdString(error.description));
    if (!error.reason.empty()) text += " (" + QString::fromStdString(error.reason) + ")";
    return text;
}

LLErrorViewController::LLErrorViewController(std::vector<library::LLImportError> errors,
                                             QWidget* parent)
    : QDialog(parent, Qt::Sheet), errors_(std::move(errors)) {
    setObjectName("LLErrorViewController");
    setWindowModality(Qt::WindowModal);
    setWindowTitle("Import Problems");
    setMinimumSize(400, 200);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel("Some files could not be imported:", this);
    list_ = new QTreeWidget(this);
    list_->setObjectName("errorList");
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({"Problem", "File"});
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const auto& error : errors_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, descriptionForError(error));
        item->setText(1, QString::fromStdString(error.path));
        item->setToolTip(1, QString::fromStdString(error.path));
    }
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy = buttons->addButton("Copy", QDialogButtonBox::ActionRole);
    QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(copy, &QPushButton::clicked, this, [this] {
        QString text;
        for (int i = 0; i < list_->topLevelItemCount(); ++i)
            text += list_->topLevelItem(i)->text(0) + '\t' + list_->topLevelItem(i)->text(1) + '\n';
        QApplication::clipboard()->setText(text);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(title);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(640, 300);
    localize(this);
}

}  // namespace shell
