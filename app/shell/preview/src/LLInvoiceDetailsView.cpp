#include "preview/LLInvoiceDetailsView.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "preview/LLReadableInvoice.h"
#include "preview/LLValueTextField.h"

namespace preview {
namespace {

constexpr int kMaximumLabelWidth = 190;

}  // namespace

LLInvoiceDetailsView::LLInvoiceDetailsView(QWidget* parent) : QScrollArea(parent) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setInvoice(nullptr);
}

void LLInvoiceDetailsView::setInvoice(const model::LLInvoice* invoice) {
    fields_.clear();
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(12, 8, 12, 8);
    if (invoice) {
        for (const LLReadableSection& section : readableSections(*invoice)) {
            auto* title = new QLabel(QString::fromStdString(section.title), content);
            QFont bold = title->font();
            bold.setBold(true);
            title->setFont(bold);
            layout->addWidget(title);
            auto* form = new QFormLayout;
            form->setContentsMargins(0, 0, 0, 8);
            form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
            form->setRowWrapPolicy(QFormLayout::DontWrapRows);
            for (const LLReadableRow& row : section.rows) {
                // Long labels (names of lines) are shortened; the whole text is the tooltip.
                const QString text = QString::fromStdString(row.label);
                auto* label = new QLabel(content);
                label->setText(
                    label->fontMetrics().elidedText(text, Qt::ElideRight, kMaximumLabelWidth));
                if (label->text() != text) label->setToolTip(text);
                label->setForegroundRole(QPalette::PlaceholderText);
                auto* field = new LLValueTextField(content);
                field->setValue(
                    QString::fromStdString(row.text),
                    row.amount ? QString::fromStdString(row.amount->toString()) : QString());
                field->setToolTip(QString::fromStdString(row.text));
                connect(field, &LLValueTextField::valueClicked, this,
                        &LLInvoiceDetailsView::valueClicked);
                form->addRow(label, field);
                fields_.push_back(field);
            }
            layout->addLayout(form);
        }
    }
    layout->addStretch(1);
    setWidget(content);  // the previous content is deleted
}

}  // namespace preview
