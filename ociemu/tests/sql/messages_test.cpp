// The message table: every text ociemu raises, substitution, and its edges.
#include <gtest/gtest.h>

#include "ociemu/sql/messages.h"

namespace ociemu::sql {
namespace {

TEST(Messages, fill_each_marker_in_order) {
  EXPECT_EQ(message_text(2290, {"SCOTT", "CK_SAL"}), "check constraint (SCOTT.CK_SAL) violated");
  EXPECT_EQ(message_text(2291, {"SCOTT", "FK_DEPTNO"}),
            "integrity constraint (SCOTT.FK_DEPTNO) violated - parent key not found");
  EXPECT_EQ(message_text(2292, {"SCOTT", "FK_DEPTNO"}),
            "integrity constraint (SCOTT.FK_DEPTNO) violated - child record found");
  EXPECT_EQ(message_text(6512, {"\"SCOTT.PROC\", ", "5"}), "at \"SCOTT.PROC\", line 5");
  EXPECT_EQ(message_text(6512, {"", "1"}), "at line 1");
  EXPECT_EQ(message_text(6550, {"1", "7", "PLS-00201: identifier 'X' must be declared"}),
            "line 1, column 7:\nPLS-00201: identifier 'X' must be declared");
  EXPECT_EQ(message_text(28002, {"7"}), "the password will expire within 7 days");
}

TEST(Messages, missing_arguments_leave_the_markers_empty_and_extra_ones_are_ignored) {
  EXPECT_EQ(message_text(2290), "check constraint (.) violated");
  EXPECT_EQ(message_text(1403, {"unused"}), "no data found");
  // A value that itself holds a marker is not expanded again.
  EXPECT_EQ(message_text(904, {"\"%s\""}), "\"%s\": invalid identifier");
}

TEST(Messages, application_errors_carry_the_callers_text_across_the_whole_range) {
  EXPECT_EQ(message_text(20000, {"Salary too high"}), "Salary too high");
  EXPECT_EQ(message_text(20999, {"last"}), "last");
  EXPECT_FALSE(message_template(19999).has_value());
  EXPECT_NE(message_text(21000, {"-1"}), "-1");  // the range ends at 20999
}

TEST(Messages, unknown_codes_say_so_and_known_ones_never_do) {
  EXPECT_EQ(message_text(31337), "Message 31337 not found");
  for (int code : {1, 54, 904, 942, 1017, 1031, 1400, 1403, 1722, 2290, 2291, 2292, 3113, 6502, 6512, 6550, 12899,
                   24374, 28002, 30021})
    EXPECT_TRUE(message_template(code).has_value()) << code;
  EXPECT_EQ(full_message(942, message_text(942)), "ORA-00942: table or view does not exist");
}

}  // namespace
}  // namespace ociemu::sql
