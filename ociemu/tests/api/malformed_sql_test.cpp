// Malformed statement texts, made by cutting, dropping, doubling and inserting tokens of valid
// ones: each must fail with an ordinary ORA- error. ORA-00600 is reserved for the emulator's own
// faults, since a client takes it for a lost connection.
#include <sstream>
#include <string>
#include <vector>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

// Valid statements, tokens separated by single blanks so that they can be cut apart.
const char* const kValidStatements[] = {
    "SELECT a , b FROM j WHERE a = 1 AND b LIKE 'x%' ORDER BY a DESC",
    "SELECT JSON_OBJECT ( KEY 'a' IS a , 'b' VALUE b ABSENT ON NULL ) FROM j",
    "SELECT JSON_OBJECT ( 'a' : a , b NULL ON NULL RETURNING VARCHAR2 ( 200 ) ) FROM j",
    "SELECT CASE WHEN a > 1 THEN 'big' ELSE 'small' END , NVL ( b , '-' ) FROM j",
    "SELECT COUNT ( * ) , MAX ( a ) FROM j GROUP BY b HAVING COUNT ( * ) > 0",
    "SELECT a FROM j UNION ALL SELECT a + 1 FROM j MINUS SELECT 3 FROM dual",
    "SELECT ( SELECT MAX ( a ) FROM j ) , 'x' || b FROM j WHERE a IN ( 1 , 2 )",
    "SELECT TO_CHAR ( SYSDATE , 'YYYY-MM-DD' ) , SUBSTR ( b , 1 , 2 ) FROM j",
    "INSERT INTO j ( a , b ) VALUES ( 5 , 'y' ) RETURNING a , b INTO :1 , :2",
    "UPDATE j SET b = 'z' , a = a * 2 WHERE a BETWEEN 1 AND 3",
    "DELETE FROM j WHERE b IS NOT NULL AND a <> 7",
};
const char* const kStrayTokens[] = {",", "(", ")", ":", "SELECT", "FROM", "'", "||", "*", "INTO", "VALUE"};

std::vector<std::string> split(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> tokens;
  for (std::string token; in >> token;) tokens.push_back(token);
  return tokens;
}

std::string join(const std::vector<std::string>& tokens) {
  std::string text;
  for (const std::string& token : tokens) text += (text.empty() ? "" : " ") + token;
  return text;
}

// Every statement one edit away from `valid`: cut after, drop, double and insert at each token.
std::vector<std::string> variants_of(const std::string& valid) {
  const std::vector<std::string> tokens = split(valid);
  std::vector<std::string> out;
  for (size_t k = 0; k < tokens.size(); ++k) {
    out.push_back(join({tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(k)}));
    auto dropped = tokens;
    dropped.erase(dropped.begin() + static_cast<std::ptrdiff_t>(k));
    out.push_back(join(dropped));
    auto doubled = tokens;
    doubled.insert(doubled.begin() + static_cast<std::ptrdiff_t>(k), tokens[k]);
    out.push_back(join(doubled));
    auto inserted = tokens;
    inserted.insert(inserted.begin() + static_cast<std::ptrdiff_t>(k), kStrayTokens[k % std::size(kStrayTokens)]);
    out.push_back(join(inserted));
  }
  return out;
}

class MalformedSqlTest : public OciTest {
 protected:
  // Prepares and runs `sql`; the error code of whichever call failed, 0 when neither did.
  int failure_of(const std::string& sql) {
    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    sword rc = OCIStmtPrepare(stmt, err, text(sql), len(sql), OCI_NTV_SYNTAX, OCI_DEFAULT);
    if (rc == OCI_SUCCESS) {
      ub2 type = 0;
      OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
      rc = OCIStmtExecute(svc, stmt, err, type == OCI_STMT_SELECT ? 0 : 1, 0, nullptr, nullptr, OCI_DEFAULT);
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rc == OCI_ERROR ? last_code() : 0;
  }
};

TEST_F(MalformedSqlTest, no_statement_text_fails_as_an_internal_error) {
  must_run("CREATE TABLE j (a NUMBER, b VARCHAR2(10))");
  must_run("INSERT INTO j VALUES (1, 'x')");
  must_run("INSERT INTO j VALUES (2, NULL)");
  for (const char* valid : kValidStatements) {
    for (const std::string& sql : variants_of(valid)) {
      EXPECT_NE(600, failure_of(sql)) << sql << ": " << last_error();
    }
  }
}

TEST_F(MalformedSqlTest, json_object_takes_each_member_form_and_null_clause) {
  must_run("CREATE TABLE j (a NUMBER, b VARCHAR2(10))");
  must_run("INSERT INTO j VALUES (1, 'x')");
  must_run("INSERT INTO j VALUES (2, NULL)");
  EXPECT_EQ((std::vector<std::string>{"{\"a\":1,\"b\":\"x\"}", "{\"a\":2,\"b\":null}"}),
            column_texts("SELECT JSON_OBJECT(KEY 'a' IS a, 'b' VALUE b) FROM j ORDER BY a"));
  EXPECT_EQ((std::vector<std::string>{"{\"a\":1,\"B\":\"x\"}", "{\"a\":2}"}),
            column_texts("SELECT JSON_OBJECT('a' : a, b ABSENT ON NULL) FROM j ORDER BY a"));
  EXPECT_EQ("{\"o\":{\"k\":1}}", single_text("SELECT JSON_OBJECT('o' VALUE '{\"k\":1}' FORMAT JSON) FROM dual"));
  // A column that a check constraint declares JSON is embedded as JSON, other text as a string.
  must_run("CREATE TABLE docs (id NUMBER, doc VARCHAR2(100) CONSTRAINT doc_json CHECK (doc IS JSON), note VARCHAR2(100))");
  must_run("INSERT INTO docs VALUES (1, '{\"k\":[1,2]}', '{\"k\":3}')");
  EXPECT_EQ("{\"d\":{\"k\":[1,2]},\"n\":\"{\\\"k\\\":3}\"}",
            single_text("SELECT JSON_OBJECT('d' IS x.doc, 'n' VALUE note) FROM docs x"));
  EXPECT_EQ("{\"DOC\":{\"k\":[1,2]}}", single_text("SELECT JSON_OBJECT(doc) FROM docs"));
  for (const char* wrong : {"'a' VALUE", "'a' VALUE a,", "VALUE a", "'a' VALUE a b"}) {
    EXPECT_EQ(OCI_ERROR, run(std::string("SELECT JSON_OBJECT(") + wrong + ") FROM j")) << wrong;
    const int code = last_code();
    EXPECT_TRUE(code == 936 || code == 907) << wrong << ": " << last_error();
  }
}

}  // namespace
}  // namespace ociemu::testing
