#include "app/controls.h"

#include <QMouseEvent>
#include <QPainter>

namespace kestra {
namespace {

// A click is a left press and release inside the same control.
bool completes_click(QWidget& control, const QMouseEvent& event) {
  return event.button() == Qt::LeftButton && control.rect().contains(event.position().toPoint());
}

}  // namespace

QFont DesignFont(int pixel_height, bool bold) {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixel_height);
  font.setBold(bold);
  return font;
}

TPanel::TPanel(QWidget* parent, const QString& name, const QString& caption)
    : QFrame(parent), caption_(caption) {
  setObjectName(name);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setAutoFillBackground(true);
}

void TPanel::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void TPanel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (caption_.isEmpty()) return;
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(contentsRect(), Qt::AlignCenter, caption_);
}

void TPanel::mousePressEvent(QMouseEvent* event) { event->accept(); }

void TPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (OnClick && completes_click(*this, *event)) OnClick(this);
}

TLabel::TLabel(QWidget* parent, const QString& name, const QString& caption) : QLabel(caption, parent) {
  setObjectName(name);
}

void TLabel::FitToText() {
  if (AutoSize) resize(sizeHint());
}

void TLabel::SetCaption(const QString& caption) {
  setText(caption);
  FitToText();
}

void TLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }

void TLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (OnClick && completes_click(*this, *event)) OnClick(this);
}

}  // namespace kestra
