// Query-by-example values turned into conditions, the where clause added to
// a dataset's SQL, and the stored form of the definition.
#include <gtest/gtest.h>

#include "oracle/dataset/qbe_condition.h"
#include "oracle/dataset/qbe_definition.h"
#include "oracle/dataset/qbe_where.h"
#include "runtime/exception.h"

namespace kvell {
namespace {

std::string plain(const std::string& text, TFieldType type = ftString, QBEValueOptions options = {}) {
  return QBECondition("COL", text, type, options);
}

std::string with_operators(const std::string& text, TFieldType type = ftString, QBEValueOptions options = {}) {
  options.AllowOperators = true;
  return QBECondition("COL", text, type, options);
}

TEST(QBECondition, strings_compare_equal_or_like_with_file_wildcards_and_quotes) {
  EXPECT_EQ(plain("SM*"), "(COL like 'SM%')");
  EXPECT_EQ(plain("SMITH"), "(COL = 'SMITH')");
  EXPECT_EQ(plain("O'NEIL"), "(COL = 'O''NEIL')");
  EXPECT_EQ(plain("'it''s'"), "(COL = 'it''s')") << "enclosing quotes go, doubled ones collapse";
  EXPECT_EQ(plain("\"A?C\""), "(COL like 'A_C')");
  QBEValueOptions literal;
  literal.AllowFileWildCards = false;
  EXPECT_EQ(plain("SM*", ftString, literal), "(COL = 'SM*')");
  EXPECT_EQ(plain("null"), "(COL is null)");
}

TEST(QBECondition, string_switches_add_wildcards_upper_case_and_soundex) {
  QBEValueOptions options;
  options.PartialMatch = true;
  EXPECT_EQ(plain("SM", ftString, options), "(COL like 'SM%')");
  EXPECT_EQ(plain("S_H", ftString, options), "(COL like 'S_H')") << "a value with a wildcard stays as it is";
  options.MatchAnywhere = true;
  EXPECT_EQ(plain("IT", ftString, options), "(COL like '%IT%')");
  QBEValueOptions upper;
  upper.CaseInsensitive = true;
  EXPECT_EQ(plain("smith", ftString, upper), "(upper(COL) = 'SMITH')");
  QBEValueOptions sounds;
  sounds.SoundsLike = true;
  EXPECT_EQ(plain("SMYTHE", ftString, sounds), "(soundex(COL) = soundex('SMYTHE'))");
}

TEST(QBECondition, numbers_keep_their_digits_and_take_the_last_separator_as_the_point) {
  EXPECT_EQ(plain("0042", ftInteger), "(COL = 42)");
  EXPECT_EQ(plain("7,8 9", ftInteger), "(COL = 789)");
  EXPECT_EQ(plain("78%", ftInteger), "(COL like '78%')") << "a pattern is compared as text";
  EXPECT_EQ(plain("1.250,50", ftFloat), "(COL = 1250.50)");
  EXPECT_EQ(plain("3000", ftFloat), "(COL = 3000)");
}

TEST(QBECondition, dates_become_to_date_and_a_day_without_time_spans_the_whole_day) {
  EXPECT_EQ(plain("3.12.1981", ftDateTime), "(COL = to_date('03-12-1981', 'DD-MM-YYYY'))");
  EXPECT_EQ(plain("3.12.1981 14:05:09", ftDateTime),
            "(COL = to_date('03-12-1981 14:05:09', 'DD-MM-YYYY HH24:MI:SS'))");
  QBEValueOptions day;
  day.DateWithoutTime = true;
  EXPECT_EQ(plain("31.12.1981", ftDateTime, day),
            "(COL >= to_date('31-12-1981', 'DD-MM-YYYY') and COL < to_date('01-01-1982', 'DD-MM-YYYY'))");
  EXPECT_EQ(with_operators(">31.12.1981", ftDateTime, day), "(COL > to_date('31-12-1981', 'DD-MM-YYYY'))");
  EXPECT_EQ(plain("14:05", ftTime), "(COL = to_date('14:05:00', 'HH24:MI:SS'))");
  EXPECT_THROW(plain("32.13.1981", ftDateTime), EConvertError);
}

TEST(QBECondition, operator_texts_give_comparisons_lists_ranges_negations_and_alternatives) {
  EXPECT_EQ(with_operators(">= 2000", ftFloat), "(COL >= 2000)");
  EXPECT_EQ(with_operators("<>SMITH"), "(COL <> 'SMITH')");
  EXPECT_EQ(with_operators("=SM*"), "(COL like 'SM%')") << "a given = follows the value";
  EXPECT_EQ(with_operators("in (10, 20,30)", ftInteger), "(COL in (10,20,30))");
  EXPECT_EQ(with_operators("IN ()", ftInteger), "(COL is null)");
  EXPECT_EQ(with_operators("not in (10,20)", ftInteger), "not (COL in (10,20)) or COL is null");
  EXPECT_EQ(with_operators("NOT NULL"), "not (COL is null)");
  EXPECT_EQ(with_operators("is null"), "(COL is null)");
  EXPECT_EQ(with_operators("IS NOT NULL"), "(COL is not null)");
  EXPECT_EQ(with_operators("between 1000 and 2000", ftFloat), "(COL between 1000 and 2000)");
  EXPECT_EQ(with_operators("1000..2000", ftFloat), "(COL between 1000 and 2000)");
  EXPECT_EQ(with_operators("1000 - 2000", ftFloat), "(COL between 1000 and 2000)");
  EXPECT_EQ(with_operators("SMITH or 'VAN DYKE' or J*"), "(COL = 'SMITH' or COL = 'VAN DYKE' or COL like 'J%')");
  EXPECT_EQ(with_operators("like ADAMS"), "(COL like 'ADAMS')");
  EXPECT_EQ(with_operators("'a or b'"), "(COL = 'a or b')") << "quotes protect their contents";
  EXPECT_EQ(with_operators(""), "");
}

TEST(QBEWhere, conditions_go_after_the_texts_own_and_before_its_order_by_with_the_marker_last) {
  EXPECT_EQ(AddQBEConditions("select * from emp\r\norder by ename", {"(ENAME like 'S%')", "(SAL > 1000)"}),
            "select * from emp\r\nwhere (ENAME like 'S%')\r\nand (SAL > 1000)\r\norder by ename\r\n"
            "/* Modified for QBE */");
  const std::string added = AddQBEConditions("select * from emp where deptno = 20", {"(SAL > 1000)"});
  EXPECT_EQ(added, "select * from emp\r\nwhere (deptno = 20)\r\nand\r\n((SAL > 1000))\r\n/* Modified for QBE */");
  EXPECT_TRUE(IsModifiedForQBE(added));
  EXPECT_FALSE(IsModifiedForQBE("select 1 from dual /* Modified for QBE */ where 1 = 1"));
  EXPECT_EQ(AddQBEConditions("select * from emp", {}), "select * from emp");
}

std::string stored_form(int version, bool with_later_switches) {
  TMemoryStream stream;
  auto put_int = [&](int32_t value) { stream.WriteBuffer(&value, 4); };
  auto put_flag = [&](uint8_t value) { stream.WriteBuffer(&value, 1); };
  put_int(version);
  put_int(1);
  put_int(5);
  stream.WriteBuffer("ENAME", 5);
  put_flag(0);
  put_flag(1);
  put_flag(1);
  if (with_later_switches) {
    put_flag(1);
    put_flag(1);
    put_flag(1);
  }
  std::string bytes(static_cast<size_t>(stream.Size()), '\0');
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), stream.Size());
  return bytes;
}

