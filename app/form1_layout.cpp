// The status window's controls with their design-time geometry, colours,
// fonts and tab order.
#include <QLineEdit>
#include <QWindow>

#include "app/unit1.h"

namespace kestra {
namespace {

constexpr QColor kNavy{0x00, 0x00, 0x80};
constexpr QColor kBlue{0x00, 0x00, 0xFF};
constexpr QRect kFormBounds{125, 72, 567, 411};  // outer bounds, frame included
constexpr int kNameMaxLength = 40;

void set_background(QWidget& widget, const QColor& colour) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Window, colour);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

TPanel* make_panel(QWidget* parent, const QString& name, const QRect& bounds, const QString& caption = {}) {
  auto* panel = new TPanel(parent, name, caption);
  panel->setGeometry(bounds);
  set_background(*panel, kBlue);
  return panel;
}

TLabel* make_label(QWidget* parent, const QString& name, const QRect& bounds, const QString& caption,
                   int pixel_height, bool bold) {
  auto* label = new TLabel(parent, name, caption);
  label->setGeometry(bounds);
  label->setFont(DesignFont(pixel_height, bold));
  // The design's sizes fit its own font; the substitute may need more room.
  label->FitToText();
  return label;
}

TLabel* make_caption_label(QWidget* parent, const QString& name, const QRect& bounds, const QString& caption) {
  return make_label(parent, name, bounds, caption, 16, true);
}

}  // namespace

void TForm1::create_controls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("KESTRA - STANJE NA KARTICI"));
  move(kFormBounds.topLeft());
  resize(kFormBounds.size());
  set_background(*this, kNavy);
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, Qt::white);
  setPalette(palette);
  setFont(DesignFont(11, false));

  create_name_controls();
  create_token_controls();
  create_date_controls();
  create_closing_controls();
  set_tab_order();
  preview_keys_of_children();
}

void TForm1::create_name_controls() {
  Panel4 = make_panel(this, QStringLiteral("Panel4"), {88, 8, 313, 49});
  lblIme = new TLabel(Panel4, QStringLiteral("lblIme"), QStringLiteral("Ime in priimek"));
  lblIme->AutoSize = false;
  lblIme->setGeometry(8, 16, 297, 20);
  lblIme->setFont(DesignFont(16, true));
  eImeInPriimek = new QLineEdit(Panel4);
  eImeInPriimek->setObjectName(QStringLiteral("eImeInPriimek"));
  eImeInPriimek->setGeometry(8, 16, 297, 21);
  eImeInPriimek->setFont(DesignFont(11, false));
  eImeInPriimek->setMaxLength(kNameMaxLength);
  eImeInPriimek->hide();
  Panel4->OnClick = [this](QObject* sender) { Panel4Click(sender); };
  lblIme->OnClick = [this](QObject* sender) { lblImeClick(sender); };
}

void TForm1::create_token_controls() {
  Panel1 = make_panel(this, QStringLiteral("Panel1"), {88, 88, 313, 49});
  Label1 = make_caption_label(Panel1, QStringLiteral("Label1"), {32, 16, 169, 20},
                              QStringLiteral("ŠTEVILO ŽETONOV"));
  lblSteviloZetonov = make_caption_label(Panel1, QStringLiteral("lblSteviloZetonov"), {216, 16, 11, 20},
                                         QStringLiteral("0"));
}

void TForm1::create_date_controls() {
  Panel2 = make_panel(this, QStringLiteral("Panel2"), {88, 168, 313, 49});
  lblDatumOd = make_caption_label(Panel2, QStringLiteral("lblDatumOd"), {32, 16, 71, 20}, QStringLiteral("1.1.2001"));
  lblDatumDo =
      make_caption_label(Panel2, QStringLiteral("lblDatumDo"), {200, 16, 91, 20}, QStringLiteral("31.12.2002"));
  Label2 = make_caption_label(Panel2, QStringLiteral("Label2"), {144, 16, 22, 20}, QStringLiteral("---"));
}

void TForm1::create_closing_controls() {
  Panel3 = make_panel(this, QStringLiteral("Panel3"), {128, 248, 233, 49}, QStringLiteral("ZAPRI   (ESC)"));
  Panel3->setFont(DesignFont(13, true));
  Panel3->OnClick = [this](QObject* sender) { Panel3Click(sender); };
  Label3 = make_label(this, QStringLiteral("Label3"), {32, 336, 176, 13}, QStringLiteral("verzija 2.4"), 11, false);
  pnlZacetni = make_panel(this, QStringLiteral("pnlZacetni"), {24, 8, 521, 313},
                          QStringLiteral("STANJE NA  KARTICI IZ KESTRA"));
  pnlZacetni->setFont(DesignFont(19, true));
  pnlZacetni->setCursor(Qt::ArrowCursor);
  Label4 = make_label(this, QStringLiteral("Label4"), {408, 8, 82, 13}, QStringLiteral("F5 - spremeni ime"), 11,
                      false);
  // Labels lie beneath panels; the start panel covers the F5 hint until it goes.
  pnlZacetni->raise();
}

void TForm1::set_tab_order() {
  setTabOrder(Panel4, eImeInPriimek);
  setTabOrder(eImeInPriimek, Panel1);
  setTabOrder(Panel1, Panel2);
  setTabOrder(Panel2, Panel3);
  setTabOrder(Panel3, pnlZacetni);
}

// The form sees every key before the focused control does.
void TForm1::preview_keys_of_children() {
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The design's size counts the frame; the platform tells its size only now.
  // Once only: a restore after minimising shows the window again.
  if (design_size_applied_) return;
  if (QWindow* window = windowHandle()) {
    design_size_applied_ = true;
    QMargins frame = window->frameMargins();
    resize(kFormBounds.width() - frame.left() - frame.right(),
           kFormBounds.height() - frame.top() - frame.bottom());
  }
}

}  // namespace kestra
