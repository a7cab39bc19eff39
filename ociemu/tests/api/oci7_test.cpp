// The version 7 interface end to end: logon, parse, bind, define, execute,
// array fetch, describe, LONG slices, transactions and mixing with OCI8.
#include <functional>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

class Oci7Test : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    std::memset(&lda, 0, sizeof lda);
    std::memset(hda, 0, sizeof hda);
    std::string uid = "scott/tiger@" + database;
    ASSERT_EQ(0, opinit(0));
    ASSERT_EQ(0, orlon(&lda, hda, reinterpret_cast<OraText*>(uid.data()), -1, nullptr, -1, 0)) << lda.rc;
    ASSERT_EQ(0, oopen(&cursor, &lda, nullptr, -1, -1, nullptr, -1));
  }
  void TearDown() override {
    oclose(&cursor);
    ologof(&lda);
    OciTest::TearDown();
  }
  sword parse(const std::string& sql) {
    return oparse(&cursor, reinterpret_cast<OraText*>(const_cast<char*>(sql.c_str())), -1, 0, 2);
  }

  Lda_Def lda;
  Cda_Def cursor{};
  ub1 hda[512];
};

TEST_F(Oci7Test, a_bad_password_is_reported_in_the_logon_area) {
  Lda_Def second{};
  ub1 second_hda[512] = {};
  std::string user = "SCOTT", password = "WRONG";
  EXPECT_NE(0, olog(&second, second_hda, reinterpret_cast<OraText*>(user.data()), -1,
                    reinterpret_cast<OraText*>(password.data()), -1, reinterpret_cast<OraText*>(database.data()), -1, 0));
  EXPECT_EQ(1017, second.rc);
  OraText message[128];
  EXPECT_GT(oerhms(&lda, 1017, message, sizeof message), 0);
  EXPECT_STREQ("ORA-01017: invalid username/password; logon denied", reinterpret_cast<char*>(message));
}

TEST_F(Oci7Test, oerhms_gives_the_last_errors_full_text_and_the_table_text_otherwise) {
  ASSERT_EQ(0, parse("create table t (n number constraint ck_n check (n > 0))"));
  ASSERT_EQ(0, oexec(&cursor));
  ASSERT_EQ(0, parse("insert into t values (-1)"));
  EXPECT_NE(0, oexec(&cursor));
  ASSERT_EQ(2290, cursor.rc);
  OraText message[128];
  EXPECT_GT(oerhms(&lda, 2290, message, sizeof message), 0);
  EXPECT_STREQ("ORA-02290: check constraint (SCOTT.CK_N) violated", reinterpret_cast<char*>(message));
  EXPECT_GT(oerhms(&lda, 2292, message, sizeof message), 0);
  EXPECT_STREQ("ORA-02292: integrity constraint (.) violated - child record found", reinterpret_cast<char*>(message));
  EXPECT_GT(oerhms(&lda, 20001, message, sizeof message), 0);
  EXPECT_STREQ("ORA-20001: ", reinterpret_cast<char*>(message));
}

TEST_F(Oci7Test, dml_leaves_the_row_id_of_its_row_in_the_cursor_area) {
  ASSERT_EQ(0, parse("create table t (n number)"));
  ASSERT_EQ(0, oexec(&cursor));
  ASSERT_EQ(0, parse("insert into t values (1)"));
  ASSERT_EQ(0, oexec(&cursor));
  const auto inserted = cursor.rid;
  ASSERT_EQ(0, parse("insert into t values (2)"));
  ASSERT_EQ(0, oexec(&cursor));
  EXPECT_EQ(cursor.rid.rd.rcs4, inserted.rd.rcs4) << "same table, same object number";
  EXPECT_NE(cursor.rid.rcs8, inserted.rcs8) << "another row";
  // The parts are those of the row's ROWID text: object 6, file 3, block 6, row 3 base-64 digits.
  ASSERT_EQ(0, ocom(&lda));
  const std::string rowid = single_text("select rowid from t where n = 2");
  auto group = [&](size_t at, size_t width) {
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    uint64_t value = 0;
    for (size_t i = at; i < at + width; ++i) value = value * 64 + digits.find(rowid[i]);
    return value;
  };
  EXPECT_EQ(cursor.rid.rd.rcs4, group(0, 6));
  EXPECT_EQ(cursor.rid.rd.rcs5, group(6, 3));
  EXPECT_EQ(cursor.rid.rcs7, group(9, 6));
  EXPECT_EQ(cursor.rid.rcs8, group(15, 3));
  EXPECT_GT(cursor.rid.rd.rcs4, 0u);
}

