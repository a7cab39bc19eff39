// LISTAGG: values of a group joined in the order WITHIN GROUP asks for, as an aggregate and
// over partitions, with Oracle's limit of 4000 bytes and its ON OVERFLOW clause.
#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class ListaggTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE l (grp NUMBER, name VARCHAR2(10), rank NUMBER)");
    must_run("INSERT INTO l VALUES (1, 'b', 2)");
    must_run("INSERT INTO l VALUES (1, 'a', 12345678901234567890123456789)");
    must_run("INSERT INTO l VALUES (1, 'c', NULL)");
    must_run("INSERT INTO l VALUES (1, NULL, 1)");
    must_run("INSERT INTO l VALUES (1, 'b', 3)");
    must_run("INSERT INTO l VALUES (2, 'z', 1)");
  }
};

TEST_F(ListaggTest, joins_a_groups_values_in_key_order_skipping_nulls) {
  EXPECT_EQ((std::vector<std::string>{"b,b,a,c", "z"}),
            column_texts("SELECT LISTAGG(name, ',') WITHIN GROUP (ORDER BY rank) FROM l GROUP BY grp ORDER BY grp"));
  EXPECT_EQ("c; a; b; b", single_text("SELECT LISTAGG(name, '; ') WITHIN GROUP (ORDER BY rank DESC) FROM l WHERE grp = 1"));
  EXPECT_EQ("b|b|a|c", single_text("SELECT LISTAGG(name, '|') WITHIN GROUP (ORDER BY rank NULLS LAST) FROM l "
                                   "WHERE grp = 1"));
  EXPECT_EQ("cbba", single_text("SELECT LISTAGG(name) WITHIN GROUP (ORDER BY name DESC, rank) FROM l WHERE grp = 1"));
  EXPECT_EQ("a-b-c", single_text("SELECT LISTAGG(DISTINCT name, '-') WITHIN GROUP (ORDER BY name) FROM l WHERE grp = 1"));
  EXPECT_EQ("<null>", single_text("SELECT LISTAGG(name, ',') WITHIN GROUP (ORDER BY name) FROM l WHERE grp = 3"));
}

TEST_F(ListaggTest, over_a_partition_every_row_gets_its_partitions_list) {
  EXPECT_EQ((std::vector<std::string>{"1:a,b,b,c", "1:a,b,b,c", "1:a,b,b,c", "1:a,b,b,c", "1:a,b,b,c", "2:z"}),
            column_texts("SELECT grp || ':' || LISTAGG(name, ',') WITHIN GROUP (ORDER BY name) "
                         "OVER (PARTITION BY grp) FROM l ORDER BY grp"));
  // Any window function inside an expression keeps its window.
  EXPECT_EQ((std::vector<std::string>{"1:5", "2:1"}),
            column_texts("SELECT DISTINCT grp || ':' || COUNT(*) OVER (PARTITION BY grp) FROM l ORDER BY 1"));
}

TEST_F(ListaggTest, a_result_past_4000_bytes_fails_unless_truncated) {
  must_run("CREATE TABLE w (v VARCHAR2(1000))");
  for (char c = 'a'; c <= 'e'; ++c) must_run("INSERT INTO w VALUES (RPAD('" + std::string(1, c) + "', 1000, 'x'))");
  EXPECT_EQ(OCI_ERROR, run("SELECT LISTAGG(v, ',') WITHIN GROUP (ORDER BY v) FROM w"));
  EXPECT_EQ(1489, last_code());
  EXPECT_EQ(OCI_ERROR, run("SELECT LISTAGG(v, ',' ON OVERFLOW ERROR) WITHIN GROUP (ORDER BY v) FROM w"));
  EXPECT_EQ(1489, last_code());
  const std::string kept = single_text("SELECT LISTAGG(v, ',' ON OVERFLOW TRUNCATE) WITHIN GROUP (ORDER BY v) FROM w");
  EXPECT_EQ(3 * 1001 + 6, kept.size());
  EXPECT_EQ(",...(2)", kept.substr(kept.size() - 7));
  EXPECT_EQ(std::string(1, 'c'), kept.substr(2002, 1));
  const std::string quiet = single_text(
      "SELECT LISTAGG(v, ',' ON OVERFLOW TRUNCATE '~' WITHOUT COUNT) WITHIN GROUP (ORDER BY v DESC) FROM w");
  EXPECT_EQ(3 * 1001 + 1, quiet.size());
  EXPECT_EQ("e", quiet.substr(0, 1));
  EXPECT_EQ(",~", quiet.substr(quiet.size() - 2));
}

TEST_F(ListaggTest, malformed_calls_fail_with_parse_errors) {
  EXPECT_EQ(OCI_ERROR, run("SELECT LISTAGG(name, ',') WITHIN GROUP (name) FROM l"));
  EXPECT_EQ(905, last_code());
  EXPECT_EQ(OCI_ERROR, run("SELECT LISTAGG(name, ',' ON OVERFLOW MAYBE) WITHIN GROUP (ORDER BY name) FROM l"));
  EXPECT_EQ(905, last_code());
  EXPECT_EQ(OCI_ERROR, run("SELECT LISTAGG() WITHIN GROUP (ORDER BY name) FROM l"));
  EXPECT_EQ(936, last_code());
}

}  // namespace
}  // namespace ociemu::testing
