// Stored program units as the dictionary shows them: the catalogue rows the
// PL/SQL compiler writes, read back through USER_SOURCE and USER_OBJECTS.
#include <gtest/gtest.h>

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/dictionary.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/tests/sql/database_fixture.h"

namespace ociemu::sql {
namespace {

using testing::Database;
using testing::Row;

void store(Database& database, std::string_view name, std::string_view type, std::string_view text) {
  sql::execute(database.db, register_object_sql("SCOTT", name, type));
  for (const std::string& statement : store_source_sql("SCOTT", name, type, text)) sql::execute(database.db, statement);
}

TEST(Dictionary, source_is_read_back_line_by_line_and_replaced_whole) {
  Database database;
  store(database, "RAISE_SAL", "PROCEDURE", "procedure raise_sal is\nbegin\n  null;\nend;");
  EXPECT_EQ(database.query("select line, text from user_source where name = 'RAISE_SAL' order by line"),
            (std::vector<Row>{{"1", "procedure raise_sal is\n"}, {"2", "begin\n"}, {"3", "  null;\n"}, {"4", "end;"}}));
  for (const std::string& statement : store_source_sql("SCOTT", "RAISE_SAL", "PROCEDURE", "procedure raise_sal is begin null; end;"))
    sql::execute(database.db, statement);
  EXPECT_EQ(database.value("select count(*) from sys.user_source where name = 'RAISE_SAL'"), "1");
}

TEST(Dictionary, a_unit_with_compile_errors_is_invalid) {
  Database database;
  store(database, "GOOD", "FUNCTION", "function good return number is begin return 1; end;");
  store(database, "BAD", "PROCEDURE", "procedure bad is begin x; end;");
  sql::execute(database.db, "INSERT INTO \"OCIEMU$ERRORS\" VALUES ('SCOTT', 'BAD', 'PROCEDURE', 1, 1, 24, "
                            "'PLS-00201: identifier ''X'' must be declared')");
  EXPECT_EQ(database.query("select object_name, object_type, status from user_objects where object_type in "
                           "('PROCEDURE', 'FUNCTION') order by object_name"),
            (std::vector<Row>{{"BAD", "PROCEDURE", "INVALID"}, {"GOOD", "FUNCTION", "VALID"}}));
  EXPECT_EQ(database.value("select text from user_errors where name = 'BAD'"),
            "PLS-00201: identifier 'X' must be declared");
}

}  // namespace
}  // namespace ociemu::sql