TEST_F(Oci7Test, array_insert_then_array_fetch_through_the_cursor_area) {
  ASSERT_EQ(0, parse("CREATE TABLE SEVEN (N NUMBER(4), NAME VARCHAR2(10))"));
  ASSERT_EQ(0, oexec(&cursor));
  ASSERT_EQ(0, parse("INSERT INTO SEVEN VALUES (:N, :NAME)"));
  EXPECT_EQ(3, cursor.ft);
  int numbers[5] = {1, 2, 3, 4, 5};
  char names[5][10] = {"one", "two", "three", "four", "five"};
  ASSERT_EQ(0, obndra(&cursor, reinterpret_cast<OraText*>(const_cast<char*>(":N")), -1, reinterpret_cast<ub1*>(numbers),
                      sizeof(int), SQLT_INT, -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1));
  ASSERT_EQ(0, obndra(&cursor, reinterpret_cast<OraText*>(const_cast<char*>(":NAME")), -1, reinterpret_cast<ub1*>(names),
                      10, SQLT_STR, -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1));
  ASSERT_EQ(0, oexn(&cursor, 5, 0)) << cursor.rc;
  EXPECT_EQ(5u, cursor.rpc);
  ASSERT_EQ(0, ocom(&lda));

  ASSERT_EQ(0, parse("SELECT N, NAME FROM SEVEN ORDER BY N"));
  EXPECT_EQ(4, cursor.ft);
  sb4 size = 0, name_length = 16, display = 0;
  sb2 type = 0, precision = 0, scale = 0, nullable = 0;
  sb1 name[16];
  ASSERT_EQ(0, odescr(&cursor, 2, &size, &type, name, &name_length, &display, &precision, &scale, &nullable));
  EXPECT_EQ(1, type);
  EXPECT_EQ(10, size);
  EXPECT_EQ("NAME", std::string(reinterpret_cast<char*>(name), static_cast<size_t>(name_length)));
  EXPECT_EQ(1007, odescr(&cursor, 3, &size, &type, name, &name_length, &display, &precision, &scale, &nullable));

  int got[2];
  char got_names[2][11];
  sb2 indicators[2];
  ub2 lengths[2], codes[2];
  ASSERT_EQ(0, odefin(&cursor, 1, reinterpret_cast<ub1*>(got), sizeof(int), SQLT_INT, -1, nullptr, nullptr, -1, -1, nullptr, nullptr));
  ASSERT_EQ(0, odefin(&cursor, 2, reinterpret_cast<ub1*>(got_names), 11, SQLT_STR, -1, indicators, nullptr, -1, -1,
                      lengths, codes));
  ASSERT_EQ(0, oexfet(&cursor, 2, 0, 0)) << cursor.rc;
  EXPECT_EQ(2u, cursor.rpc);
  EXPECT_STREQ("two", got_names[1]);
  EXPECT_EQ(0, ofen(&cursor, 2));
  EXPECT_EQ(4u, cursor.rpc);
  EXPECT_EQ(4, got[1]);
  EXPECT_EQ(1403, ofen(&cursor, 2));
  EXPECT_EQ(1403, cursor.rc);
  EXPECT_EQ(5u, cursor.rpc) << "the partial last batch still counts";
  EXPECT_EQ(5, got[0]);
}

TEST_F(Oci7Test, parse_errors_fill_the_return_code_and_offset) {
  EXPECT_NE(0, parse("SELECT * FROM NOWHERE_TABLE"));
  EXPECT_EQ(942, cursor.rc);
  EXPECT_EQ(54, cursor.fc);
}

TEST_F(Oci7Test, a_long_is_read_in_slices_by_offset) {
  must_run("CREATE TABLE LONG7 (L LONG)");
  must_run("INSERT INTO LONG7 VALUES ('0123456789abcdef')");
  must_run("COMMIT");
  ASSERT_EQ(0, parse("SELECT L FROM LONG7"));
  char first[4];
  ASSERT_EQ(0, odefin(&cursor, 1, reinterpret_cast<ub1*>(first), 4, SQLT_CHR, -1, nullptr, nullptr, -1, -1, nullptr, nullptr));
  ASSERT_EQ(0, oexfet(&cursor, 1, 0, 0)) << cursor.rc;
  char slice[6] = {};
  ub4 returned = 0;
  ASSERT_EQ(0, oflng(&cursor, 1, reinterpret_cast<ub1*>(slice), 5, SQLT_LNG, &returned, 10));
  EXPECT_EQ(5u, returned);
  EXPECT_STREQ("abcde", slice);
  ASSERT_EQ(0, oflng(&cursor, 1, reinterpret_cast<ub1*>(slice), 5, SQLT_LNG, &returned, 14));
  EXPECT_EQ(2u, returned);
}

