// Variables of SQL object types: constructors, attribute reads and assignments
// (nested ones too), and values passing through a variable to a table whole.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class ObjectVariableTest : public PlsqlTest {
 protected:
  void SetUp() override {
    PlsqlTest::SetUp();
    must_run("CREATE TYPE place_t AS OBJECT (city VARCHAR2(20), zip NUMBER(5))");
    must_run("CREATE TYPE person_t AS OBJECT (name VARCHAR2(20), born DATE, tag RAW(4), home place_t)");
    must_run("CREATE TABLE people (id NUMBER, p person_t)");
  }
};

TEST_F(ObjectVariableTest, attributes_are_read_and_assigned_nested_ones_included) {
  EXPECT_EQ("Oslo|150", result_text("declare v place_t := place_t('Oslo', 149); "
                                    "begin v.zip := v.zip + 1; :r := v.city || '|' || v.zip; end;"));
  EXPECT_EQ("Bergen|5003|ABCD", result_text(
      "declare v person_t := person_t('Ann', date '2001-02-03', hextoraw('ABCD'), place_t('Oslo', 1)); "
      "begin v.home.city := 'Bergen'; v.home.zip := 5003; "
      ":r := v.home.city || '|' || v.home.zip || '|' || rawtohex(v.tag); end;"));
  // A whole embedded object is assigned and read as one.
  EXPECT_EQ("Tromso", result_text("declare v person_t := person_t('Ann', null, null, null); w place_t; "
                                  "begin v.home := place_t('Tromso', 9000); w := v.home; :r := w.city; end;"));
  EXPECT_EQ("2001-02-03", result_text("declare v person_t := person_t('Ann', date '2001-02-03', null, null); "
                                      "begin :r := to_char(v.born, 'YYYY-MM-DD'); end;"));
  // Attributes keep their declared types.
  EXPECT_NE(std::string::npos, failure("declare v place_t := place_t('Oslo', 1); begin v.zip := 'x'; end;").find("ORA-06502"));
}

TEST_F(ObjectVariableTest, a_null_object_reads_null_attributes_and_refuses_assignment) {
  EXPECT_EQ("<null>", result_text("declare v place_t; begin :r := v.city; end;"));
  EXPECT_NE(std::string::npos, failure("declare v place_t; begin v.city := 'Oslo'; end;").find("ORA-06530"));
  EXPECT_NE(std::string::npos, failure("declare v person_t := person_t('Ann', null, null, null); "
                                       "begin v.home.city := 'Oslo'; end;").find("ORA-06530"));
  EXPECT_EQ("caught", result_text("declare v place_t; begin v.zip := 1; exception when access_into_null then :r := 'caught'; end;"));
}

TEST_F(ObjectVariableTest, unknown_attributes_fail_at_compile_time) {
  std::string error = failure("declare v place_t; begin v.street := 'x'; end;");
  EXPECT_NE(std::string::npos, error.find("PLS-00302: component 'STREET' must be declared")) << error;
  error = failure("declare v person_t; begin :r := v.home.street; end;");
  EXPECT_NE(std::string::npos, error.find("PLS-00302: component 'STREET' must be declared")) << error;
}

TEST_F(ObjectVariableTest, attributes_reach_sql_and_values_pass_through_whole) {
  must_run("INSERT INTO people VALUES (1, person_t('Ann', DATE '2001-02-03', HEXTORAW('0A0B'), place_t('Oslo', 150)))");
  EXPECT_EQ("", failure("declare v person_t; begin "
                        "select p into v from people where id = 1; "
                        "v.name := 'Bo'; "
                        "insert into people values (2, v); "
                        "update people set p = v where id = 1 and v.home.zip = 150; end;"));
  for (const char* id : {"1", "2"}) {
    EXPECT_EQ("Bo|2001-02-03|0A0B|Oslo|150",
              result_text(std::string("declare v person_t; begin select p into v from people where id = ") + id +
                          "; :r := v.name || '|' || to_char(v.born, 'YYYY-MM-DD') || '|' || rawtohex(v.tag) || '|' || "
                          "v.home.city || '|' || v.home.zip; end;"))
        << id;
  }
  // SELECT ... INTO an attribute.
  EXPECT_EQ("Oslo", result_text("declare v place_t := place_t(null, null); "
                                "begin select p.p.home.city into v.city from people p where id = 1; :r := v.city; end;"));
}

}  // namespace
}  // namespace ociemu::testing
