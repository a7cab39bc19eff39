#include "qt/dataset_navigator.h"

#include <QAction>
#include <QStyle>

#include "db/dataset.h"
#include "oracle/ui/ui_hooks.h"

namespace kvell {

class TDataSetNavigator::Link final : public TDataLink {
 public:
  explicit Link(TDataSetNavigator& navigator) : navigator_(navigator) {}

 protected:
  void ActiveChanged() override { navigator_.update_buttons(); }
  void EditingChanged() override { navigator_.update_buttons(); }
  void DataSetChanged() override { navigator_.update_buttons(); }
  void DataSetScrolled(int) override { navigator_.update_buttons(); }

 private:
  TDataSetNavigator& navigator_;
};

namespace {

struct ButtonLook {
  const char* name;
  const char* hint;
  QStyle::StandardPixmap icon;
};

constexpr ButtonLook kLooks[TDataSetNavigator::kButtonCount] = {
    {"First", "First record", QStyle::SP_MediaSkipBackward},
    {"Prior", "Prior record", QStyle::SP_MediaSeekBackward},
    {"Next", "Next record", QStyle::SP_MediaSeekForward},
    {"Last", "Last record", QStyle::SP_MediaSkipForward},
    {"Insert", "Insert record", QStyle::SP_FileDialogNewFolder},
    {"Delete", "Delete record", QStyle::SP_TrashIcon},
    {"Edit", "Edit record", QStyle::SP_FileDialogDetailedView},
    {"Post", "Post edit", QStyle::SP_DialogApplyButton},
    {"Cancel", "Cancel edit", QStyle::SP_DialogCancelButton},
    {"Refresh", "Refresh data", QStyle::SP_BrowserReload},
};

constexpr const char* kDeleteRecordQuestion = "Delete record?";

}  // namespace

TDataSetNavigator::TDataSetNavigator(TDataSource* source, QWidget* parent)
    : QToolBar(parent), link_(std::make_unique<Link>(*this)) {
  setObjectName(QStringLiteral("DBNavigator"));
  for (int i = 0; i < kButtonCount; ++i) {
    const ButtonLook& look = kLooks[i];
    QAction* action = addAction(style()->standardIcon(look.icon), QString::fromLatin1(look.name));
    action->setObjectName(QString::fromLatin1(look.name));
    action->setToolTip(QString::fromLatin1(look.hint));
    auto button = static_cast<TNavigateBtn>(i);
    connect(action, &QAction::triggered, this, [this, button] { BtnClick(button); });
    actions_[static_cast<size_t>(i)] = action;
  }
  SetDataSource(source);
}

TDataSetNavigator::~TDataSetNavigator() { link_->SetDataSource(nullptr); }

TDataSource* TDataSetNavigator::DataSource() const { return link_->DataSource(); }

void TDataSetNavigator::SetDataSource(TDataSource* source) {
  link_->SetDataSource(source);
  update_buttons();
}

void TDataSetNavigator::update_buttons() {
  TDataSet* dataset = link_->Active() ? link_->DataSet() : nullptr;
  const bool active = dataset != nullptr;
  const bool editing = active && IsEditState(dataset->State());
  const bool can_modify = active && dataset->CanModify();
  // A search form is applied and left through the dataset's own commands:
  // here it can only be cleared (Cancel) and, once cleared, started again.
  const bool search_form = active && dataset->EditsSearchForm();
  const bool up = active && !search_form && !dataset->Bof();
  const bool down = active && !search_form && !dataset->Eof();
  const bool rows = can_modify && !search_form && !dataset->IsEmpty();
  const bool enabled[kButtonCount] = {
      up, up, down, down,
      can_modify && (search_form ? !editing : true),
      rows,
      rows && !editing,
      can_modify && editing && !search_form,
      can_modify && editing,
      active && !editing && !search_form,
  };
  for (int i = 0; i < kButtonCount; ++i) actions_[static_cast<size_t>(i)]->setEnabled(enabled[i]);
}

void TDataSetNavigator::BtnClick(TNavigateBtn button) {
  try {
    run(button);
  } catch (...) {
    HandleApplicationException(this);
  }
}

void TDataSetNavigator::run(TNavigateBtn button) {
  TDataSet* dataset = link_->Active() ? link_->DataSet() : nullptr;
  if (!dataset) return;
  switch (button) {
    case nbFirst: dataset->First(); break;
    case nbPrior: dataset->Prior(); break;
    case nbNext: dataset->Next(); break;
    case nbLast: dataset->Last(); break;
    case nbInsert: dataset->Insert(); break;
    case nbDelete:
      if (!ConfirmDelete || ConfirmDialog(kDeleteRecordQuestion, "Confirm", "OC") == mrOk) dataset->Delete();
      break;
    case nbEdit: dataset->Edit(); break;
    case nbPost: dataset->Post(); break;
    case nbCancel: dataset->Cancel(); break;
    case nbRefresh: dataset->Refresh(); break;
  }
}

}  // namespace kvell
