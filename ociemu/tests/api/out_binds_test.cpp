// OUT values reach only what the client holds now: binds replaced between
// executions (as a statement cache re-binds), LOB locators handed over by
// RETURNING callbacks, and object instances of OUT and IN OUT object binds.
#include <array>
#include <cstring>
#include <memory>

#include "ociemu/tests/api/oci_test_support.h"

extern "C" {
ub4 OCIStringSize(OCIEnv* env, const OCIString* vs);
}

namespace ociemu::testing {
namespace {

class OutBindTest : public OciTest {
 protected:
  void execute(OCIStmt* stmt, ub4 iters = 1) {
    ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, iters, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  }

  OCIBind* bind_name(OCIStmt* stmt, const std::string& name, void* value, sb4 size, ub2 dty, sb2* indicator = nullptr,
                     ub4 mode = OCI_DEFAULT) {
    OCIBind* bind = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(name), static_cast<sb4>(name.size()), value, size, dty,
                                         indicator, nullptr, nullptr, 0, nullptr, mode))
        << last_error();
    return bind;
  }

  OCIBind* bind_position(OCIStmt* stmt, ub4 position, void* value, sb4 size, ub2 dty, sb2* indicator = nullptr,
                         ub4 mode = OCI_DEFAULT) {
    OCIBind* bind = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, position, value, size, dty, indicator, nullptr, nullptr, 0,
                                        nullptr, mode))
        << last_error();
    return bind;
  }
};

TEST_F(OutBindTest, a_block_bound_anew_by_position_writes_only_into_the_new_buffers) {
  OCIStmt* stmt = prepare("begin :total := 40 + 2; :label := 'forty-two'; end;");
  auto old_total = std::make_unique<int>(0);
  auto old_label = std::make_unique<std::array<char, 16>>();
  bind_name(stmt, ":total", old_total.get(), sizeof(int), SQLT_INT);
  bind_name(stmt, ":label", old_label->data(), 16, SQLT_STR);
  execute(stmt);
  EXPECT_EQ(42, *old_total);
  // The client frees the buffers of its earlier binds before binding again.
  old_total.reset();
  old_label.reset();

  int total = 0;
  char label[16] = {};
  bind_position(stmt, 1, &total, sizeof total, SQLT_INT);
  bind_position(stmt, 2, label, sizeof label, SQLT_STR);
  execute(stmt);
  EXPECT_EQ(42, total);
  EXPECT_STREQ("forty-two", label);

  // And back to names: the position binds are replaced in turn.
  int again = 0;
  char again_label[16] = {};
  bind_name(stmt, ":TOTAL", &again, sizeof again, SQLT_INT);
  bind_name(stmt, ":label", again_label, sizeof again_label, SQLT_STR);
  total = 0;
  execute(stmt);
  EXPECT_EQ(42, again);
  EXPECT_STREQ("forty-two", again_label);
  EXPECT_EQ(0, total);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

// PL/SQL BOOLEAN binds (SQLT_BOL) travel as a C int: nonzero is TRUE.
TEST_F(OutBindTest, boolean_binds_carry_true_and_false_into_and_out_of_a_block) {
  must_run("CREATE OR REPLACE FUNCTION spell(b BOOLEAN) RETURN VARCHAR2 IS BEGIN "
           "IF b IS NULL THEN RETURN 'NULL'; ELSIF b THEN RETURN 'TRUE'; END IF; RETURN 'FALSE'; END;");
  OCIStmt* stmt = prepare("begin :word := spell(:flag); :small := :n < 10; end;");
  int flag = 0, small = -1, n = 12;
  sb2 flag_null = 0;
  char word[8] = {};
  bind_name(stmt, ":word", word, sizeof word, SQLT_STR);
  bind_name(stmt, ":flag", &flag, sizeof flag, SQLT_BOL, &flag_null);
  bind_name(stmt, ":small", &small, sizeof small, SQLT_BOL);
  bind_name(stmt, ":n", &n, sizeof n, SQLT_INT);
  const struct { int flag; sb2 null; int n; const char* word; int small; } cases[] = {
      {7, 0, 12, "TRUE", 0}, {0, 0, 9, "FALSE", 1}, {1, -1, 3, "NULL", 1}};
  for (const auto& c : cases) {
    flag = c.flag;
    flag_null = c.null;
    n = c.n;
    execute(stmt);
    EXPECT_STREQ(c.word, word) << c.flag;
    EXPECT_EQ(c.small, small) << c.n;
  }
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(OutBindTest, dml_returning_bound_anew_by_position_fills_the_new_buffers) {
  must_run("CREATE TABLE t (id NUMBER, name VARCHAR2(20))");
  OCIStmt* stmt = prepare("INSERT INTO t VALUES (:id, :name) RETURNING id * 10, upper(name) INTO :out_id, :out_name");
  int id = 1;
  char name[8] = "ann";
  auto old_id = std::make_unique<int>(0);
  auto old_name = std::make_unique<std::array<char, 16>>();
  bind_name(stmt, ":id", &id, sizeof id, SQLT_INT);
  bind_name(stmt, ":name", name, sizeof name, SQLT_STR);
  bind_name(stmt, ":out_id", old_id.get(), sizeof(int), SQLT_INT);
  bind_name(stmt, ":out_name", old_name->data(), 16, SQLT_STR);
  execute(stmt);
  EXPECT_EQ(10, *old_id);
  EXPECT_STREQ("ANN", old_name->data());
  old_id.reset();
  old_name.reset();

  id = 2;
  std::strcpy(name, "bob");
  int out_id = 0;
  char out_name[16] = {};
  bind_position(stmt, 1, &id, sizeof id, SQLT_INT);
  bind_position(stmt, 2, name, sizeof name, SQLT_STR);
  bind_position(stmt, 3, &out_id, sizeof out_id, SQLT_INT);
  bind_position(stmt, 4, out_name, sizeof out_name, SQLT_STR);
  execute(stmt);
  EXPECT_EQ(20, out_id);
  EXPECT_STREQ("BOB", out_name);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<std::string>{"ann", "bob"}), column_texts("SELECT name FROM t ORDER BY id"));
}

