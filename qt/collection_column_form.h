// The modal form "Select Master Collection Column for Detail Dataset": the
// master's collection columns in a list (a double click counts as OK), the
// check box "Create ReadOnly DataSet" (checked at first), OK and Cancel.
// Thread-safe: no; the window-system thread only.
#pragma once

#include <string>
#include <vector>

#include <QDialog>

#include "oracle/ui/ui_hooks.h"

class QCheckBox;
class QListWidget;

namespace kvell {

class CollectionColumnForm : public QDialog {
 public:
  explicit CollectionColumnForm(const std::vector<std::string>& columns, QWidget* parent = nullptr);

  // What the form holds now; Ok is whether it was accepted.
  TCollectionColumnChoice Choice() const;

 private:
  QListWidget* columns_;
  QCheckBox* read_only_;
};

// Shows the form modally and returns the user's answer.
TCollectionColumnChoice RunCollectionColumnForm(const std::vector<std::string>& columns);

inline constexpr const char* kCollectionColumnFormCaption = "Select Master Collection Column for Detail Dataset";

}  // namespace kvell
