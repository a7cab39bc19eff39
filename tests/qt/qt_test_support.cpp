#include "tests/qt/qt_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "qt/dataset_navigator.h"

namespace kvell::qt_test {

void EnsureApplication() {
  static int argc = 1;
  static char name[] = "kvell_qt_tests";
  static char* argv[] = {name, nullptr};
  if (qApp == nullptr) new QApplication(argc, argv);  // lives for the process
}

void AnswerNextBox(const QString& button, AnsweredBox& seen) {
  QTimer::singleShot(0, [button, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return AnswerNextBox(button, seen);
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.buttons.clear();
    QAbstractButton* clicked = nullptr;
    for (QAbstractButton* shown : box->buttons()) {
      seen.buttons << shown->text().remove('&');
      if (shown->text().remove('&') == button) clicked = shown;
    }
    seen.answered = true;
    if (clicked) clicked->click();
    else box->reject();
  });
}

void TypeInto(QTableView& view, const QModelIndex& cell, const QString& text, Qt::Key key) {
  view.activateWindow();  // back from a message box
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  view.setCurrentIndex(cell);
  view.edit(cell);
  TypeIntoFocus(text, key);
}

void TypeIntoFocus(const QString& text, Qt::Key key) {
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(nullptr, editor);
  ASSERT_TRUE(QMetaObject::invokeMethod(editor, "selectAll"));
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, key);
  QCoreApplication::processEvents();  // the delegate commits through a queued call
}

QStringList EnabledButtons(const TDataSetNavigator& navigator) {
  QStringList names;
  for (int i = 0; i < TDataSetNavigator::kButtonCount; ++i) {
    QAction* action = navigator.Button(static_cast<TDataSetNavigator::TNavigateBtn>(i));
    if (action->isEnabled()) names << action->objectName();
  }
  return names;
}

}  // namespace kvell::qt_test
