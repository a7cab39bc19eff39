// LOB locators bound into blocks, and DBMS_LOB over persistent and temporary
// LOBs: reading, writing through the caller's locator, the row-lock rule and
// the package's argument errors.
#include <string>
#include <vector>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class LobBlockTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE docs (id NUMBER PRIMARY KEY, body CLOB, data BLOB)");
    must_run("INSERT INTO docs VALUES (1, 'Grüße aus Köln', HEXTORAW('00FF10'))");
    must_run("COMMIT");
  }
  void TearDown() override {
    for (OCIStmt* stmt : statements_) OCIHandleFree(stmt, OCI_HTYPE_STMT);
    for (OCILobLocator* locator : locators_) OCIDescriptorFree(locator, OCI_DTYPE_LOB);
    OciTest::TearDown();
  }

  OCILobLocator* new_locator() {
    void* locator = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, &locator, OCI_DTYPE_LOB, 0, nullptr));
    locators_.push_back(static_cast<OCILobLocator*>(locator));
    return static_cast<OCILobLocator*>(locator);
  }

  OCILobLocator* temporary(const std::string& content, ub1 type = OCI_TEMP_CLOB) {
    OCILobLocator* locator = new_locator();
    EXPECT_EQ(OCI_SUCCESS, OCILobCreateTemporary(svc, err, locator, 0, SQLCS_IMPLICIT, type, 0, OCI_DURATION_SESSION));
    if (!content.empty()) {
      ub4 amount = static_cast<ub4>(content.size());
      EXPECT_EQ(OCI_SUCCESS, OCILobWrite(svc, err, locator, &amount, 1, const_cast<char*>(content.data()), amount,
                                         OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT))
          << last_error();
    }
    return locator;
  }

  // The first row's LOB column in a fresh locator; the statement stays open.
  OCILobLocator* select_locator(const std::string& sql, ub2 dty = SQLT_CLOB) {
    OCILobLocator* locator = new_locator();
    OCIStmt* stmt = prepare(sql);
    statements_.push_back(stmt);
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, &locators_.back(), sizeof locator, dty, nullptr,
                                          nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    return locator;
  }

  std::string read_all(OCILobLocator* locator) {
    ub4 length = 0;
    EXPECT_EQ(OCI_SUCCESS, OCILobGetLength(svc, err, locator, &length)) << last_error();
    if (length == 0) return "";
    std::string buffer(size_t{length} * 4, '\0');
    ub4 amount = length;
    EXPECT_EQ(OCI_SUCCESS, OCILobRead(svc, err, locator, &amount, 1, buffer.data(), static_cast<ub4>(buffer.size()),
                                      nullptr, nullptr, 0, SQLCS_IMPLICIT))
        << last_error();
    ub4 bytes = 0;
    while (bytes < buffer.size() && buffer[bytes] != '\0') ++bytes;
    return buffer.substr(0, bytes);
  }

  bool is_temporary(OCILobLocator* locator) {
    boolean flag = 0;
    EXPECT_EQ(OCI_SUCCESS, OCILobIsTemporary(env, err, locator, &flag));
    return flag != 0;
  }

  struct LobBind {
    std::string name;
    OCILobLocator* locator;
    ub2 dty = SQLT_CLOB;
    sb2 indicator = 0;
  };

  // Runs a block with LOB locator binds and a text bind :r (in and out, "<null>" for NULL);
  // returns "" or the error text.
  std::string run_block(const std::string& block, std::vector<LobBind> lobs, std::string* r = nullptr) {
    OCIStmt* stmt = prepare(block);
    OCIBind* bind = nullptr;
    for (LobBind& lob : lobs) {
      EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(lob.name), len(lob.name), &lob.locator,
                                           sizeof lob.locator, lob.dty, &lob.indicator, nullptr, nullptr, 0, nullptr,
                                           OCI_DEFAULT));
    }
    char value[4001] = {0};
    sb2 indicator = -1;
    if (r) {
      EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":r"), 2, value, sizeof value, SQLT_STR, &indicator,
                                           nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    }
    sword rc = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    if (rc != OCI_SUCCESS) return last_error();
    if (r) *r = indicator == -1 ? "<null>" : value;
    return "";
  }

  // The text a block leaves in :r, or its error.
  std::string result(const std::string& block, std::vector<LobBind> lobs = {}) {
    std::string out;
    std::string failure = run_block(block, std::move(lobs), &out);
    return failure.empty() ? out : failure;
  }

  std::vector<OCIStmt*> statements_;
  std::vector<OCILobLocator*> locators_;
};

