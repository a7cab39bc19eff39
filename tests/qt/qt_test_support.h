// What the Qt binding's tests share: one QApplication for the process, and
// answering the next modal box that opens.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QStringList>

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

}  // namespace kvell::qt_test