TEST_F(OutBindTest, return_is_the_other_spelling_of_returning_and_into_may_touch_its_bind) {
  must_run("CREATE TABLE t (id NUMBER, return_date DATE)");
  auto is_returning = [&](const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    ub1 flag = 9;
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, &flag, nullptr, OCI_ATTR_STMT_IS_RETURNING, err));
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return flag;
  };
  EXPECT_EQ(1, is_returning("INSERT INTO t (id) VALUES (1) RETURN id INTO :r"));
  EXPECT_EQ(1, is_returning("INSERT INTO t (id) VALUES (1) returning(id)into:r"));
  EXPECT_EQ(0, is_returning("INSERT INTO t (id, return_date) VALUES (1, sysdate)"));

  for (const std::string sql : {"INSERT INTO t (id) VALUES (:v) RETURN id * 2 INTO :r",
                                "INSERT INTO t (id) VALUES (:v) returning(id * 2)into:r"}) {
    OCIStmt* stmt = prepare(sql);
    int value = 21, returned = 0;
    bind_name(stmt, ":v", &value, sizeof value, SQLT_INT);
    bind_name(stmt, ":r", &returned, sizeof returned, SQLT_INT);
    execute(stmt);
    EXPECT_EQ(42, returned) << sql;
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
}

TEST_F(OutBindTest, returning_takes_literals_and_refuses_lists_where_one_value_belongs) {
  must_run("CREATE TABLE t (id NUMBER, name VARCHAR2(20))");
  OCIStmt* stmt = prepare("INSERT INTO t VALUES (1, 'a') RETURNING 7 , 'into'  INTO :1, :2");
  std::array<std::array<char, 8>, 2> returned{};
  for (ub4 k = 0; k < 2; ++k) bind_position(stmt, k + 1, returned[k].data(), 8, SQLT_STR);
  execute(stmt);
  EXPECT_STREQ("7", returned[0].data());
  EXPECT_STREQ("into", returned[1].data());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  for (const char* list : {"(id, name) INTO :1, :2", "(id,) INTO :1", "(to_char(id), name) INTO :1, :2"}) {
    EXPECT_EQ(OCI_ERROR, run(std::string("INSERT INTO t VALUES (2, 'b') RETURNING ") + list)) << list;
    EXPECT_EQ(907, last_code()) << list;
  }
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO t VALUES (2, 'b') RETURNING id INTO :1, name INTO :2"));
  EXPECT_EQ(933, last_code());
  for (const char* missing : {"INTO :1", "id, INTO :1, :2", ", id INTO :1, :2"}) {
    EXPECT_EQ(OCI_ERROR, run(std::string("INSERT INTO t VALUES (2, 'b') RETURNING ") + missing)) << missing;
    EXPECT_EQ(936, last_code()) << missing;
  }
  EXPECT_EQ("1", single_text("SELECT count(*) FROM t"));
}