TEST_F(LobBlockTest, an_in_locator_is_the_lobs_value_in_the_block) {
  OCILobLocator* persistent = select_locator("SELECT body FROM docs WHERE id = 1");
  OCILobLocator* temp = temporary("temporär");
  auto block = [](int id) {
    return "declare l clob := :c; v varchar2(100); "
           "begin v := :c; :r := dbms_lob.getlength(:c) || '|' || v || '|' || substr(l, 1, 4); "
           "insert into docs (id, body) values (" + std::to_string(id) + ", :c); end;";
  };
  EXPECT_EQ("14|Grüße aus Köln|Grüß", result(block(2), {{":c", persistent}}));
  EXPECT_EQ("8|temporär|temp", result(block(3), {{":c", temp}}));
  // The rows hold the LOBs' text, not the locators.
  EXPECT_EQ("Grüße aus Köln", single_text("SELECT body FROM docs WHERE id = 2"));
  EXPECT_EQ("temporär", single_text("SELECT body FROM docs WHERE id = 3"));
  OCILobLocator* blob = select_locator("SELECT data FROM docs WHERE id = 1", SQLT_BLOB);
  EXPECT_EQ("3|00FF10", result("begin :r := dbms_lob.getlength(:b) || '|' || rawtohex(:b); end;",
                               {{":b", blob, SQLT_BLOB}}));
}

TEST_F(LobBlockTest, an_out_locator_names_the_lob_the_block_assigns) {
  OCILobLocator* made = new_locator();
  EXPECT_EQ("", run_block("begin dbms_lob.createtemporary(:c, true, dbms_lob.session); "
                          "dbms_lob.writeappend(:c, 5, 'hello'); dbms_lob.append(:c, ' world'); end;",
                          {{":c", made}}));
  EXPECT_EQ("hello world", read_all(made));
  EXPECT_TRUE(is_temporary(made));

  // A string assigned to a locator becomes a temporary LOB; a local LOB passes itself.
  OCILobLocator* from_text = new_locator();
  EXPECT_EQ("", run_block("begin :c := 'plain ' || 'text'; end;", {{":c", from_text}}));
  EXPECT_EQ("plain text", read_all(from_text));
  OCILobLocator* from_local = new_locator();
  EXPECT_EQ("", run_block("declare l clob; begin dbms_lob.createtemporary(l, false); "
                          "dbms_lob.write(l, 3, 1, 'abc'); :c := l; end;",
                          {{":c", from_local}}));
  EXPECT_EQ("abc", read_all(from_local));

  // A persistent locator passed through an IN OUT bind still names its row.
  OCILobLocator* row = select_locator("SELECT body FROM docs WHERE id = 1 FOR UPDATE");
  EXPECT_EQ("", run_block("declare l clob := :c; begin :c := l; end;", {{":c", row}}));
  EXPECT_FALSE(is_temporary(row));
  EXPECT_EQ("Grüße aus Köln", read_all(row));
}

TEST_F(LobBlockTest, a_lob_selected_into_an_out_locator_names_its_row) {
  OCILobLocator* body = new_locator();
  OCILobLocator* data = new_locator();
  EXPECT_EQ("", run_block("begin select body, data into :c, :b from docs where id = 1; end;",
                          {{":c", body}, {":b", data, SQLT_BLOB}}));
  EXPECT_EQ("Grüße aus Köln", read_all(body));
  EXPECT_FALSE(is_temporary(body));
  ub4 length = 0;
  EXPECT_EQ(OCI_SUCCESS, OCILobGetLength(svc, err, data, &length)) << last_error();
  EXPECT_EQ(3u, length);
  EXPECT_FALSE(is_temporary(data));

  // Unlocked, the row refuses a write; selected FOR UPDATE, the write reaches the row.
  std::string tail = "!";
  ub4 amount = 1;
  EXPECT_EQ(OCI_ERROR, OCILobWrite(svc, err, body, &amount, 15, tail.data(), 1, OCI_ONE_PIECE, nullptr, nullptr, 0,
                                   SQLCS_IMPLICIT));
  EXPECT_NE(std::string::npos, last_error().find("ORA-22920"));
  OCILobLocator* locked = new_locator();
  EXPECT_EQ("", run_block("begin select body into :c from docs where id = 1 for update; end;", {{":c", locked}}));
  amount = 1;
  EXPECT_EQ(OCI_SUCCESS, OCILobWrite(svc, err, locked, &amount, 15, tail.data(), 1, OCI_ONE_PIECE, nullptr, nullptr, 0,
                                     SQLCS_IMPLICIT))
      << last_error();
  EXPECT_EQ("Grüße aus Köln!", single_text("SELECT body FROM docs WHERE id = 1"));

  // A NULL column leaves the locator null; an empty LOB is a locator of length 0.
  must_run("INSERT INTO docs (id, body) VALUES (2, EMPTY_CLOB())");
  OCILobLocator* empty = new_locator();
  OCILobLocator* none = new_locator();
  LobBind empty_bind{":c", empty}, null_bind{":b", none, SQLT_BLOB, 0};
  OCIStmt* stmt = prepare("begin select body, data into :c, :b from docs where id = 2; end;");
  OCIBind* bind = nullptr;
  EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":c"), 2, &empty_bind.locator, sizeof(void*), SQLT_CLOB,
                                       &empty_bind.indicator, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":b"), 2, &null_bind.locator, sizeof(void*), SQLT_BLOB,
                                       &null_bind.indicator, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(0, empty_bind.indicator);
  EXPECT_EQ(-1, null_bind.indicator);
  EXPECT_EQ("", read_all(empty));
  EXPECT_FALSE(is_temporary(empty));
}