TEST(QBEDefinition, the_stored_form_reads_every_version_and_refuses_newer_and_damaged_ones) {
  TQBEDefinition definition;
  TMemoryStream version1;
  const std::string old_form = stored_form(1, false);
  version1.WriteBuffer(old_form.data(), static_cast<int64_t>(old_form.size()));
  version1.SetPosition(0);
  definition.ReadFieldDefs(version1);
  ASSERT_EQ(definition.Count(), 1);
  TQBEField& entry = definition.Field(0);
  EXPECT_EQ(entry.FieldName, "ENAME");
  EXPECT_FALSE(entry.Enabled());
  EXPECT_TRUE(entry.PartialMatch && entry.CaseInsensitive);
  EXPECT_FALSE(entry.DateWithoutTime || entry.MatchAnywhere || entry.SoundsLike) << "later switches keep defaults";

  TMemoryStream written;
  definition.WriteFieldDefs(written);
  TQBEDefinition copy;
  written.SetPosition(0);
  copy.ReadFieldDefs(written);
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(copy.Field(0).FieldName, "ENAME");
  EXPECT_TRUE(copy.Field(0).PartialMatch);
  EXPECT_EQ(written.Size(), static_cast<int64_t>(stored_form(4, true).size()));

  TMemoryStream version5;
  const std::string newer = stored_form(5, true);
  version5.WriteBuffer(newer.data(), static_cast<int64_t>(newer.size()));
  version5.SetPosition(0);
  try {
    copy.ReadFieldDefs(version5);
    ADD_FAILURE() << "a newer version was read";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message, kInvalidQBEVersion);
  }
  TMemoryStream damaged;
  const std::string cut = stored_form(4, true).substr(0, 14);
  damaged.WriteBuffer(cut.data(), static_cast<int64_t>(cut.size()));
  damaged.SetPosition(0);
  EXPECT_THROW(copy.ReadFieldDefs(damaged), EStreamError);
}

TEST(QBEDefinition, blob_memo_and_lob_entries_are_never_enabled) {
  TQBEField entry("PICTURE");
  entry.SetDataType(ftBlob);
  entry.SetEnabled(true);
  EXPECT_FALSE(entry.Enabled());
  for (TFieldType type : {ftMemo, ftOraClob, ftOraBlob, ftGraphic}) {
    entry.SetDataType(type);
    EXPECT_FALSE(entry.Enabled());
  }
  entry.SetDataType(ftString);
  EXPECT_TRUE(entry.Enabled());
}

}  // namespace
}  // namespace kvell