TEST_F(OutBindTest, returning_by_position_counts_every_placeholder_before_the_targets) {
  must_run("CREATE TABLE t (id NUMBER, name VARCHAR2(20))");
  must_run("INSERT INTO t VALUES (1, 'a')");
  must_run("INSERT INTO t VALUES (2, 'b')");
  OCIStmt* stmt = prepare("UPDATE t SET name = :n WHERE id = :id RETURNING id, name INTO :1, :2");
  char value[4] = "zz";
  int id = 2;
  int returned_id = 0;
  char returned_name[8] = {};
  bind_position(stmt, 1, value, sizeof value, SQLT_STR);
  bind_position(stmt, 2, &id, sizeof id, SQLT_INT);
  bind_position(stmt, 3, &returned_id, sizeof returned_id, SQLT_INT);
  OCIBind* name_bind = bind_position(stmt, 4, returned_name, sizeof returned_name, SQLT_STR);
  execute(stmt);
  EXPECT_EQ(2, returned_id);
  EXPECT_STREQ("zz", returned_name);
  ub4 rows = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(name_bind, OCI_HTYPE_BIND, &rows, nullptr, OCI_ATTR_ROWS_RETURNED, err));
  EXPECT_EQ(1u, rows);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(OutBindTest, a_returned_value_the_bind_cannot_take_fails_and_undoes_the_row) {
  must_run("CREATE TABLE t (id NUMBER, at TIMESTAMP WITH TIME ZONE, note VARCHAR2(10))");
  double number = 0;
  OCIStmt* stmt = prepare("INSERT INTO t VALUES (1, SYSTIMESTAMP, 'x') RETURNING at INTO :n");
  bind_name(stmt, ":n", &number, sizeof number, SQLT_BDOUBLE);
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(932, last_code());
  EXPECT_NE(std::string::npos, last_error().find("expected NUMBER got TIMESTAMP WITH TIME ZONE")) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  stmt = prepare("INSERT INTO t VALUES (2, NULL, 'x') RETURNING note INTO :n");
  bind_name(stmt, ":n", &number, sizeof number, SQLT_BDOUBLE);
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(1722, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  OCIDateTime* at = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, reinterpret_cast<void**>(&at), OCI_DTYPE_TIMESTAMP_TZ, 0, nullptr));
  stmt = prepare("INSERT INTO t VALUES (3, NULL, 'x') RETURNING id INTO :at");
  bind_name(stmt, ":at", &at, sizeof at, SQLT_TIMESTAMP_TZ);
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(932, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  OCIDescriptorFree(at, OCI_DTYPE_TIMESTAMP_TZ);

  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM t"));
  stmt = prepare("INSERT INTO t VALUES (4, NULL, ' 12.5 ') RETURNING note INTO :n");
  bind_name(stmt, ":n", &number, sizeof number, SQLT_BDOUBLE);
  execute(stmt);
  EXPECT_EQ(12.5, number);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

// The RETURNING callbacks of a client that binds LOBs dynamically: no input,
// and one client-made locator per returned row, handed over as the descriptor itself.
struct ReturnedLobs {
  OCIEnv* env = nullptr;
  std::array<OCILobLocator*, 4> locators{};
  std::array<sb2, 4> indicators{};
  std::array<ub4, 4> lengths{};
  std::array<ub2, 4> codes{};
  ub4 calls = 0;
};

sb4 no_input(void*, OCIBind*, ub4, ub4, void** buffer, ub4* length, ub1* piece, void** indicator) {
  static sb2 null_indicator = -1;
  *buffer = nullptr;
  *length = 0;
  *piece = OCI_ONE_PIECE;
  *indicator = &null_indicator;
  return OCI_CONTINUE;
}

sb4 locator_output(void* context, OCIBind*, ub4 iteration, ub4 index, void** buffer, ub4** length, ub1* piece,
                   void** indicator, ub2** code) {
  auto& out = *static_cast<ReturnedLobs*>(context);
  const ub4 slot = iteration + index;
  ++out.calls;
  if (out.locators[slot] == nullptr) {
    OCIDescriptorAlloc(out.env, reinterpret_cast<void**>(&out.locators[slot]), OCI_DTYPE_LOB, 0, nullptr);
  }
  *buffer = out.locators[slot];
  out.lengths[slot] = sizeof(OCILobLocator*);
  *length = &out.lengths[slot];
  *piece = OCI_ONE_PIECE;
  out.indicators[slot] = 7;  // any value the emulator must overwrite
  *indicator = &out.indicators[slot];
  *code = &out.codes[slot];
  return OCI_CONTINUE;
}

TEST_F(OutBindTest, lob_returning_through_callbacks_fills_client_locators_and_empty_lobs_are_not_null) {
  must_run("CREATE TABLE docs (id NUMBER, body CLOB)");
  OCIStmt* stmt = prepare("INSERT INTO docs VALUES (:id, CASE WHEN :id = 1 THEN TO_CLOB('h\xC3\xA9llo') "
                          "WHEN :id = 2 THEN EMPTY_CLOB() END) RETURNING body INTO :body");
  std::array<int, 3> ids{1, 2, 3};
  bind_name(stmt, ":id", ids.data(), sizeof(int), SQLT_INT);
  ReturnedLobs returned;
  returned.env = env;
  OCIBind* body = bind_name(stmt, ":body", nullptr, sizeof(OCILobLocator*), SQLT_CLOB, nullptr, OCI_DATA_AT_EXEC);
  ASSERT_EQ(OCI_SUCCESS, OCIBindDynamic(body, err, nullptr, no_input, &returned, locator_output));
  execute(stmt, 3);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  ASSERT_EQ(3u, returned.calls);

  EXPECT_EQ(0, returned.indicators[0]);
  ub4 length = 99;
  ASSERT_EQ(OCI_SUCCESS, OCILobGetLength(svc, err, returned.locators[0], &length)) << last_error();
  EXPECT_EQ(5u, length);
  char buffer[16] = {};
  ub4 amount = 5;
  ASSERT_EQ(OCI_SUCCESS, OCILobRead(svc, err, returned.locators[0], &amount, 1, buffer, sizeof buffer, nullptr,
                                    nullptr, 0, SQLCS_IMPLICIT))
      << last_error();
  EXPECT_STREQ("h\xC3\xA9llo", buffer);

  EXPECT_EQ(0, returned.indicators[1]) << "EMPTY_CLOB() is a locator of an empty LOB, not null";
  ASSERT_EQ(OCI_SUCCESS, OCILobGetLength(svc, err, returned.locators[1], &length)) << last_error();
  EXPECT_EQ(0u, length);

  EXPECT_EQ(-1, returned.indicators[2]);
  for (OCILobLocator* locator : returned.locators) {
    if (locator) {
      EXPECT_EQ(OCI_SUCCESS, OCIDescriptorFree(locator, OCI_DTYPE_LOB));
    }
  }
}

TEST_F(OutBindTest, lob_returning_through_callbacks_names_the_row_for_writes) {
  must_run("CREATE TABLE docs (id NUMBER, body BLOB)");
  OCIStmt* stmt = prepare("INSERT INTO docs VALUES (5, EMPTY_BLOB()) RETURNING body INTO :body");
  ReturnedLobs returned;
  returned.env = env;
  OCIBind* body = bind_name(stmt, ":body", nullptr, sizeof(OCILobLocator*), SQLT_BLOB, nullptr, OCI_DATA_AT_EXEC);
  ASSERT_EQ(OCI_SUCCESS, OCIBindDynamic(body, err, nullptr, no_input, &returned, locator_output));
  execute(stmt);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  ASSERT_EQ(0, returned.indicators[0]);
  char bytes[3] = {1, 2, 3};
  ub4 amount = sizeof bytes;
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite(svc, err, returned.locators[0], &amount, 1, bytes, sizeof bytes, OCI_ONE_PIECE,
                                     nullptr, nullptr, 0, 0))
      << last_error();
  EXPECT_EQ("3", single_text("SELECT dbms_lob.getlength(body) FROM docs WHERE id = 5"));
  EXPECT_EQ(OCI_SUCCESS, OCIDescriptorFree(returned.locators[0], OCI_DTYPE_LOB));
}