TEST_F(LobBlockTest, a_procedures_out_lob_parameter_reaches_the_callers_locator) {
  must_run("CREATE OR REPLACE PROCEDURE doc_of(p_id NUMBER, p_body OUT CLOB, p_data OUT BLOB) IS "
           "BEGIN SELECT body, data INTO p_body, p_data FROM docs WHERE id = p_id; END;");
  must_run("CREATE OR REPLACE PROCEDURE greeting(p_text IN OUT CLOB) IS "
           "BEGIN p_text := p_text || ', hallo'; END;");
  OCILobLocator* body = new_locator();
  OCILobLocator* data = new_locator();
  EXPECT_EQ("", run_block("begin doc_of(1, :c, :b); end;", {{":c", body}, {":b", data, SQLT_BLOB}}));
  EXPECT_EQ("Grüße aus Köln", read_all(body));
  EXPECT_FALSE(is_temporary(body));
  ub4 length = 0;
  EXPECT_EQ(OCI_SUCCESS, OCILobGetLength(svc, err, data, &length)) << last_error();
  EXPECT_EQ(3u, length);
  // Through a local variable too, and an IN OUT value computed from the caller's LOB.
  OCILobLocator* local = new_locator();
  EXPECT_EQ("", run_block("declare l clob; b blob; begin doc_of(1, l, b); :c := l; end;", {{":c", local}}));
  EXPECT_EQ("Grüße aus Köln", read_all(local));
  OCILobLocator* changed = temporary("Servus");
  EXPECT_EQ("", run_block("begin greeting(:c); end;", {{":c", changed}}));
  EXPECT_EQ("Servus, hallo", read_all(changed));
}

TEST_F(LobBlockTest, the_xml_block_replaces_a_bound_temporary_clobs_text) {
  OCILobLocator* xml = temporary("<old>stale content that is longer</old>");
  EXPECT_EQ("", run_block("declare xmldata clob := '<doc><a>1</a></doc>'; begin "
                          "sys.dbms_lob.trim(:xmldata, 0); sys.dbms_lob.append(:xmldata, xmldata); end;",
                          {{":xmldata", xml}}));
  EXPECT_EQ("<doc><a>1</a></doc>", read_all(xml));
  EXPECT_TRUE(is_temporary(xml));
}

TEST_F(LobBlockTest, writes_to_a_persistent_lob_need_the_row_locked_and_follow_the_transaction) {
  OCILobLocator* unlocked = select_locator("SELECT body FROM docs WHERE id = 1");
  EXPECT_NE(std::string::npos, run_block("begin dbms_lob.writeappend(:c, 1, '!'); end;", {{":c", unlocked}})
                                   .find("ORA-22920"));
  OCILobLocator* locked = select_locator("SELECT body FROM docs WHERE id = 1 FOR UPDATE");
  EXPECT_EQ("Köln!", result("begin dbms_lob.write(:c, 3, 7, 'AUS'); dbms_lob.writeappend(:c, 1, '!'); "
                            "select dbms_lob.substr(body, 5, 11) into :r from docs where id = 1; end;",
                            {{":c", locked}}));
  // The block's own SQL and the caller both see the change, and a rollback undoes it.
  EXPECT_EQ("Grüße AUS Köln!", read_all(locked));
  EXPECT_EQ("Grüße AUS Köln!", single_text("SELECT body FROM docs WHERE id = 1"));
  must_run("ROLLBACK");
  EXPECT_EQ("Grüße aus Köln", single_text("SELECT body FROM docs WHERE id = 1"));

  OCILobLocator* relocked = select_locator("SELECT body FROM docs WHERE id = 1 FOR UPDATE");
  EXPECT_EQ("3", result("declare n integer := 3; begin dbms_lob.erase(:c, n, 2); :r := n; "
                        "dbms_lob.trim(:c, 10); end;",
                        {{":c", relocked}}));
  must_run("COMMIT");
  EXPECT_EQ("G   e aus ", single_text("SELECT body FROM docs WHERE id = 1"));
}

