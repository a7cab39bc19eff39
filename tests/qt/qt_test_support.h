// What the Qt binding's tests share: one QApplication for the process,
// answering the next modal box that opens, and typing into a view's editors.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QModelIndex>
#include <QString>
#include <QStringList>

class QTableView;

namespace kvell {
class TDataSetNavigator;
}

namespace kvell::qt_test {

// Creates the process's QApplication once (offscreen under CTest).
void EnsureApplication();

// What a box showed when it was answered.
struct AnsweredBox {
  QString title;
  QString text;
  QStringList buttons;
  bool answered = false;
};

// Clicks the button labelled `button` (without '&') in the next modal box,
// or rejects the box when it has none; `seen` receives what it showed and
// must outlive the box.
void AnswerNextBox(const QString& button, AnsweredBox& seen);

// Opens the view's editor on a cell and types text into it; the key ends the edit.
void TypeInto(QTableView& view, const QModelIndex& cell, const QString& text, Qt::Key key);
// Types into the focused editor (the delegate's own: a line edit, a spin box...).
void TypeIntoFocus(const QString& text, Qt::Key key);

// The navigator's enabled buttons, by name, in toolbar order.
QStringList EnabledButtons(const TDataSetNavigator& navigator);

}  // namespace kvell::qt_test