// An IN value handed over by an in-callback: a descriptor or locator is given itself, not a pointer to it.
struct GivenIn {
  void* descriptor = nullptr;
  sb2 indicator = 0;
};

sb4 descriptor_input(void* context, OCIBind*, ub4, ub4, void** buffer, ub4* length, ub1* piece, void** indicator) {
  auto& in = *static_cast<GivenIn*>(context);
  *buffer = in.descriptor;
  *length = sizeof(void*);
  *piece = OCI_ONE_PIECE;
  *indicator = &in.indicator;
  return OCI_CONTINUE;
}

TEST_F(OutBindTest, in_callbacks_hand_over_datetimes_and_locators_themselves) {
  must_run("CREATE TABLE stamps (id NUMBER, at TIMESTAMP, body CLOB)");
  OCIDateTime* at = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, reinterpret_cast<void**>(&at), OCI_DTYPE_TIMESTAMP, 0, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIDateTimeConstruct(env, err, at, 2003, 10, 23, 11, 50, 30, 123000000, nullptr, 0));
  OCILobLocator* body = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, reinterpret_cast<void**>(&body), OCI_DTYPE_LOB, 0, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCILobCreateTemporary(svc, err, body, 0, SQLCS_IMPLICIT, OCI_TEMP_CLOB, 0,
                                               OCI_DURATION_SESSION));
  char note[] = "note";
  ub4 amount = 4;
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite(svc, err, body, &amount, 1, note, 4, OCI_ONE_PIECE, nullptr, nullptr, 0, 0));

  // ODPI-C binds every value of a RETURNING statement this way.
  OCIStmt* stmt = prepare("INSERT INTO stamps VALUES (:id, :at, :body) RETURNING id INTO :back");
  int id = 1, back = 0;
  bind_name(stmt, ":id", &id, sizeof id, SQLT_INT);
  GivenIn at_in{at}, body_in{body};
  OCIBind* at_bind = bind_name(stmt, ":at", nullptr, sizeof at, SQLT_TIMESTAMP, nullptr, OCI_DATA_AT_EXEC);
  ASSERT_EQ(OCI_SUCCESS, OCIBindDynamic(at_bind, err, &at_in, descriptor_input, nullptr, nullptr));
  OCIBind* body_bind = bind_name(stmt, ":body", nullptr, sizeof body, SQLT_CLOB, nullptr, OCI_DATA_AT_EXEC);
  ASSERT_EQ(OCI_SUCCESS, OCIBindDynamic(body_bind, err, &body_in, descriptor_input, nullptr, nullptr));
  bind_name(stmt, ":back", &back, sizeof back, SQLT_INT);
  execute(stmt);
  EXPECT_EQ(1, back);
  id = 2;
  at_in.indicator = -1;
  body_in.indicator = -1;
  execute(stmt);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  EXPECT_EQ("2003-10-23 11:50:30.123", single_text("SELECT TO_CHAR(at, 'YYYY-MM-DD HH24:MI:SS.FF3') FROM stamps WHERE id = 1"));
  EXPECT_EQ("note", single_text("SELECT TO_CHAR(body) FROM stamps WHERE id = 1"));
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM stamps WHERE id = 2 AND at IS NULL AND body IS NULL"));
  OCILobFreeTemporary(svc, err, body);
  OCIDescriptorFree(body, OCI_DTYPE_LOB);
  OCIDescriptorFree(at, OCI_DTYPE_TIMESTAMP);
}

