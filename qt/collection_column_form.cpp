#include "qt/collection_column_form.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvell {

CollectionColumnForm::CollectionColumnForm(const std::vector<std::string>& columns, QWidget* parent)
    : QDialog(parent), columns_(new QListWidget(this)), read_only_(new QCheckBox("Create ReadOnly DataSet", this)) {
  setWindowTitle(QString::fromLatin1(kCollectionColumnFormCaption));
  setModal(true);
  columns_->setObjectName("Columns");
  for (const std::string& column : columns) columns_->addItem(QString::fromStdString(column));
  if (!columns.empty()) columns_->setCurrentRow(0);
  read_only_->setObjectName("ReadOnly");
  read_only_->setChecked(true);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton("OK", QDialogButtonBox::AcceptRole);
  buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(columns_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(columns_);
  layout->addWidget(read_only_);
  layout->addWidget(buttons);
}

TCollectionColumnChoice CollectionColumnForm::Choice() const {
  TCollectionColumnChoice choice;
  choice.Ok = result() == QDialog::Accepted;
  choice.Index = columns_->currentRow();
  choice.ReadOnly = read_only_->isChecked();
  return choice;
}

TCollectionColumnChoice RunCollectionColumnForm(const std::vector<std::string>& columns) {
  CollectionColumnForm form(columns);
  form.exec();
  return form.Choice();
}

}  // namespace kvell
