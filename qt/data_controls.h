// Qt widgets that show a data source, listed as the application's data-aware
// controls so that the layer (query-by-example colouring) reaches them
// through the component enumeration of the user-interface hooks.
// Thread-safe: no; window-system thread only.
#pragma once

#include <QPalette>
#include <QPointer>
#include <QWidget>

#include "db/data_aware_control.h"

namespace kvell {

class QtDataControl final : public TDataAwareControl {
 public:
  QtDataControl(TComponent* owner, QWidget* widget, TDataSource* source);
  ~QtDataControl() override;

  QWidget* Widget() const { return widget_.data(); }
  TDataSource* DataSource() const override { return source_; }
  void SetFontColor(TColor color) override;
  void SetBackgroundColor(TColor color) override;
  int MaxLength() const override;
  void SetMaxLength(int length) override;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void set_roles(std::initializer_list<QPalette::ColorRole> roles, TColor color);

  QPointer<QWidget> widget_;
  QMetaObject::Connection destroyed_;
  TDataSource* source_;
  QPalette original_;  // what system colours go back to
};

// Lists widget as a data-aware control of source until either is destroyed.
QtDataControl* RegisterDataControl(QWidget* widget, TDataSource* source);
// Owner of every registered control; the enumeration lists its components.
TComponent& DataControlRoot();

// A framework colour as Qt shows it; system colours have no RGB value.
QColor ToQColor(TColor color);

}  // namespace kvell
