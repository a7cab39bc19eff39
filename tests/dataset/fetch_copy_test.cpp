// Rows are copied into records column by column, with the copy chosen once
// per execution: every kind of column must arrive whole, row after row,
// across fetch batches, after the dataset is opened on other columns, and
// with text that holds line breaks.
#include <string>
#include <vector>

#include "oracle/session/oracle_session.h"
#include "runtime/format_settings.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

constexpr int kRows = 23;  // several batches of 4, the last one short

class FetchCopyTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    ResetFormatSettings();  // dates read in the default short form
    session->Preferences().SetSmallIntPrecision(0);
    Exec("create table mixed (id number(9), small number(4), amount number(9,2), day date, "
         "name varchar2(20), code char(4))");
    for (int i = 1; i <= kRows; ++i) {
      // Every third row leaves its optional columns null, in turn.
      const std::string id = std::to_string(i);
      Exec("insert into mixed values (" + id + ", " + (i % 3 == 0 ? "null" : std::to_string(-i)) + ", " +
           (i % 3 == 1 ? "null" : id + ".25") + ", " +
           (i % 3 == 2 ? "null" : "to_date('2024-01-" + two_digits(i) + " 10:20:30', 'YYYY-MM-DD HH24:MI:SS')") +
           ", " + (i % 3 == 0 ? "null" : "'name " + id + "'") + ", 'c" + std::to_string(i % 10) + "')");
    }
  }

  static std::string two_digits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

  // One line per record with every field's text, "-" for a null.
  static std::vector<std::string> Rows(TDataSet& dataset) {
    std::vector<std::string> rows;
    for (dataset.First(); !dataset.Eof(); dataset.Next()) {
      std::string line;
      for (TField* field : dataset.Fields()) line += (field->IsNull() ? std::string("-") : field->AsString()) + "|";
      rows.push_back(line);
    }
    return rows;
  }

  // The same lines, as the rows were inserted.
  static std::vector<std::string> Expected() {
    std::vector<std::string> rows;
    for (int i = 1; i <= kRows; ++i) {
      const std::string id = std::to_string(i);
      rows.push_back(id + "|" + (i % 3 == 0 ? "-" : std::to_string(-i)) + "|" + (i % 3 == 1 ? "-" : id + ".25") +
                     "|" + (i % 3 == 2 ? "-" : id + ".1.2024 10:20:30") + "|" +
                     (i % 3 == 0 ? "-" : "name " + id) + "|c" + std::to_string(i % 10) + "|");
    }
    return rows;
  }
};
KVELL_DATASET_INTERFACES(FetchCopyTest);

TEST_P(FetchCopyTest, every_kind_of_column_arrives_whole_across_fetch_batches) {
  auto mixed = MakeDataSet("select id, small, amount, day, name, code from mixed order by id");
  mixed->SetReadBuffer(4);
  mixed->Open();
  ASSERT_EQ(mixed->FieldByName("SMALL")->DataType(), ftSmallint);
  EXPECT_EQ(Rows(*mixed), Expected());
  mixed->Refresh();
  EXPECT_EQ(Rows(*mixed), Expected()) << "read again by the same execution plan";
}

TEST_P(FetchCopyTest, a_dataset_opened_again_on_other_columns_copies_them_by_their_new_kinds) {
  auto mixed = OpenDataSet("select id, amount, name from mixed where id = 2");
  EXPECT_EQ(Rows(*mixed), (std::vector<std::string>{"2|2.25|name 2|"}));
  mixed->Close();
  mixed->SetSQLText("select name, id, amount from mixed where id = 2");
  mixed->Open();
  EXPECT_EQ(Rows(*mixed), (std::vector<std::string>{"name 2|2|2.25|"}));
}

TEST_P(FetchCopyTest, line_breaks_in_text_follow_the_sessions_ConvertCRLF) {
  Exec("create table notes (body varchar2(20))");
  Exec("insert into notes values ('a' || chr(10) || 'b')");
  auto notes = OpenDataSet("select body from notes");
  EXPECT_EQ(notes->FieldByName("BODY")->AsString(), "a\r\nb");
  notes->Close();
  session->Preferences().ConvertCRLF = false;
  notes->Open();
  EXPECT_EQ(notes->FieldByName("BODY")->AsString(), "a\nb");
}

}  // namespace
}  // namespace kvell::testing