TEST_F(Oci7Test, autocommit_and_rollback_through_the_logon_area) {
  must_run("CREATE TABLE AC (N NUMBER)");
  ASSERT_EQ(0, ocon(&lda));
  ASSERT_EQ(0, parse("INSERT INTO AC VALUES (1)"));
  ASSERT_EQ(0, oexec(&cursor));
  ASSERT_EQ(0, ocof(&lda));
  ASSERT_EQ(0, parse("INSERT INTO AC VALUES (2)"));
  ASSERT_EQ(0, oexec(&cursor));
  ASSERT_EQ(0, orol(&lda));
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM AC"));
}

TEST_F(Oci7Test, a_service_context_and_a_logon_area_convert_both_ways) {
  Lda_Def from_svc{};
  ASSERT_EQ(OCI_SUCCESS, OCISvcCtxToLda(svc, err, &from_svc));
  Cda_Def mixed{};
  ASSERT_EQ(0, oopen(&mixed, &from_svc, nullptr, -1, -1, nullptr, -1));
  ASSERT_EQ(0, oparse(&mixed, reinterpret_cast<OraText*>(const_cast<char*>("SELECT COUNT(*) FROM EMP")), -1, 0, 2));
  int count = 0;
  ASSERT_EQ(0, odefin(&mixed, 1, reinterpret_cast<ub1*>(&count), sizeof count, SQLT_INT, -1, nullptr, nullptr, -1, -1, nullptr, nullptr));
  ASSERT_EQ(0, oexfet(&mixed, 1, 1, 0)) << mixed.rc;
  EXPECT_GT(count, 0);
  oclose(&mixed);
  OCISvcCtx* back = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCILdaToSvcCtx(&back, err, &from_svc));
  EXPECT_EQ(svc, back);
}

TEST_F(Oci7Test, a_killed_logon_reports_03113_then_03114) {
  ASSERT_EQ(0, ociemu_kill_session(&lda));
  EXPECT_EQ(3113, ocom(&lda));
  EXPECT_EQ(3114, ocom(&lda));
}

// A logoff of a killed session reports the loss, and the area is free for a new logon.
TEST_F(Oci7Test, logging_off_a_killed_logon_reports_the_lost_connection_and_frees_the_area) {
  ASSERT_EQ(0, ociemu_kill_session(&lda));
  EXPECT_EQ(3113, ologof(&lda));
  EXPECT_EQ(3113, lda.rc);
  EXPECT_EQ(-1, ologof(&lda)) << "the area no longer holds a logon";
  std::string uid = "scott/tiger@" + database;
  ASSERT_EQ(0, orlon(&lda, hda, reinterpret_cast<OraText*>(uid.data()), -1, nullptr, -1, 0)) << lda.rc;
  EXPECT_EQ(0, ocom(&lda));
}

// One call of every version 7 entry; each returns what the entry returns.
struct Oci7Call {
  const char* entry;
  std::function<sword()> call;
};

