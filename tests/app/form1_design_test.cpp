// The status window's design table: the form's size, every control's font,
// bold flag and colours, and the start panel's cursor; and the design size
// applied once, so that a user's size survives minimising and restoring.
#include <QLineEdit>
#include <QTest>

#include "tests/app/viewer_fixture.h"

namespace kestra {
namespace {

class StatusWindowDesignTest : public testing::ViewerTest {
 protected:
  TForm1& ShownForm() {
    TForm1& form = Form();
    application_.OnActivate = nullptr;  // the window alone, no read sequence
    form.show();
    return form;
  }
};

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kWhite(Qt::white);
const QColor kBlack(Qt::black);

struct LookDesign {
  const char* name;
  int pixel_height;
  bool bold;
  QColor background;  // invalid: the control paints no background of its own
};

TEST_F(StatusWindowDesignTest, every_control_has_its_design_font_bold_flag_and_colours) {
  const LookDesign designs[] = {
      {"Panel4", 11, false, kBlue},      {"lblIme", 16, true, {}},
      {"Panel1", 11, false, kBlue},      {"Label1", 16, true, {}},
      {"lblSteviloZetonov", 16, true, {}}, {"Panel2", 11, false, kBlue},
      {"lblDatumOd", 16, true, {}},      {"lblDatumDo", 16, true, {}},
      {"Label2", 16, true, {}},          {"Panel3", 13, true, kBlue},
      {"Label3", 11, false, {}},         {"pnlZacetni", 19, true, kBlue},
      {"Label4", 11, false, {}},
  };
  TForm1& form = ShownForm();
  for (const LookDesign& design : designs) {
    auto* control = form.findChild<QWidget*>(design.name);
    ASSERT_NE(control, nullptr) << design.name;
    EXPECT_EQ(control->font().family(), "MS Sans Serif") << design.name;
    EXPECT_EQ(control->font().pixelSize(), design.pixel_height) << design.name;
    EXPECT_EQ(control->font().bold(), design.bold) << design.name;
    EXPECT_EQ(control->palette().color(QPalette::WindowText), kWhite) << design.name;
    if (design.background.isValid()) {
      EXPECT_TRUE(control->autoFillBackground()) << design.name;
      EXPECT_EQ(control->palette().color(QPalette::Window), design.background) << design.name;
    } else {
      EXPECT_FALSE(control->autoFillBackground()) << design.name << " lets its panel show through";
    }
  }
  QLineEdit* editor = form.eImeInPriimek;
  EXPECT_EQ(editor->font().pixelSize(), 11);
  EXPECT_FALSE(editor->font().bold());
  EXPECT_EQ(editor->palette().color(QPalette::Text), kBlack);
}

TEST_F(StatusWindowDesignTest, the_form_has_its_design_bounds_colour_and_font) {
  TForm1& form = ShownForm();
  EXPECT_EQ(form.frameGeometry(), QRect(125, 72, 567, 411)) << "outer bounds, frame included";
  EXPECT_EQ(form.palette().color(QPalette::Window), kNavy);
  EXPECT_TRUE(form.autoFillBackground());
  EXPECT_EQ(form.palette().color(QPalette::WindowText), kWhite);
  EXPECT_EQ(form.font().family(), "MS Sans Serif");
  EXPECT_EQ(form.font().pixelSize(), 11);
  EXPECT_FALSE(form.font().bold());
}

TEST_F(StatusWindowDesignTest, the_start_panel_sets_the_arrow_cursor_of_its_own) {
  TForm1& form = ShownForm();
  EXPECT_TRUE(form.pnlZacetni->testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(form.pnlZacetni->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(StatusWindowDesignTest, a_resized_window_keeps_its_size_when_shown_again) {
  TForm1& form = ShownForm();
  ASSERT_EQ(form.frameGeometry().size(), QSize(567, 411));
  form.resize(700, 500);
  form.showMinimized();
  form.showNormal();
  EXPECT_EQ(form.size(), QSize(700, 500)) << "after minimising and restoring";
  form.hide();
  form.show();
  EXPECT_EQ(form.size(), QSize(700, 500)) << "after hiding and showing";
}

}  // namespace
}  // namespace kestra