TEST_F(LobBlockTest, the_package_reads_copies_and_frees) {
  EXPECT_EQ("9|2|ße|14|0|1", result("declare l clob := 'Grüße Grüße'; v varchar2(20); n integer := 2; k integer; "
                                   "begin dbms_lob.read(l, n, 4, v); "
                                   "select dbms_lob.getlength(body) into k from docs where id = 1; "
                                   ":r := dbms_lob.instr(l, 'ü', 1, 2) || '|' || n || '|' || v || '|' || k || "
                                   "'|' || dbms_lob.instr(l, 'x') || '|' || dbms_lob.istemporary(l); end;"));
  OCILobLocator* row = select_locator("SELECT body FROM docs WHERE id = 1");
  OCILobLocator* target = temporary("0123456789");
  EXPECT_EQ("0|1", result("begin dbms_lob.copy(:t, :s, 5, 3, 7); "
                          ":r := dbms_lob.istemporary(:s) || '|' || dbms_lob.istemporary(:t); end;",
                          {{":t", target}, {":s", row}}));
  EXPECT_EQ("01aus K789", read_all(target));
  // Copying past the end pads with blanks; a freed temporary leaves the locator NULL.
  EXPECT_EQ("1|<null>", result("declare l clob; begin dbms_lob.createtemporary(l, true); :r := dbms_lob.istemporary(l); "
                               "dbms_lob.freetemporary(l); :r := :r || '|' || nvl(to_char(dbms_lob.istemporary(l)), '<null>'); "
                               "end;"));
  EXPECT_EQ("[   Grü]", result("declare l clob; begin dbms_lob.createtemporary(l, true); "
                                "dbms_lob.copy(l, :s, 3, 4, 1); :r := '[' || l || ']'; end;",
                                {{":s", row}}));
  EXPECT_EQ("3|FF10", result("declare b blob; r raw(10); n integer := 5; begin dbms_lob.createtemporary(b, true); "
                             "dbms_lob.writeappend(b, 3, hextoraw('00FF10')); dbms_lob.read(b, n, 2, r); "
                             ":r := dbms_lob.getlength(b) || '|' || rawtohex(r); end;"));
}

TEST_F(LobBlockTest, bad_amounts_offsets_and_locators_raise_the_packages_errors) {
  OCILobLocator* temp = temporary("abc");
  auto error = [&](const std::string& call) { return run_block("begin " + call + "; end;", {{":c", temp}}); };
  EXPECT_NE(std::string::npos, error("dbms_lob.write(:c, 0, 1, 'x')").find("ORA-21560: argument 2 is null, invalid"));
  EXPECT_NE(std::string::npos, error("dbms_lob.write(:c, 5, 1, 'xy')").find("ORA-21560: argument 2"));
  EXPECT_NE(std::string::npos, error("dbms_lob.write(:c, 1, 0, 'x')").find("ORA-21560: argument 3"));
  EXPECT_NE(std::string::npos, error("dbms_lob.write(:c, 1, null, 'x')").find("ORA-21560: argument 3"));
  EXPECT_NE(std::string::npos, error("dbms_lob.trim(:c, 4)").find("ORA-22926"));
  EXPECT_NE(std::string::npos, error("dbms_lob.trim(:c, -1)").find("ORA-21560: argument 2"));
  EXPECT_NE(std::string::npos, error("declare n integer := 40000; v varchar2(10); begin dbms_lob.read(:c, n, 1, v); end")
                                   .find("ORA-21560: argument 2"));
  EXPECT_NE(std::string::npos, error("declare n integer := 1; v varchar2(10); begin dbms_lob.read(:c, n, 9, v); end")
                                   .find("ORA-01403"));
  EXPECT_NE(std::string::npos, error("declare n integer := 3; v varchar2(2); begin dbms_lob.read(:c, n, 1, v); end")
                                   .find("ORA-06502"));
  EXPECT_NE(std::string::npos, error("declare l clob; begin dbms_lob.append(l, :c); end")
                                   .find("ORA-06502: PL/SQL: numeric or value error: invalid LOB locator specified"));
  // A write far beyond what a row can hold is refused instead of padding gigabytes.
  EXPECT_NE(std::string::npos, error("dbms_lob.write(:c, 1, 4000000000, 'x')").find("ORA-22925"));
  EXPECT_NE(std::string::npos, error("dbms_lob.nosuch(:c)").find("PLS-00201"));
  EXPECT_NE(std::string::npos, error("dbms_lob.trim(:c)").find("PLS-00306"));
  EXPECT_NE(std::string::npos, run_block("begin dbms_lob.trim('abc', 1); end;", {}).find("PLS-00363"));
  EXPECT_EQ("abc", read_all(temp));
}