// ADDRESS_T (CITY VARCHAR2, ZIP NUMBER) laid out with 8-byte pointers.
constexpr size_t kCity = 0, kZip = 8;

class ObjectOutBindTest : public OutBindTest {
 protected:
  void SetUp() override {
    OutBindTest::SetUp();
    must_run("CREATE TYPE address_t AS OBJECT (city VARCHAR2(30), zip NUMBER(5))");
    must_run("CREATE TABLE places (id NUMBER, addr address_t)");
    must_run("INSERT INTO places VALUES (7, address_t('Oslo', 1234))");
    must_run("INSERT INTO places VALUES (8, NULL)");
  }

  std::string city_of(void* instance) {
    OCIString* value = *reinterpret_cast<OCIString**>(static_cast<char*>(instance) + kCity);
    return std::string(reinterpret_cast<char*>(OCIStringPtr(env, value)), OCIStringSize(env, value));
  }

  int zip_of(void* instance) {
    int value = 0;
    EXPECT_EQ(OCI_SUCCESS, OCINumberToInt(err, reinterpret_cast<OCINumber*>(static_cast<char*>(instance) + kZip),
                                          sizeof value, OCI_NUMBER_SIGNED, &value))
        << last_error();
    return value;
  }

  OCIBind* bind_object(OCIStmt* stmt, const std::string& name, void** instance, void** nulls) {
    OCIBind* bind = bind_name(stmt, name, nullptr, 0, SQLT_NTY);
    EXPECT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, type_by_name("ADDRESS_T"), instance, nullptr, nulls, nullptr))
        << last_error();
    return bind;
  }

  // A new, wholly not-null ADDRESS_T instance of the client's (its null structure in *nulls).
  void* new_address(const std::string& city, int zip, void** nulls) {
    void* instance = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_OBJECT, type_by_name("ADDRESS_T"), nullptr,
                                        OCI_DURATION_SESSION, 1, &instance));
    EXPECT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, instance, nulls));
    EXPECT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text(city), len(city),
                                               reinterpret_cast<OCIString**>(static_cast<char*>(instance) + kCity)));
    EXPECT_EQ(OCI_SUCCESS, OCINumberFromInt(err, &zip, sizeof zip, OCI_NUMBER_SIGNED,
                                            reinterpret_cast<OCINumber*>(static_cast<char*>(instance) + kZip)));
    if (*nulls == nullptr) return instance;
    for (int i = 0; i < 3; ++i) static_cast<OCIInd*>(*nulls)[i] = OCI_IND_NOTNULL;
    return instance;
  }
};

