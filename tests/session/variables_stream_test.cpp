// The stored "Data" form of variables: round trips, older versions, the
// version refusal, damaged streams and the ancestor comparison.
#include <gtest/gtest.h>

#include <cstring>

#include "oracle/session/variables.h"
#include "runtime/exception.h"

namespace kvell {
namespace {

struct StreamBuilder {
  TMemoryStream stream;
  StreamBuilder& i32(int32_t value) {
    stream.WriteBuffer(&value, 4);  // the build host is little-endian like the stored form
    return *this;
  }
  StreamBuilder& text(const std::string& bytes) {
    i32(static_cast<int32_t>(bytes.size()));
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return *this;
  }
  TMemoryStream& rewound() {
    stream.SetPosition(0);
    return stream;
  }
};

TEST(VariablesData, every_simple_type_and_a_table_survive_a_round_trip) {
  TVariables source;
  source.DeclareVariable("i", 3);
  source.SetVariable("i", -17);
  source.DeclareVariable("f", 4);
  source.SetVariable("f", 0.125);
  source.DeclareVariable("s", 5);
  source.SetVariable("s", "hello");
  source.DeclareVariable("d", 12);
  source.SetVariable("d", Variant::FromDateTime(45351.25));
  source.DeclareVariable("l", 8);
  source.SetVariable("l", "long text");
  source.DeclareVariable("r", 24);
  source.SetVariable("r", Variant::FromBytes({0, 1, 255}));
  source.DeclareVariable("sub", 1);
  source.SetVariable("sub", "emp");
  source.DeclareVariable("n", 97);
  source.DeclareVariable("t", 5);
  source.DeclarePLSQLTable("t", 10, 30);
  TMemoryStream stream;
  source.WriteData(stream);
  stream.SetPosition(0);

  TVariables copy;
  copy.DeclareVariable("old", 3);
  copy.ReadData(stream);
  ASSERT_EQ(copy.Count(), source.Count());
  EXPECT_EQ(copy.GetVariable("i").AsInteger(), -17);
  EXPECT_EQ(copy.GetVariable("f").AsDouble(), 0.125);
  EXPECT_EQ(copy.GetVariable("s").AsString(), "hello");
  EXPECT_NEAR(copy.GetVariable("d").AsDateTime(), 45351.25, 1e-9);
  EXPECT_EQ(copy.GetVariable("l").AsString(), "long text");
  EXPECT_EQ(copy.GetVariable("r").AsBytes(), (std::vector<uint8_t>{0, 1, 255}));
  EXPECT_EQ(copy.GetVariable("sub").AsString(), "emp");
  EXPECT_TRUE(copy.GetVariable("n").IsEmpty());
  EXPECT_TRUE(copy[8].IsPLSQLTable());
  EXPECT_EQ(copy[8].TableSize(), 10);
  EXPECT_EQ(copy[8].StringSize(), 30);
  EXPECT_FALSE(copy.ShouldWriteData(&source));
}

TEST(VariablesData, the_written_bytes_follow_the_stored_layout) {
  TVariables vars;
  vars.DeclareVariable("ab", 5);
  vars.SetVariable(0, "xy");
  TMemoryStream stream;
  vars.WriteData(stream);
  StreamBuilder expected;
  expected.i32(3).i32(1).text(":AB").i32(5).text(std::string("xy\0", 3)).i32(0);
  EXPECT_EQ(stream.AsString(), expected.stream.AsString());
}

TEST(VariablesData, version_one_carries_names_and_types_and_version_four_is_refused) {
  StreamBuilder v1;
  v1.i32(1).i32(2).text(":A").i32(3).text(":B").i32(12);
  TVariables vars;
  vars.ReadData(v1.rewound());
  ASSERT_EQ(vars.Count(), 2);
  EXPECT_EQ(vars.VariableType(1), 12);
  EXPECT_TRUE(vars[0].IsNull(0));

  StreamBuilder v4;
  v4.i32(4).i32(0);
  try {
    vars.ReadData(v4.rewound());
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "Invalid version of Query variables");
  }
  EXPECT_EQ(vars.Count(), 2);
}

TEST(VariablesData, damaged_streams_fail_without_overrunning_or_losing_the_store) {
  TVariables vars;
  vars.DeclareVariable("keep", 3);
  StreamBuilder truncated;
  truncated.i32(3).i32(2).text(":A").i32(3).i32(4);
  EXPECT_THROW(vars.ReadData(truncated.rewound()), Exception);
  ASSERT_EQ(vars.Count(), 1);
  EXPECT_EQ(vars.VariableName(0), ":KEEP");

  StreamBuilder huge_name;
  huge_name.i32(3).i32(1).i32(0x7fffffff);
  EXPECT_THROW(vars.ReadData(huge_name.rewound()), Exception);

  // An integer stored with 12 bytes: 4 are taken, the rest skipped.
  StreamBuilder oversized;
  oversized.i32(2).i32(2).text(":A").i32(3).text(std::string("\x05\0\0\0zzzzzzzz", 12)).text(":B").i32(3).i32(0);
  vars.ReadData(oversized.rewound());
  ASSERT_EQ(vars.Count(), 2);
  EXPECT_EQ(vars.GetVariable(":A").AsInteger(), 5);

  StreamBuilder unterminated;
  unterminated.i32(2).i32(1).text(":S").i32(5).text("abc");
  vars.ReadData(unterminated.rewound());
  EXPECT_EQ(vars.GetVariable(":S").AsString(), "abc");

  StreamBuilder enormous_table;
  enormous_table.i32(3).i32(1).text(":T").i32(5).i32(0).i32(1).i32(0x7fffffff).i32(4000);
  EXPECT_THROW(vars.ReadData(enormous_table.rewound()), Exception);
  EXPECT_EQ(vars.VariableName(0), ":S");
}

TEST(VariablesData, a_repeated_name_replaces_the_earlier_variable_and_takes_its_own_value) {
  StreamBuilder repeated;
  repeated.i32(2).i32(3).text(":A").i32(5).text(std::string("one\0", 4)).text(":B").i32(3).i32(0);
  repeated.text(":a").i32(5).text(std::string("two\0", 4));
  TVariables vars;
  vars.ReadData(repeated.rewound());
  ASSERT_EQ(vars.Count(), 2);
  EXPECT_EQ(vars.GetVariable(":A").AsString(), "two");
  EXPECT_TRUE(vars[1].IsNull(0));
}

TEST(VariablesData, the_property_is_written_only_when_it_differs_from_the_ancestor) {
  TVariables empty;
  EXPECT_FALSE(empty.ShouldWriteData(nullptr));
  TVariables mine, ancestor;
  mine.DeclareVariable("a", 5);
  ancestor.DeclareVariable("a", 5);
  EXPECT_TRUE(mine.ShouldWriteData(nullptr));
  EXPECT_FALSE(mine.ShouldWriteData(&ancestor));
  mine.SetVariable("a", "x");
  EXPECT_TRUE(mine.ShouldWriteData(&ancestor));
  ancestor.SetVariable("a", "x");
  EXPECT_FALSE(mine.ShouldWriteData(&ancestor));
  mine.DeclarePLSQLTable("a", 2, 10);
  ancestor.DeclarePLSQLTable("a", 2, 11);
  EXPECT_TRUE(mine.ShouldWriteData(&ancestor));
  EXPECT_TRUE(empty.ShouldWriteData(&ancestor));
}

}  // namespace
}  // namespace kvell
