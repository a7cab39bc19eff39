// The navigator offscreen: buttons enabled by the dataset's state, and
// commands (with the delete confirmation) run on the dataset.
#include <gtest/gtest.h>

#include <QAction>

#include "qt/dataset_navigator.h"
#include "tests/qt/model_fixture.h"

namespace kvell {
namespace {

using qt_test::AnsweredBox;
using qt_test::AnswerNextBox;
using qt_test::EnabledButtons;
using Nav = TDataSetNavigator;

TEST(DataSetNavigatorTest, buttons_follow_position_and_editing_state) {
  qt_test::ModelFixture f(3);
  Nav navigator(f.source.get());
  EXPECT_EQ(QStringList({"Next", "Last", "Insert", "Delete", "Edit", "Refresh"}), EnabledButtons(navigator));
  navigator.Button(Nav::nbLast)->trigger();
  EXPECT_EQ(3, f.ds->FieldByName("ID")->AsInteger());
  EXPECT_EQ(QStringList({"First", "Prior", "Insert", "Delete", "Edit", "Refresh"}), EnabledButtons(navigator));
  navigator.Button(Nav::nbEdit)->trigger();
  EXPECT_EQ(dsEdit, f.ds->State());
  EXPECT_EQ(QStringList({"First", "Prior", "Insert", "Delete", "Post", "Cancel"}), EnabledButtons(navigator));
  navigator.Button(Nav::nbCancel)->trigger();
  EXPECT_EQ(dsBrowse, f.ds->State());

  f.ds->Close();
  EXPECT_TRUE(EnabledButtons(navigator).isEmpty());
  f.ds->ReadOnly = true;
  f.ds->Open();  // the in-memory dataset opens empty
  EXPECT_EQ(QStringList({"Refresh"}), EnabledButtons(navigator));
}

TEST(DataSetNavigatorTest, delete_asks_first_and_errors_are_reported) {
  qt_test::ModelFixture f(3);
  Nav navigator(f.source.get());
  AnsweredBox box;
  AnswerNextBox("Cancel", box);
  navigator.Button(Nav::nbDelete)->trigger();
  EXPECT_EQ("Delete record?", box.text);
  EXPECT_EQ(3, f.ds->RecordCount());
  AnswerNextBox("OK", box);
  navigator.Button(Nav::nbDelete)->trigger();
  EXPECT_EQ(2, f.ds->RecordCount());
  EXPECT_EQ(2, f.model->rowCount());

  f.ds->FieldByName("NAME")->Required = true;
  navigator.Button(Nav::nbInsert)->trigger();
  navigator.Button(Nav::nbPost)->trigger();
  EXPECT_EQ(std::vector<std::string>{"Field 'NAME' must have a value"}, f.reported);
  EXPECT_EQ(dsInsert, f.ds->State());
  navigator.Button(Nav::nbCancel)->trigger();
  EXPECT_EQ(2, f.model->rowCount());
}

}  // namespace
}  // namespace kvell