TEST_F(ObjectOutBindTest, a_block_delivers_a_new_instance_and_its_null_structure) {
  OCIStmt* stmt = prepare("begin select addr into :o from places where id = 7; end;");
  void* instance = nullptr;
  void* nulls = nullptr;
  bind_object(stmt, ":o", &instance, &nulls);
  execute(stmt);
  ASSERT_NE(nullptr, instance);
  ASSERT_NE(nullptr, nulls);
  EXPECT_EQ(OCI_IND_NOTNULL, static_cast<OCIInd*>(nulls)[0]);
  EXPECT_EQ("Oslo", city_of(instance));
  EXPECT_EQ(1234, zip_of(instance));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectOutBindTest, an_in_out_object_is_refilled_in_place_and_a_null_result_marks_it_null) {
  void* nulls = nullptr;
  void* instance = new_address("Rome", 100, &nulls);
  ASSERT_NE(nullptr, instance);

  OCIStmt* stmt = prepare("begin insert into places values (9, :o); select addr into :o from places where id = 7; end;");
  void* const original = instance;
  bind_object(stmt, ":o", &instance, &nulls);
  execute(stmt);
  EXPECT_EQ(original, instance);
  EXPECT_EQ("Oslo", city_of(instance));
  EXPECT_EQ(1234, zip_of(instance));
  EXPECT_EQ("Rome", single_text("SELECT p.addr.city FROM places p WHERE id = 9"));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  stmt = prepare("begin select addr into :o from places where id = 8; end;");
  bind_object(stmt, ":o", &instance, &nulls);
  execute(stmt);
  EXPECT_EQ(OCI_IND_NULL, static_cast<OCIInd*>(nulls)[0]);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectOutBindTest, block_variables_of_the_object_type_carry_values_between_binds_and_rows) {
  void* nulls = nullptr;
  void* instance = new_address("Rome", 100, &nulls);
  ASSERT_NE(nullptr, instance);

  OCIStmt* stmt = prepare(
      "declare given address_t := :o; stored scott.address_t; "
      "begin select addr into stored from places where id = 7; insert into places values (9, given); :o := stored; end;");
  bind_object(stmt, ":o", &instance, &nulls);
  execute(stmt);
  EXPECT_EQ("Oslo", city_of(instance));
  EXPECT_EQ(1234, zip_of(instance));
  EXPECT_EQ("Rome", single_text("SELECT p.addr.city FROM places p WHERE id = 9"));
  EXPECT_EQ("100", single_text("SELECT p.addr.zip FROM places p WHERE id = 9"));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectOutBindTest, a_block_variable_of_an_unknown_type_is_still_a_compile_error) {
  EXPECT_EQ(OCI_ERROR, run("declare v no_such_type_t; begin null; end;"));
  EXPECT_EQ(6550, last_code());
}

TEST_F(ObjectOutBindTest, dml_returning_an_object_column_delivers_an_instance) {
  OCIStmt* stmt = prepare("UPDATE places p SET id = 70 WHERE id = 7 RETURNING p.addr INTO :o");
  void* instance = nullptr;
  void* nulls = nullptr;
  bind_object(stmt, ":o", &instance, &nulls);
  execute(stmt);
  ASSERT_NE(nullptr, instance);
  ASSERT_NE(nullptr, nulls);
  EXPECT_EQ("Oslo", city_of(instance));
  EXPECT_EQ(1234, zip_of(instance));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

}  // namespace
}  // namespace ociemu::testing
