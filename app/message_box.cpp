#include "app/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace kestra {

QString DisplayText(const std::string& text) {
  QString display = QString::fromStdString(text);
  display.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  display.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return display;
}

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
