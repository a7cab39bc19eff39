// Qt-backed user-interface hooks for the Oracle layer.
#include "app/qt_user_interface.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <exception>
#include <utility>
#include <vector>

#include "app/application.h"
#include "runtime/component.h"
#include "runtime/exception.h"

namespace kestra {
namespace {

Qt::CursorShape shape_of(kvell::TCursor cursor) {
  switch (cursor) {
    case -2: return Qt::ArrowCursor;
    case -3: return Qt::CrossCursor;
    case -4: return Qt::IBeamCursor;
    case -7: return Qt::SizeVerCursor;
    case -9: return Qt::SizeHorCursor;
    case -11:
    case -17: return Qt::WaitCursor;
    case -18: return Qt::ForbiddenCursor;
    case -19: return Qt::BusyCursor;
    case -20: return Qt::WhatsThisCursor;
    case -21: return Qt::PointingHandCursor;
    case -22: return Qt::SizeAllCursor;
    case -1: return Qt::BlankCursor;
    default: return Qt::ArrowCursor;
  }
}

struct BoxButton {
  kvell::TConfirmButton button;
  QMessageBox::StandardButton standard;  // NoButton: a button of our own
};

constexpr BoxButton kBoxButtons[] = {
    {kvell::cbYes, QMessageBox::Yes},       {kvell::cbNo, QMessageBox::No},
    {kvell::cbOK, QMessageBox::Ok},         {kvell::cbCancel, QMessageBox::Cancel},
    {kvell::cbIgnore, QMessageBox::Ignore}, {kvell::cbAll, QMessageBox::NoButton},
};

constexpr const char* kAllButtonText = "&All";

}  // namespace

QtUserInterface::QtUserInterface(Application* application, kvell::TComponent* components)
    : application_(application), components_(components) {}

int QtUserInterface::Confirm(const std::string& message, kvell::TConfirmButtons buttons) {
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kConfirmationTitle),
                  QString::fromUtf8(message.c_str()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  std::vector<std::pair<QAbstractButton*, kvell::TModalResult>> shown;
  for (const auto& entry : kBoxButtons) {
    if (!(buttons & entry.button)) continue;
    QAbstractButton* button = entry.standard == QMessageBox::NoButton
                                  ? box.addButton(QString::fromLatin1(kAllButtonText), QMessageBox::AcceptRole)
                                  : box.addButton(entry.standard);
    shown.emplace_back(button, kvell::ModalResultOf(entry.button));
  }
  box.exec();
  for (const auto& [button, result] : shown)
    if (box.clickedButton() == button) return result;
  return kvell::mrNone;
}

void QtUserInterface::SetScreenCursor(kvell::TCursor cursor) {
  cursor_.store(cursor);
  if (qApp == nullptr) return;
  if (QThread::currentThread() == qApp->thread()) {
    show_cursor(cursor);
    return;
  }
  QMetaObject::invokeMethod(qApp, [this, cursor] { show_cursor(cursor); }, Qt::QueuedConnection);
}

void QtUserInterface::show_cursor(kvell::TCursor cursor) {
  if (cursor == kvell::crDefault) {
    if (override_shown_) QApplication::restoreOverrideCursor();
    override_shown_ = false;
    return;
  }
  if (override_shown_)
    QApplication::changeOverrideCursor(QCursor(shape_of(cursor)));
  else
    QApplication::setOverrideCursor(QCursor(shape_of(cursor)));
  override_shown_ = true;
}

void QtUserInterface::HandleException(const void* /*sender*/) {
  std::exception_ptr current = std::current_exception();
  if (!current || application_ == nullptr) return;
  try {
    std::rethrow_exception(current);
  } catch (const std::exception& error) {
    application_->HandleException(error);
  } catch (...) {
    application_->HandleException(kvell::Exception("Unknown exception"));
  }
}

int QtUserInterface::ComponentCount() { return components_ ? components_->ComponentCount() : 0; }

kvell::TComponent* QtUserInterface::Component(int index) {
  return components_ ? components_->Components(index) : nullptr;
}

}  // namespace kestra