TEST_F(LobBlockTest, the_reading_functions_answer_null_out_of_range_in_plain_sql) {
  EXPECT_EQ("<null>|<null>|<null>|14", single_text(
      "SELECT NVL(TO_CHAR(DBMS_LOB.SUBSTR(body, 0, 1)), '<null>') || '|' || "
      "NVL(TO_CHAR(DBMS_LOB.SUBSTR(body, 5, 15)), '<null>') || '|' || "
      "NVL(TO_CHAR(SYS.DBMS_LOB.INSTR(body, 'a', 0)), '<null>') || '|' || DBMS_LOB.GETLENGTH(body) "
      "FROM docs WHERE id = 1"));
  EXPECT_EQ("Köln|11", single_text("SELECT DBMS_LOB.SUBSTR(body, 10, 11) || '|' || DBMS_LOB.INSTR(body, 'K') "
                                   "FROM docs WHERE id = 1"));
}

TEST_F(LobBlockTest, a_lob_returned_into_a_block_variable_names_the_new_row) {
  EXPECT_EQ("", run_block("declare c clob; b blob; begin for i in 2..3 loop "
                          "insert into docs (id, body, data) values (i, empty_clob(), empty_blob()) "
                          "returning body, data into c, b; dbms_lob.write(c, 4, 1, 'row' || i); "
                          "dbms_lob.writeappend(b, 1, hextoraw('0' || i)); end loop; end;", {}));
  EXPECT_EQ("row2|02", single_text("SELECT TO_CHAR(body) || '|' || RAWTOHEX(data) FROM docs WHERE id = 2"));
  EXPECT_EQ("row3|03", single_text("SELECT TO_CHAR(body) || '|' || RAWTOHEX(data) FROM docs WHERE id = 3"));
}

TEST_F(LobBlockTest, compare_orders_the_ranges_and_answers_null_for_bad_arguments) {
  must_run("INSERT INTO docs VALUES (2, 'Grüße aus Bonn', HEXTORAW('00FF10'))");
  EXPECT_EQ("0|1|0|0|-1|<null>|<null>", single_text(
      "SELECT DBMS_LOB.COMPARE(a.data, b.data) || '|' || DBMS_LOB.COMPARE(a.body, b.body) || '|' || "
      "DBMS_LOB.COMPARE(a.body, b.body, 10) || '|' || DBMS_LOB.COMPARE(a.body, b.body, 3, 3, 3) || '|' || "
      "DBMS_LOB.COMPARE(a.body, a.body, 5, 1, 2) || '|' || NVL(TO_CHAR(DBMS_LOB.COMPARE(a.body, b.body, 0)), '<null>') "
      "|| '|' || NVL(TO_CHAR(DBMS_LOB.COMPARE(a.body, NULL)), '<null>') FROM docs a, docs b WHERE a.id = 1 AND b.id = 2"));
  // A block compares its own LOB variables the same way.
  must_run("CREATE OR REPLACE PROCEDURE same_body (r OUT NUMBER) IS l1 CLOB; l2 CLOB; BEGIN "
           "SELECT body INTO l1 FROM docs WHERE id = 1; SELECT body INTO l2 FROM docs WHERE id = 2; "
           "r := DBMS_LOB.COMPARE(l1, l2, 10); END same_body;");
  EXPECT_EQ("", run_block("declare r number; begin same_body(r); if r <> 0 then raise_application_error(-20001, r); "
                          "end if; end;", {}));
}

}  // namespace
}  // namespace ociemu::testing
