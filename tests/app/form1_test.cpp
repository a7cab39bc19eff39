#include <QLineEdit>
#include <QTest>

#include "tests/app/viewer_fixture.h"

namespace kestra {
namespace {

using StatusWindowTest = testing::ViewerTest;

struct ControlDesign {
  const char* name;
  const char* parent;
  QRect bounds;  // labels that size themselves are checked by position only
  QString caption;
};

QString caption_of(QWidget* control) {
  if (auto* panel = qobject_cast<TPanel*>(control)) return panel->Caption();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  return static_cast<QLineEdit*>(control)->text();
}

TEST_F(StatusWindowTest, controls_have_their_design_names_parents_bounds_and_captions) {
  const ControlDesign designs[] = {
      {"Panel4", "Form1", {88, 8, 313, 49}, ""},
      {"lblIme", "Panel4", {8, 16, 297, 20}, "Ime in priimek"},
      {"eImeInPriimek", "Panel4", {8, 16, 297, 21}, ""},
      {"Panel1", "Form1", {88, 88, 313, 49}, ""},
      {"Label1", "Panel1", {32, 16, 0, 0}, "ŠTEVILO ŽETONOV"},
      {"lblSteviloZetonov", "Panel1", {216, 16, 0, 0}, "0"},
      {"Panel2", "Form1", {88, 168, 313, 49}, ""},
      {"lblDatumOd", "Panel2", {32, 16, 0, 0}, "1.1.2001"},
      {"lblDatumDo", "Panel2", {200, 16, 0, 0}, "31.12.2002"},
      {"Label2", "Panel2", {144, 16, 0, 0}, "---"},
      {"Panel3", "Form1", {128, 248, 233, 49}, "ZAPRI   (ESC)"},
      {"Label3", "Form1", {32, 336, 0, 0}, "verzija 2.4"},
      {"pnlZacetni", "Form1", {24, 8, 521, 313}, "STANJE NA  KARTICI IZ KESTRA"},
      {"Label4", "Form1", {408, 8, 0, 0}, "F5 - spremeni ime"},
  };
  TForm1& form = Form();
  EXPECT_EQ(form.windowTitle(), "KESTRA - STANJE NA KARTICI");
  EXPECT_EQ(form.pos(), QPoint(125, 72));
  for (const ControlDesign& design : designs) {
    auto* control = form.findChild<QWidget*>(design.name);
    ASSERT_NE(control, nullptr) << design.name;
    EXPECT_EQ(control->parentWidget()->objectName(), design.parent) << design.name;
    EXPECT_EQ(control->pos(), design.bounds.topLeft()) << design.name;
    if (!design.bounds.size().isNull()) {
      EXPECT_EQ(control->size(), design.bounds.size()) << design.name;
    }
    EXPECT_EQ(caption_of(control), design.caption) << design.name;
  }
}

TEST_F(StatusWindowTest, start_panel_covers_everything_but_the_footer_and_the_editor_is_hidden) {
  TForm1& form = Form();
  EXPECT_FALSE(form.pnlZacetni->isHidden());
  EXPECT_TRUE(form.eImeInPriimek->isHidden());
  for (QWidget* covered : {static_cast<QWidget*>(form.Panel4), static_cast<QWidget*>(form.Panel3),
                           static_cast<QWidget*>(form.Label4)}) {
    QPoint centre = covered->mapTo(&form, covered->rect().center());
    EXPECT_EQ(form.childAt(centre), form.pnlZacetni) << covered->objectName().toStdString();
  }
  EXPECT_EQ(form.childAt(form.Label3->geometry().center()), form.Label3);
}

TEST_F(StatusWindowTest, colours_fonts_and_tab_order_follow_the_design) {
  TForm1& form = Form();
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(0, 0, 0x80));
  EXPECT_EQ(form.Panel1->palette().color(QPalette::Window), QColor(0, 0, 0xFF));
  EXPECT_EQ(form.Label1->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(form.lblIme->font().pixelSize(), 16);
  EXPECT_TRUE(form.lblIme->font().bold());
  EXPECT_EQ(form.Panel3->font().pixelSize(), 13);
  EXPECT_EQ(form.pnlZacetni->font().pixelSize(), 19);
  EXPECT_EQ(form.Label4->font().pixelSize(), 11);
  EXPECT_FALSE(form.eImeInPriimek->font().bold());
  EXPECT_EQ(form.eImeInPriimek->maxLength(), 40);

  // Labels sit in Qt's focus chain too; the tab order is that of the rest.
  const QList<QWidget*> tab_order{form.Panel4, form.eImeInPriimek, form.Panel1,
                                  form.Panel2, form.Panel3,        form.pnlZacetni};
  QList<QWidget*> chain;
  for (QWidget* control = form.Panel4; chain.size() < tab_order.size(); control = control->nextInFocusChain()) {
    if (tab_order.contains(control)) chain.append(control);
  }
  EXPECT_EQ(chain, tab_order);
}

TEST_F(StatusWindowTest, f5_toggles_the_editor_and_typed_text_is_dropped) {
  TForm1& form = Form();
  QTest::keyClick(&form, Qt::Key_F5);
  ASSERT_FALSE(form.eImeInPriimek->isHidden());
  EXPECT_EQ(form.eImeInPriimek->text(), "Ime in priimek");
  EXPECT_EQ(form.eImeInPriimek->selectedText(), "Ime in priimek");

  QTest::keyClicks(form.eImeInPriimek, "Novak");
  QTest::keyClick(form.eImeInPriimek, Qt::Key_F5);  // reaches the form first, although the editor has the key
  EXPECT_TRUE(form.eImeInPriimek->isHidden());
  EXPECT_EQ(form.lblIme->text(), "Ime in priimek");

  QTest::keyClick(&form, Qt::Key_F5);
  EXPECT_EQ(form.eImeInPriimek->text(), "Ime in priimek");
}

TEST_F(StatusWindowTest, clicks_on_the_name_or_its_panel_toggle_the_editor) {
  TForm1& form = Form();
  QTest::mouseClick(form.lblIme, Qt::LeftButton);
  EXPECT_FALSE(form.eImeInPriimek->isHidden());
  QTest::mouseClick(form.Panel4, Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_TRUE(form.eImeInPriimek->isHidden());
  QTest::mouseClick(form.Panel4, Qt::LeftButton, {}, QPoint(2, 2));
  EXPECT_FALSE(form.eImeInPriimek->isHidden());
}

TEST_F(StatusWindowTest, enter_only_hides_the_editor_and_it_holds_at_most_forty_characters) {
  TForm1& form = Form();
  QTest::keyClick(&form, Qt::Key_F5);
  QTest::keyClicks(form.eImeInPriimek, QString(45, QLatin1Char('x')));
  EXPECT_EQ(form.eImeInPriimek->text().size(), 40);
  QTest::keyClick(form.eImeInPriimek, Qt::Key_Return);
  EXPECT_TRUE(form.eImeInPriimek->isHidden());
  EXPECT_EQ(form.lblIme->text(), "Ime in priimek");
  EXPECT_EQ(form.windowTitle(), "KESTRA - STANJE NA KARTICI");
  EXPECT_FALSE(application_.Terminated());
}

TEST_F(StatusWindowTest, esc_ends_the_program_also_while_the_editor_has_the_focus) {
  TForm1& form = Form();
  QTest::keyClick(&form, Qt::Key_F5);
  QTest::keyClick(form.eImeInPriimek, Qt::Key_Escape);
  EXPECT_TRUE(application_.Terminated());
}

TEST_F(StatusWindowTest, a_click_on_the_close_panel_or_closing_the_window_ends_the_program) {
  QTest::mouseClick(Form().Panel3, Qt::LeftButton);
  EXPECT_TRUE(application_.Terminated());

  Application other;
  TForm1 form(other);
  form.close();
  EXPECT_TRUE(other.Terminated());
}

TEST(MessageBoxText, a_carriage_return_breaks_the_line) {
  EXPECT_EQ(DisplayText("READACC\r3 - ne morem odpreti datoteke"), "READACC\n3 - ne morem odpreti datoteke");
  EXPECT_EQ(DisplayText("a\r\nb"), "a\nb");
}

}  // namespace
}  // namespace kestra
