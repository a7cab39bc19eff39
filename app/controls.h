// The two control kinds the status window is built from: raised panels with
// a centred caption and labels that size themselves to their text. Both
// report clicks through OnClick. Thread safety: window-system thread only.
#pragma once

#include <QFrame>
#include <QLabel>
#include <functional>

namespace kestra {

// A font of the window's family at a pixel height.
QFont DesignFont(int pixel_height, bool bold);

class TPanel : public QFrame {
  Q_OBJECT

 public:
  TPanel(QWidget* parent, const QString& name, const QString& caption = {});

  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& caption);

  std::function<void(QObject* Sender)> OnClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString caption_;
};

class TLabel : public QLabel {
  Q_OBJECT

 public:
  TLabel(QWidget* parent, const QString& name, const QString& caption);

  // Sets the text and, unless AutoSize is off, fits the width and height to it.
  void SetCaption(const QString& caption);
  QString Caption() const { return text(); }
  // The size the text needs in the label's font, unless AutoSize is off.
  void FitToText();

  bool AutoSize = true;
  std::function<void(QObject* Sender)> OnClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace kestra