TEST_F(Oci7Test, an_injected_failure_reaches_every_version_7_entry_once) {
  must_run("CREATE TABLE F7 (N NUMBER, L LONG)");
  for (const char* n : {"1", "2", "3"}) must_run(std::string("INSERT INTO F7 VALUES (") + n + ", 'long text')");
  must_run("COMMIT");
  constexpr int kInjected = 3135;
  int number = 0;
  char text[16] = {};
  ub4 long_length = 0;
  sb4 size = 0, name_length = 8, display = 0;
  sb2 type = 0, precision = 0, scale = 0, nullable = 0;
  sb1 name[8];
  Cda_Def other{};
  Lda_Def second{};
  ub1 second_hda[512] = {};
  std::string uid = "scott/tiger@" + database;
  auto as_text = [](const char* s) { return reinterpret_cast<OraText*>(const_cast<char*>(s)); };
  const std::vector<Oci7Call> calls = {
      {"orlon", [&] { return orlon(&second, second_hda, as_text(uid.c_str()), -1, nullptr, -1, 0); }},
      {"olog", [&] { return olog(&second, second_hda, as_text(uid.c_str()), -1, nullptr, -1, nullptr, -1, 0); }},
      {"oopen", [&] { return oopen(&other, &lda, nullptr, -1, -1, nullptr, -1); }},
      {"oparse", [&] { return parse("SELECT N, L FROM F7 WHERE N >= :N ORDER BY N"); }},
      {"obndra", [&] {
         return obndra(&cursor, as_text(":N"), -1, reinterpret_cast<ub1*>(&number), sizeof number, SQLT_INT, -1,
                       nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1);
       }},
      {"odefin", [&] {
         return odefin(&cursor, 1, reinterpret_cast<ub1*>(&number), sizeof number, SQLT_INT, -1, nullptr, nullptr,
                       -1, -1, nullptr, nullptr);
       }},
      {"odescr", [&] {
         name_length = 8;
         return odescr(&cursor, 1, &size, &type, name, &name_length, &display, &precision, &scale, &nullable);
       }},
      {"oexec", [&] { return oexec(&cursor); }},
      {"oexfet", [&] {
         number = 1;
         return oexfet(&cursor, 1, 0, 0);
       }},
      {"ofen", [&] { return ofen(&cursor, 1); }},
      {"oflng", [&] {
         return oflng(&cursor, 2, reinterpret_cast<ub1*>(text), sizeof text - 1, SQLT_LNG, &long_length, 0);
       }},
      {"oexn", [&] {
         parse("UPDATE F7 SET N = N WHERE N = :N");
         obndra(&cursor, as_text(":N"), -1, reinterpret_cast<ub1*>(&number), sizeof number, SQLT_INT, -1, nullptr,
                nullptr, nullptr, 0, nullptr, nullptr, -1, -1);
         return oexn(&cursor, 1, 0);
       }},
      {"ocom", [&] { return ocom(&lda); }},
      {"orol", [&] { return orol(&lda); }},
      {"ocon", [&] { return ocon(&lda); }},
      {"ocof", [&] { return ocof(&lda); }},
      {"obreak", [&] { return obreak(&lda); }},
      {"odessp", [&] {
         ub4 count = 0;
         return odessp(&cursor, as_text("P"), 1, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count);
       }},
      {"oclose", [&] { return oclose(&other); }},
      {"ologof", [&] { return ologof(&second); }},
      {"opinit", [&] { return opinit(0); }},
  };
  for (const Oci7Call& c : calls) {
    SCOPED_TRACE(c.entry);
    ociemu_fail_next(c.entry, kInjected);
    EXPECT_EQ(kInjected, c.call());
    if (std::string(c.entry) != "opinit") {
      OraText message[128];
      EXPECT_GT(oerhms(&lda, kInjected, message, sizeof message), 0);
      EXPECT_EQ(0, std::strncmp("ORA-03135", reinterpret_cast<char*>(message), 9)) << message;
    }
    const sword again = c.call();
    EXPECT_NE(kInjected, again) << "the failure is consumed by the one call";
    if (std::string(c.entry) != "odessp") {
      EXPECT_EQ(0, again) << c.entry;
    }
  }
  EXPECT_EQ(9u, long_length) << "the long read after the injected failure";
  EXPECT_STREQ("long text", text);

  ociemu_fail_next("oerhms", kInjected);
  OraText message[128] = {'x'};
  EXPECT_EQ(0, oerhms(&lda, 942, message, sizeof message));
  EXPECT_EQ(0, message[0]);
  EXPECT_GT(oerhms(&lda, 942, message, sizeof message), 0);
}

TEST_F(Oci7Test, an_injected_commit_failure_commits_nothing_and_leaves_the_transaction_open) {
  must_run("CREATE TABLE C7 (N NUMBER)");
  ASSERT_EQ(0, parse("INSERT INTO C7 VALUES (1)"));
  ASSERT_EQ(0, oexec(&cursor));
  ociemu_fail_next("ocom", 3113);
  EXPECT_EQ(3113, ocom(&lda));
  EXPECT_EQ(3113, lda.rc);
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM C7"));
  ASSERT_EQ(0, orol(&lda));
  ASSERT_EQ(0, ocom(&lda));
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM C7"));
}

TEST_F(Oci7Test, an_injected_fetch_failure_leaves_the_fetched_rows_and_the_row_count_alone) {
  ASSERT_EQ(0, parse("SELECT EMPNO FROM EMP ORDER BY EMPNO"));
  int numbers[2] = {};
  ASSERT_EQ(0, odefin(&cursor, 1, reinterpret_cast<ub1*>(numbers), sizeof(int), SQLT_INT, -1, nullptr, nullptr, -1,
                      -1, nullptr, nullptr));
  ASSERT_EQ(0, oexfet(&cursor, 2, 0, 0));
  const int first[2] = {numbers[0], numbers[1]};
  ociemu_fail_next("ofen", 1013);
  EXPECT_EQ(1013, ofen(&cursor, 2));
  EXPECT_EQ(2u, cursor.rpc);
  EXPECT_EQ(first[0], numbers[0]);
  EXPECT_EQ(first[1], numbers[1]);
  EXPECT_EQ(0, ofen(&cursor, 2));
  EXPECT_EQ(4u, cursor.rpc);
  EXPECT_GT(numbers[0], first[1]);
}

TEST_F(Oci7Test, an_injected_logoff_failure_keeps_the_logon_usable) {
  ociemu_fail_next("ologof", 3113);
  EXPECT_EQ(3113, ologof(&lda));
  EXPECT_EQ(0, ocom(&lda));
  EXPECT_EQ(0, ologof(&lda));
  EXPECT_EQ(-1, ologof(&lda));
}

}  // namespace
}  // namespace ociemu::testing
