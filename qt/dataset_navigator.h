// TDataSetNavigator: a toolbar of the ten dataset commands (first, prior,
// next, last, insert, delete, edit, post, cancel, refresh) bound to a data
// source, each enabled only when the dataset's state allows it.
// Thread-safe: no; window-system thread only.
#pragma once

#include <QToolBar>
#include <array>
#include <memory>

#include "db/data_source.h"

namespace kvell {

class TDataSetNavigator : public QToolBar {
  Q_OBJECT

 public:
  enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };
  static constexpr int kButtonCount = nbRefresh + 1;

  explicit TDataSetNavigator(TDataSource* source = nullptr, QWidget* parent = nullptr);
  ~TDataSetNavigator() override;

  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* source);
  // The action of a button; its objectName is the button's name ("First"...).
  QAction* Button(TNavigateBtn button) const { return actions_[button]; }
  // Runs a button's command; errors go to the user through the hooks.
  void BtnClick(TNavigateBtn button);
  // Asks "Delete record?" before deleting.
  bool ConfirmDelete = true;

 private:
  class Link;
  void update_buttons();
  void run(TNavigateBtn button);

  std::unique_ptr<Link> link_;
  std::array<QAction*, kButtonCount> actions_{};
};

}  // namespace kvell
