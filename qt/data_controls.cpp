#include "qt/data_controls.h"

#include <QLineEdit>

#include "db/data_source.h"

namespace kvell {

QtDataControl::QtDataControl(TComponent* owner, QWidget* widget, TDataSource* source)
    : TDataAwareControl(owner), widget_(widget), source_(source), original_(widget->palette()) {
  if (source_) source_->FreeNotification(this);
  // The wrapper lives exactly as long as the widget.
  destroyed_ = QObject::connect(widget, &QObject::destroyed, [this] { delete this; });
}

QtDataControl::~QtDataControl() {
  BeforeDestruction();
  QObject::disconnect(destroyed_);
  if (source_) source_->RemoveFreeNotification(this);
}

void QtDataControl::Notification(TComponent* component, TOperation operation) {
  TDataAwareControl::Notification(component, operation);
  if (operation == opRemove && component == source_) source_ = nullptr;
}

QColor ToQColor(TColor color) {
  auto value = static_cast<uint32_t>(color);
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

void QtDataControl::set_roles(std::initializer_list<QPalette::ColorRole> roles, TColor color) {
  if (!widget_ || color == clNone || color == clDefault) return;
  QPalette palette = widget_->palette();
  for (QPalette::ColorRole role : roles)
    palette.setColor(role, IsSystemColor(color) ? original_.color(role) : ToQColor(color));
  widget_->setPalette(palette);
}

void QtDataControl::SetFontColor(TColor color) { set_roles({QPalette::Text, QPalette::WindowText}, color); }

void QtDataControl::SetBackgroundColor(TColor color) { set_roles({QPalette::Base, QPalette::Window}, color); }

int QtDataControl::MaxLength() const {
  auto* line_edit = qobject_cast<QLineEdit*>(widget_.data());
  return line_edit ? line_edit->maxLength() : 0;
}

void QtDataControl::SetMaxLength(int length) {
  // QLineEdit's own "no limit" is its default maximum.
  constexpr int kLineEditDefaultMaxLength = 32767;
  if (auto* line_edit = qobject_cast<QLineEdit*>(widget_.data()))
    line_edit->setMaxLength(length > 0 ? length : kLineEditDefaultMaxLength);
}

TComponent& DataControlRoot() {
  static TComponent root(nullptr);
  return root;
}

QtDataControl* RegisterDataControl(QWidget* widget, TDataSource* source) {
  return new QtDataControl(&DataControlRoot(), widget, source);
}

}  // namespace kvell
