// Bind variables without a database: declaring, the value conversions of
// every simple type, PL/SQL tables and arrays, complex attachments, display
// texts and assignment from and to TParams.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "db/field.h"
#include "db/params.h"
#include "oracle/session/oracle_date.h"
#include "oracle/session/variables.h"
#include "runtime/datetime.h"
#include "runtime/exception.h"

namespace kvell {
namespace {

// Stands in for the query: session preferences a test can switch.
struct Preferences : TVariablesHost {
  bool session = true;
  bool convert_crlf = true;
  bool zero_date_is_null = true;
  bool null_is_null = false;
  int max_string_chars = 4000;
  bool query = true;
  int changes = 0;
  bool HasSession() const override { return session; }
  bool ConvertCRLF() const override { return convert_crlf; }
  bool ZeroDateIsNull() const override { return zero_date_is_null; }
  bool NullValueIsNull() const override { return null_is_null; }
  int MaxStringChars() const override { return max_string_chars; }
  void VariablesChanged() override { ++changes; }
  bool IsOracleQuery() const override { return query; }
};

struct FakeLocator : TComplexValue {
  ComplexKind Kind() const override { return ComplexKind::LOBLocator; }
  std::string ClassName() const override { return "TLOBLocator"; }
};

template <typename Call>
std::string message_of(Call call) {
  try {
    call();
  } catch (const Exception& e) {
    return e.Message;
  }
  return "(no exception)";
}

class VariablesTest : public ::testing::Test {
 protected:
  Preferences prefs;
  TVariables vars{&prefs};
};

TEST_F(VariablesTest, names_are_upper_cased_with_a_colon_and_found_in_any_case) {
  vars.DeclareVariable("id", 3);
  EXPECT_EQ(vars.VariableName(0), ":ID");
  vars.SetVariable(":Id", 7);
  EXPECT_EQ(vars.GetVariable("iD").AsInteger(), 7);
  EXPECT_EQ(vars.VariableIndex(":ID"), 0);
  EXPECT_EQ(vars.VariableIndex("other"), -1);
}

TEST_F(VariablesTest, declaring_again_replaces_in_place_and_failures_leave_the_list_alone) {
  vars.DeclareVariable("a", 3);
  vars.DeclareVariable("b", 5);
  const int before = prefs.changes;
  vars.DeclareVariable("A", 12);
  EXPECT_EQ(vars.Count(), 2);
  EXPECT_EQ(vars.VariableType(0), 12);
  EXPECT_GT(prefs.changes, before);
  EXPECT_EQ(message_of([&] { vars.DeclareVariable("c", 2); }), "Unsupported variable type");
  EXPECT_EQ(message_of([&] { vars.DeclareVariable("", 3); }), "You cannot declare a variable with an empty name");
  EXPECT_EQ(vars.Count(), 2);
}

TEST_F(VariablesTest, unknown_names_and_indexes_are_refused_with_their_texts) {
  EXPECT_EQ(message_of([&] { vars.SetVariable("x", 1); }), "Variable x not declared");
  EXPECT_EQ(message_of([&] { vars.GetVariable("x"); }), "Unknown variable: x");
  EXPECT_EQ(message_of([&] { vars.DeleteVariable("x"); }), "Variable x not declared");
  EXPECT_EQ(message_of([&] { vars.SetComplexVariable("x", nullptr); }), "Unknown variable: x");
  EXPECT_EQ(message_of([&] { vars.VariableName(3); }), "Variable 3 does not exist");
  EXPECT_EQ(message_of([&] { vars.DeclarePLSQLTable("x", 1, 0); }), "Variable x not declared");
}

TEST_F(VariablesTest, a_new_variable_is_null_and_reads_as_the_session_null_value) {
  vars.DeclareVariable("n", 3);
  EXPECT_TRUE(vars.GetVariable(0).IsEmpty());
  prefs.null_is_null = true;
  EXPECT_TRUE(vars.GetVariable(0).IsNull());
  vars.SetVariable(0, 5);
  vars.SetVariable(0, Null());
  EXPECT_TRUE(vars[0].IsNull(0));
}

TEST_F(VariablesTest, numbers_keep_their_binary_layout) {
  vars.DeclareVariable("i", 3);
  vars.DeclareVariable("f", 4);
  vars.SetVariable(0, "42");
  vars.SetVariable(1, 2.5);
  int32_t i = 0;
  double f = 0;
  std::memcpy(&i, vars[0].Buffer(), 4);
  std::memcpy(&f, vars[1].Buffer(), 8);
  EXPECT_EQ(i, 42);
  EXPECT_EQ(f, 2.5);
  EXPECT_EQ(vars.GetVariable(1).AsDouble(), 2.5);
  EXPECT_EQ(message_of([&] { vars.SetVariable(0, "abc"); }), "Variant conversion error for variable :I");
}

TEST_F(VariablesTest, strings_are_cut_to_the_element_and_follow_the_line_break_rule) {
  vars.DeclareVariable("s", 5);
  vars.SetVariable(0, std::string(5000, 'x'));
  EXPECT_EQ(vars.GetVariable(0).AsString().size(), 4000u);
  vars.SetVariable(0, "a\r\nb\nc");
  EXPECT_STREQ(reinterpret_cast<const char*>(vars[0].Buffer()), "a\nb\nc");
  EXPECT_EQ(vars.GetVariable(0).AsString(), "a\r\nb\r\nc");
  prefs.convert_crlf = false;
  vars.SetVariable(0, "a\r\nb");
  EXPECT_STREQ(reinterpret_cast<const char*>(vars[0].Buffer()), "a\r\nb");
  prefs.session = false;  // without a session the rule always applies
  EXPECT_EQ(vars.GetVariable(0).AsString(), "a\r\nb");
  vars.SetVariable(0, "x\ry");
  EXPECT_STREQ(reinterpret_cast<const char*>(vars[0].Buffer()), "xy");
}

// Text set and read in place must give what the Variant path gives: the
// line-break rule, the cut to the element, nulls, and other types.
TEST_F(VariablesTest, text_set_and_read_in_place_agree_with_the_variant_path) {
  vars.DeclareVariable("s", 5);
  vars.DeclareVariable("n", 3);
  std::string_view text;
  EXPECT_FALSE(vars.VariablePlainText(0, text)) << "null";
  for (bool convert : {true, false}) {
    prefs.convert_crlf = convert;
    for (const std::string& value : {std::string("AAAEdWAABAAAAHkAAA"), std::string(), std::string("a\r\nb\nc"),
                                     std::string(5000, 'x')}) {
      vars.SetVariableText(0, value);
      const std::string by_text(reinterpret_cast<const char*>(vars[0].Buffer()));
      vars.SetVariable(0, value);
      EXPECT_EQ(by_text, reinterpret_cast<const char*>(vars[0].Buffer())) << value.substr(0, 20);
      const std::string expected = vars.GetVariable(0).AsString();
      if (vars.VariablePlainText(0, text)) {
        EXPECT_EQ(text, expected) << value.substr(0, 20);
      } else {
        EXPECT_TRUE(convert && value.find('\n') != std::string::npos) << "only converted text is refused";
      }
    }
  }
  vars.SetVariableText(1, "42");
  EXPECT_EQ(vars.GetVariable(1).AsInteger(), 42) << "another type converts as a Variant would";
  EXPECT_FALSE(vars.VariablePlainText(1, text));
  vars.SetVariable(0, Null());
  EXPECT_FALSE(vars.VariablePlainText(0, text));
}

TEST_F(VariablesTest, long_and_substitution_values_are_sized_to_the_text) {
  vars.DeclareVariable("l", 8);
  vars.DeclareVariable("sub", 1);
  EXPECT_EQ(vars[0].Buffer(), nullptr);
  vars.SetVariable(0, std::string(20000, 'q'));
  EXPECT_EQ(vars[0].ElementSize(), 20001);
  EXPECT_EQ(vars[0].DataLength(), 20000u);
  EXPECT_EQ(vars.GetVariable(0).AsString(), std::string(20000, 'q'));
  vars.SetVariable(1, "emp");
  EXPECT_EQ(vars[1].ElementSize(), 4);
  EXPECT_EQ(message_of([&] { vars.SetVariable(1, VarArrayOf({"a"})); }),
            ":SUB is a substitution variable and cannot be an array");
}

TEST_F(VariablesTest, dates_take_the_seven_byte_layout_both_ways) {
  vars.DeclareVariable("d", 12);
  const TDateTime when = EncodeDate(2024, 2, 29) + EncodeTime(13, 45, 7, 0);
  vars.SetVariable(0, Variant::FromDateTime(when));
  const uint8_t expected[7] = {120, 124, 2, 29, 14, 46, 8};
  EXPECT_EQ(std::memcmp(vars[0].Buffer(), expected, 7), 0);
  EXPECT_NEAR(vars.GetVariable(0).AsDateTime(), when, 1e-9);
  const TDateTime early = EncodeDate(1850, 6, 1) + EncodeTime(6, 0, 0, 0);
  vars.SetVariable(0, Variant::FromDateTime(early));
  EXPECT_NEAR(vars.GetVariable(0).AsDateTime(), early, 1e-9);
}

TEST_F(VariablesTest, a_zero_date_is_null_only_while_zero_date_is_null_is_on) {
  vars.DeclareVariable("d", 12);
  vars.SetVariable(0, Variant::FromDateTime(0));
  EXPECT_TRUE(vars[0].IsNull(0));
  prefs.zero_date_is_null = false;
  vars.SetVariable(0, Variant::FromDateTime(0));
  ASSERT_FALSE(vars[0].IsNull(0));
  EXPECT_EQ(vars.GetVariable(0).AsDateTime(), 0);
}

TEST(OracleDate, invalid_stored_dates_and_times_read_as_the_fallbacks) {
  const uint8_t year_zero[7] = {100, 100, 1, 1, 1, 1, 1};
  EXPECT_EQ(OracleDateToDateTime(year_zero), -693594.0);
  const uint8_t bad_time[7] = {120, 124, 2, 29, 30, 1, 1};
  EXPECT_EQ(OracleDateToDateTime(bad_time), EncodeDate(2024, 2, 29));
  const uint8_t bad_day[7] = {120, 123, 2, 29, 13, 1, 1};  // 2023 has no 29 February
  EXPECT_EQ(OracleDateToDateTime(bad_day), -693594.0 - EncodeTime(12, 0, 0, 0));
  uint8_t out[7];
  EXPECT_THROW(DateTimeToOracleDate(1e9, out), EVariantError);
}

TEST(OracleDate, every_day_of_years_1_to_9999_reads_back_as_written) {
  int mismatches = 0;
  uint8_t bytes[7];
  for (int day = -693593; day < 2958466; ++day) {
    DateTimeToOracleDate(day, bytes);
    if (OracleDateToDateTime(bytes) != day && ++mismatches < 5) ADD_FAILURE() << "day " << day;
  }
  EXPECT_EQ(0, mismatches);
  const TDateTime evening = EncodeDate(2000, 2, 29) + EncodeTime(23, 59, 58, 0);
  DateTimeToOracleDate(evening, bytes);
  EXPECT_EQ(evening, OracleDateToDateTime(bytes));
  const uint8_t month_13[7] = {120, 124, 13, 1, 1, 1, 1};
  const uint8_t day_0[7] = {120, 124, 12, 0, 1, 1, 1};
  EXPECT_EQ(-693594.0, OracleDateToDateTime(month_13));
  EXPECT_EQ(-693594.0, OracleDateToDateTime(day_0));
}

// Fetches store dates through days and milliseconds: the native value must
// be the one the TDateTime gives, before 1899 too, where a negative date-time
// counts its time away from zero.
TEST(OracleDate, days_and_milliseconds_give_the_same_native_value_as_the_date_time) {
  const TDateTime times[] = {0, EncodeTime(0, 0, 1, 0), EncodeTime(12, 0, 0, 0), EncodeTime(23, 59, 59, 0)};
  int mismatches = 0;
  uint8_t bytes[7];
  auto check = [&] {
    const double expected = DateTimeToNative(ftDateTime, OracleDateToDateTime(bytes));
    if (DayAndTimeToNative(OracleDateToDayAndTime(bytes)) != expected && ++mismatches < 5)
      ADD_FAILURE() << int(bytes[0]) << ' ' << int(bytes[1]) << ' ' << int(bytes[2]) << ' ' << int(bytes[3]) << ' '
                    << int(bytes[4]) << ' ' << int(bytes[5]) << ' ' << int(bytes[6]);
  };
  for (int day = -693593; day < 2958466; day += 89) {
    for (TDateTime time : times) {
      DateTimeToOracleDate(day < 0 ? day - time : day + time, bytes);
      check();
    }
  }
  const uint8_t fallbacks[][7] = {{100, 100, 1, 1, 1, 1, 1}, {120, 123, 2, 29, 13, 1, 1},
                                  {120, 124, 2, 29, 30, 1, 1}, {120, 124, 13, 1, 24, 60, 60}};
  for (const auto& fallback : fallbacks) {
    std::memcpy(bytes, fallback, sizeof bytes);
    check();
  }
  EXPECT_EQ(0, mismatches);
}

TEST_F(VariablesTest, long_raw_takes_bytes_strings_and_byte_arrays) {
  vars.DeclareVariable("r", 24);
  vars.SetVariable(0, Variant::FromBytes({1, 2, 0, 3}));
  EXPECT_EQ(vars[0].DataLength(), 4u);
  EXPECT_EQ(vars.GetVariable(0).AsBytes(), (std::vector<uint8_t>{1, 2, 0, 3}));
  vars.SetVariable(0, VarArrayOf({9, 8}));
  EXPECT_EQ(vars.GetVariable(0).AsBytes(), (std::vector<uint8_t>{9, 8}));
  vars.SetVariable(0, "AB");
  EXPECT_EQ(vars.GetVariable(0).AsBytes(), (std::vector<uint8_t>{'A', 'B'}));
  EXPECT_EQ(message_of([&] { vars.SetVariable(0, 5); }), "Only one-dimensional array of bytes allowed for :R");
}

TEST_F(VariablesTest, arrays_resize_the_variable_and_keep_their_low_bound) {
  vars.DeclareVariable("n", 3);
  vars.SetVariable(0, Variant::FromArray({1, Null(), 3}, 5));
  EXPECT_EQ(vars[0].ElementCount(), 3);
  const Variant back = vars.GetVariable(0);
  ASSERT_TRUE(back.IsArray());
  EXPECT_EQ(back.ArrayLowBound(), 5);
  EXPECT_EQ(back[5].AsInteger(), 1);
  EXPECT_TRUE(back[6].IsEmpty());
  EXPECT_EQ(back[7].AsInteger(), 3);
  EXPECT_EQ(vars.VariableDisplayText(0), "(Array)");
  vars.SetVariable(0, 4);
  EXPECT_EQ(vars[0].ElementCount(), 1);
  EXPECT_EQ(vars.GetVariable(0).AsInteger(), 4);
}

TEST_F(VariablesTest, string_arrays_are_capped_at_the_session_string_length) {
  prefs.max_string_chars = 1000;
  vars.DeclareVariable("s", 5);
  vars.SetVariable(0, VarArrayOf({std::string(3000, 'a'), "b"}));
  EXPECT_EQ(vars[0].ElementSize(), 1001);
  EXPECT_EQ(vars.GetVariable(0)[0].AsString().size(), 1000u);
  EXPECT_EQ(message_of([&] { vars.DeclareVariable("l", 8), vars.SetVariable("l", VarArrayOf({"a", "b"})); }),
            ":L is a Long variable and cannot be an array");
}

TEST_F(VariablesTest, plsql_tables_check_their_declaration) {
  vars.DeclareVariable("s", 5);
  vars.DeclareVariable("i", 3);
  vars.DeclareVariable("r", 24);
  EXPECT_EQ(message_of([&] { vars.DeclarePLSQLTable("r", 5, 0); }),
            "Only PL/SQL Tables of strings, integers, floats and dates supported");
  EXPECT_EQ(message_of([&] { vars.DeclarePLSQLTable("s", 5, 0); }),
            "You must specify a string size for a PL/SQL Table of strings");
  EXPECT_EQ(message_of([&] { vars.DeclarePLSQLTable("i", 5, 10); }),
            "You can only specify a string size for a PL/SQL Table of strings");
  EXPECT_EQ(message_of([&] { vars.DeclarePLSQLTable("i", 0, 0); }), "You must specify the size of the PL/SQL Table");
  EXPECT_FALSE(vars[1].IsPLSQLTable());
}

TEST_F(VariablesTest, plsql_tables_take_arrays_up_to_their_size) {
  vars.DeclareVariable("s", 5);
  vars.DeclarePLSQLTable("s", 4, 20);
  EXPECT_EQ(vars[0].ElementSize(), 21);
  EXPECT_EQ(vars[0].TableSize(), 4);
  EXPECT_TRUE(vars.GetVariable(0).IsEmpty());  // nothing used yet
  vars.SetVariable(0, VarArrayOf({"x", "y"}));
  EXPECT_EQ(vars[0].UsedCount(), 2u);
  EXPECT_EQ(vars[0].ElementCount(), 4);
  const Variant back = vars.GetVariable(0);
  EXPECT_EQ(back.ArrayHighBound(), 1);
  EXPECT_EQ(back[1].AsString(), "y");
  EXPECT_EQ(message_of([&] { vars.SetVariable(0, VarArrayOf({1, 2, 3, 4, 5})); }),
            "Array is larger than PL/SQL Table (5 > 4)");
  EXPECT_EQ(message_of([&] { vars.SetVariable(0, "z"); }), ":S is a PL/SQL Table, assign a variant array to it");
  vars.SetVariable(0, Null());
  EXPECT_EQ(vars[0].UsedCount(), 0u);
  EXPECT_EQ(vars.VariableDisplayText(0), "(PL/SQL Table)");
}

TEST_F(VariablesTest, a_string_table_of_the_default_element_size_still_gets_its_requested_size) {
  vars.DeclareVariable("s", 5);
  vars.DeclarePLSQLTable("s", 1, 4001);  // 4001 is the declared element size
  EXPECT_EQ(vars[0].ElementSize(), 4002);
}

TEST_F(VariablesTest, complex_variables_hold_objects_of_their_class_only) {
  FakeLocator locator;
  vars.DeclareVariable("c", 112);
  vars.DeclareVariable("o", 108);
  vars.DeclareVariable("i", 3);
  vars.SetComplexVariable("c", &locator);
  EXPECT_EQ(vars[0].Object(), &locator);
  EXPECT_FALSE(vars[0].IsNull(0));
  EXPECT_EQ(VariantToObject(vars.GetVariable(0)), &locator);
  EXPECT_EQ(message_of([&] { vars.SetComplexVariable("o", &locator); }), "Assign TLOBLocator instance to variable :O");
  EXPECT_EQ(message_of([&] { vars.SetComplexVariable("i", &locator); }), ":I is not a complex variable");
  EXPECT_EQ(message_of([&] { vars.SetVariable("c", "text"); }), "Pass LongInt(Object) to complex variable :C");
  EXPECT_EQ(message_of([&] { vars.SetVariable("c", VarArrayOf({1})); }),
            ":C is a complex variable and cannot be an array");
  vars.SetVariable("c", Null());
  EXPECT_EQ(vars[0].Object(), nullptr);
  vars.SetVariable("c", ObjectToVariant(&locator));
  EXPECT_EQ(vars[0].Object(), &locator);
  EXPECT_EQ(vars.VariableDisplayText(0), "(CLOB)");
}

TEST_F(VariablesTest, a_timestamp_without_an_instance_keeps_a_date_time_value) {
  vars.DeclareVariable("t", 187);
  vars.SetVariable(0, Variant::FromDateTime(45000.5));
  EXPECT_EQ(vars[0].Object(), nullptr);
  EXPECT_EQ(vars.GetVariable(0).AsDateTime(), 45000.5);
  vars.SetVariable(0, Variant::FromDateTime(0));
  EXPECT_TRUE(vars[0].IsNull(0));
}

TEST_F(VariablesTest, display_texts_name_the_kind_or_show_the_value) {
  vars.DeclareVariable("l", 8);
  vars.DeclareVariable("r", 24);
  vars.DeclareVariable("q", 116);
  vars.DeclareVariable("n", 3);
  EXPECT_EQ(vars.VariableDisplayText(0), "(Long)");
  EXPECT_EQ(vars.VariableDisplayText(1), "(Long Raw)");
  EXPECT_EQ(vars.VariableDisplayText(2), "(Cursor)");
  EXPECT_EQ(vars.VariableDisplayText(3), "Null");
  vars.SetVariable(3, 12);
  EXPECT_EQ(vars.VariableDisplayText(3), "12");
}

TEST_F(VariablesTest, substitution_variables_are_pasted_from_last_to_first) {
  vars.DeclareVariable("tab", 1);
  vars.DeclareVariable("id", 3);
  vars.DeclareVariable("cols", 1);
  vars.SetVariable("tab", "employees");
  vars.SetVariable("cols", "a, b");
  EXPECT_EQ(vars.SubstituteVariables("select :cols from :Tab where id = :id and x = ':tab' -- :tab"),
            "select a, b from employees where id = :id and x = ':tab' -- :tab");
  vars.SetVariable("tab", Null());
  EXPECT_EQ(vars.SubstituteVariables("select * from :tab"), "select * from ");
  vars.SetVariable("tab", "emp");
  EXPECT_EQ(vars.SubstituteVariables("select /*+ rule */* from :tab"), "select /*+ rule */* from emp");
  TVariables plain;
  plain.DeclareVariable("x", 3);
  EXPECT_EQ(plain.SubstituteVariables("select :x from dual"), "select :x from dual");
}

TEST_F(VariablesTest, params_go_in_by_their_variant_types) {
  TParams params;
  params.CreateParam(ftUnknown, "I", ptInput).SetValue(5);
  params.CreateParam(ftUnknown, "B", ptInput).SetValue(true);
  params.CreateParam(ftUnknown, "F", ptInput).SetValue(1.5);
  params.CreateParam(ftUnknown, "D", ptInput).SetValue(Variant::FromDateTime(0));
  params.CreateParam(ftUnknown, "S", ptInput).SetValue("a\r\nb");
  params.CreateParam(ftInteger, "N", ptInput);
  prefs.convert_crlf = false;  // the params go in by the rules without a session
  vars.AssignFromParams(params);
  ASSERT_EQ(vars.Count(), 6);
  const int expected[] = {3, 3, 4, 12, 5, 3};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(vars.VariableType(i), expected[i]) << i;
  EXPECT_EQ(vars[0].ElementSize(), 4);
  EXPECT_EQ(vars.GetVariable(":B").AsInteger(), -1);  // the runtime's True
  EXPECT_TRUE(vars[3].IsNull(0));  // a zero date without a session is null
  EXPECT_STREQ(reinterpret_cast<const char*>(vars[4].Buffer()), "a\nb");
  EXPECT_TRUE(vars[5].IsNull(0));

  TParams unsupported;
  unsupported.CreateParam(ftUnknown, "X", ptInput).SetValue(int64_t{1} << 40);
  EXPECT_EQ(message_of([&] { vars.AssignFromParams(unsupported); }), "Unsupported variable type");
  EXPECT_EQ(vars.Count(), 6);
}

TEST_F(VariablesTest, params_come_out_with_the_first_element_or_empty) {
  vars.DeclareVariable("a", 3);
  vars.DeclareVariable("b", 5);
  vars.SetVariable("a", VarArrayOf({7, 8}));
  TParams params;
  params.CreateParam(ftString, "OLD", ptInput);
  vars.AssignToParams(params);
  ASSERT_EQ(params.Count(), 2);
  EXPECT_EQ(params[0].Name, "A");
  EXPECT_EQ(params[0].Value().AsInteger(), 7);
  EXPECT_TRUE(params[1].Value().IsEmpty());
}

TEST_F(VariablesTest, assignment_between_stores_needs_two_queries_and_copies_values_and_tables) {
  Preferences other_prefs;
  TVariables target(&other_prefs);
  vars.DeclareVariable("a", 5);
  vars.SetVariable("a", "text");
  vars.DeclareVariable("t", 5);
  vars.DeclarePLSQLTable("t", 3, 12);
  vars.DeclareVariable("r", 24);
  vars.SetVariable("r", Variant::FromBytes({1, 2}));
  target.DeclareVariable("gone", 3);
  target.Assign(vars);
  ASSERT_EQ(target.Count(), 3);
  EXPECT_EQ(target.GetVariable("a").AsString(), "text");
  EXPECT_EQ(target[1].TableSize(), 3);
  EXPECT_EQ(target[1].StringSize(), 12);
  EXPECT_EQ(target.GetVariable("r").AsBytes(), (std::vector<uint8_t>{1, 2}));
  target.Assign(target);
  EXPECT_EQ(target.Count(), 3);
  other_prefs.query = false;
  EXPECT_EQ(message_of([&] { target.Assign(vars); }), "Can only Assign TVariables owned by a TOracleQuery");
}

}  // namespace
}  // namespace kvell
