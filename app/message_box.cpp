#include "app/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "qt/qt_user_interface.h"

namespace kestra {

QString DisplayText(const std::string& text) { return kvell::MessageBoxText(text); }

void QtMessageBox::Show(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), DisplayText(text),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

void StderrMessageBox::Show(const std::string& text) {
  std::fprintf(stderr, "%s\n", DisplayText(text).toLocal8Bit().constData());
}

}  // namespace kestra
