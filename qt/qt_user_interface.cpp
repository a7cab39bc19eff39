// Qt-backed user-interface hooks for the Oracle layer.
#include "qt/qt_user_interface.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <exception>
#include <utility>
#include <vector>

#include "db/db_types.h"
#include "qt/collection_column_form.h"
#include "qt/data_controls.h"
#include "runtime/component.h"
#include "runtime/exception.h"

namespace kvell {
namespace {

Qt::CursorShape shape_of(TCursor cursor) {
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
  TConfirmButton button;
  QMessageBox::StandardButton standard;  // NoButton: a button of our own
};

constexpr BoxButton kBoxButtons[] = {
    {cbYes, QMessageBox::Yes},       {cbNo, QMessageBox::No},
    {cbOK, QMessageBox::Ok},         {cbCancel, QMessageBox::Cancel},
    {cbIgnore, QMessageBox::Ignore}, {cbAll, QMessageBox::NoButton},
};

constexpr const char* kAllButtonText = "&All";

}  // namespace

QtUserInterface::QtUserInterface(ErrorReport report, TComponent* components)
    : report_(std::move(report)), components_(components) {}

int QtUserInterface::Confirm(const std::string& message, TConfirmButtons buttons) {
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kConfirmationTitle),
                  MessageBoxText(message));
  std::vector<std::pair<QAbstractButton*, TModalResult>> shown;
  for (const auto& entry : kBoxButtons) {
    if (!(buttons & entry.button)) continue;
    QAbstractButton* button = entry.standard == QMessageBox::NoButton
                                  ? box.addButton(QString::fromLatin1(kAllButtonText), QMessageBox::AcceptRole)
                                  : box.addButton(entry.standard);
    shown.emplace_back(button, ModalResultOf(entry.button));
  }
  box.exec();
  for (const auto& [button, result] : shown)
    if (box.clickedButton() == button) return result;
  return mrNone;
}

void QtUserInterface::SetScreenCursor(TCursor cursor) {
  cursor_.store(cursor);
  if (qApp == nullptr) return;
  if (QThread::currentThread() == qApp->thread()) {
    show_cursor(cursor);
    return;
  }
  QMetaObject::invokeMethod(qApp, [this, cursor] { show_cursor(cursor); }, Qt::QueuedConnection);
}

void QtUserInterface::show_cursor(TCursor cursor) {
  if (cursor == crDefault) {
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
  if (!current) return;
  auto report = [this](const std::exception& error) {
    if (report_) report_(error);
    else ShowErrorMessage(error.what());
  };
  try {
    std::rethrow_exception(current);
  } catch (const EAbort&) {
    // The silent exception: the application chose to abandon the operation.
  } catch (const std::exception& error) {
    report(error);
  } catch (...) {
    report(Exception("Unknown exception"));
  }
}

int QtUserInterface::ComponentCount() {
  return (components_ ? components_->ComponentCount() : 0) + DataControlRoot().ComponentCount();
}

TComponent* QtUserInterface::Component(int index) {
  int own = components_ ? components_->ComponentCount() : 0;
  if (index < own) return components_->Components(index);
  return DataControlRoot().Components(index - own);
}

std::unique_ptr<ScopedUserInterface> InstallQtUserInterface(QtUserInterface::ErrorReport report,
                                                            TComponent* components) {
  return std::make_unique<ScopedUserInterface>(
      std::make_unique<QtUserInterface>(std::move(report), components));
}

QString MessageBoxText(const std::string& text) {
  QString display = QString::fromStdString(text);
  display.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  display.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return display;
}

void ShowErrorMessage(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), MessageBoxText(text), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

TCollectionColumnChoice QtUserInterface::SelectCollectionColumn(const std::vector<std::string>& columns) {
  return RunCollectionColumnForm(columns);
}

}  // namespace kvell
