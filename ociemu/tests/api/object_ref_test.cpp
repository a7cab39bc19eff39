// Object identifiers and REFs through the C entries: REF(), DEREF and REF
// columns in SQL, SQLT_REF defines and binds, the hex form, and pins of the
// rows REFs name.
#include <sqlite3.h>

#include <cstring>

#include "ociemu/tests/api/oci_test_support.h"

extern "C" {
ub4 OCIStringSize(OCIEnv* env, const OCIString* vs);
boolean OCIRefIsEqual(OCIEnv* env, const OCIRef* x, const OCIRef* y);
}

namespace ociemu::testing {
namespace {

// PERSON_T (NAME VARCHAR2(20), AGE NUMBER) with 8-byte pointers.
constexpr size_t kName = 0, kAge = 8;
constexpr OCILockOpt kLockExclusive = 2;  // OCI_LOCK_X

class ObjectRefTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TYPE person_t AS OBJECT (name VARCHAR2(20), age NUMBER)");
    must_run("CREATE TABLE people OF person_t");
    must_run("INSERT INTO people VALUES ('Ann', 41)");
    must_run("INSERT INTO people VALUES ('Bob', 37)");
    must_run("CREATE TABLE jobs (id NUMBER, who REF person_t SCOPE IS people)");
  }

  // The first row's first column of `sql` as a new instance of `type`.
  void* fetch_object(const std::string& sql, const std::string& type, void** nulls) {
    void* instance = nullptr;
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, nullptr, 0, SQLT_NTY, nullptr, nullptr, nullptr,
                                          OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIDefineObject(define, err, named_type(type), &instance, nullptr, nulls, nullptr));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return instance;
  }

  std::string name_of(void* person) {
    OCIString* value = *reinterpret_cast<OCIString**>(static_cast<char*>(person) + kName);
    return std::string(reinterpret_cast<char*>(OCIStringPtr(env, value)), OCIStringSize(env, value));
  }

  int age_of(void* person) {
    int value = 0;
    EXPECT_EQ(OCI_SUCCESS, OCINumberToInt(err, reinterpret_cast<OCINumber*>(static_cast<char*>(person) + kAge),
                                          sizeof value, OCI_NUMBER_SIGNED, &value));
    return value;
  }

  // Executes a query whose first column is a REF, defined without a type as the layer does.
  OCIStmt* define_refs(const std::string& sql, OCIRef** refs, sb2* indicators) {
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, refs, sizeof(OCIRef*), SQLT_REF, indicators, nullptr,
                                          nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIDefineObject(define, err, nullptr, reinterpret_cast<void**>(refs), nullptr, nullptr,
                                           nullptr))
        << last_error();
    return stmt;
  }

  // The REF of the person called `name`, fetched into a new client REF.
  OCIRef* ref_of(const std::string& name) {
    OCIRef* ref = nullptr;
    sb2 indicator = 0;
    OCIStmt* stmt = define_refs("SELECT REF(p) FROM people p WHERE p.name = '" + name + "'", &ref, &indicator);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return ref;
  }

  std::string hex_of(const OCIRef* ref) {
    std::string hex(OCIRefHexSize(env, ref), '\0');
    ub4 size = static_cast<ub4>(hex.size());
    EXPECT_EQ(OCI_SUCCESS, OCIRefToHex(env, err, ref, reinterpret_cast<OraText*>(hex.data()), &size));
    hex.resize(size);
    return hex;
  }

  void* pin(OCIRef* ref, OCILockOpt lock = OCI_LOCK_NONE) {
    void* object = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIObjectPin(env, err, ref, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, lock, &object))
        << last_error();
    return object;
  }

  ub2 described_type(const std::string& sql, std::string* type_name) {
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY)) << last_error();
    OCIParam* column = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&column), 1));
    ub2 type = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(column, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err));
    OraText* name = nullptr;
    ub4 size = 0;
    if (OCIAttrGet(column, OCI_DTYPE_PARAM, &name, &size, OCI_ATTR_TYPE_NAME, err) == OCI_SUCCESS && name) {
      type_name->assign(reinterpret_cast<char*>(name), size);
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return type;
  }
};

TEST_F(ObjectRefTest, a_row_keeps_its_identifier_through_updates_and_a_new_row_never_inherits_a_deleted_one) {
  const std::string ann = single_text("SELECT REF(p) FROM people p WHERE name = 'Ann'");
  const std::string bob = single_text("SELECT REF(p) FROM people p WHERE name = 'Bob'");
  EXPECT_NE(ann, bob);
  EXPECT_EQ(ann.size(), std::string("SCOTT.PEOPLE:").size() + 32) << ann;
  must_run("UPDATE people SET age = 42 WHERE name = 'Ann'");
  EXPECT_EQ(ann, single_text("SELECT REF(p) FROM people p WHERE name = 'Ann'"));
  // Bob has the highest rowid, which SQLite hands out again after the delete.
  must_run("DELETE FROM people WHERE name = 'Bob'");
  must_run("INSERT INTO people VALUES ('Cyd', 20)");
  EXPECT_NE(bob, single_text("SELECT REF(p) FROM people p WHERE name = 'Cyd'"));
  must_run("INSERT INTO jobs VALUES (1, (SELECT REF(p) FROM people p WHERE p.name = 'Ann'))");
  must_run("INSERT INTO jobs VALUES (2, NULL)");
  must_run("COMMIT");
  EXPECT_EQ("1", single_text("SELECT j.id FROM jobs j, people p WHERE j.who = REF(p) AND p.name = 'Ann'"));
  EXPECT_EQ((std::vector<std::string>{"Ann", "<null>"}), column_texts("SELECT j.who.name FROM jobs j ORDER BY id"));
  EXPECT_EQ("42", single_text("SELECT p.age FROM jobs j, people p WHERE REF(p) = j.who"));
  // A rolled-back delete keeps the identifier; a committed one leaves the REF dangling.
  must_run("DELETE FROM people WHERE name = 'Ann'");
  must_run("ROLLBACK");
  EXPECT_EQ("Ann", single_text("SELECT j.who.name FROM jobs j WHERE id = 1"));
  must_run("DELETE FROM people WHERE name = 'Ann'");
  must_run("COMMIT");
  EXPECT_EQ("<null>", single_text("SELECT j.who.name FROM jobs j WHERE id = 1"));
  EXPECT_EQ("1", single_text("SELECT count(*) FROM jobs WHERE who IS NOT NULL"));
  EXPECT_EQ("1", single_text("SELECT id FROM jobs j WHERE j.who IS DANGLING"));
  must_run("INSERT INTO jobs SELECT 3, REF(p) FROM people p WHERE name = 'Cyd'");
  EXPECT_EQ("3", single_text("SELECT id FROM jobs WHERE who IS NOT DANGLING"));
}

TEST_F(ObjectRefTest, describe_reports_refs_and_deref_gives_the_object) {
  std::string name;
  EXPECT_EQ(SQLT_REF, described_type("SELECT who FROM jobs", &name));
  EXPECT_EQ("PERSON_T", name);
  name.clear();
  EXPECT_EQ(SQLT_REF, described_type("SELECT REF(p) FROM people p", &name));
  EXPECT_EQ("PERSON_T", name);
  name.clear();
  EXPECT_EQ(SQLT_NTY, described_type("SELECT DEREF(who) FROM jobs", &name));
  EXPECT_EQ("PERSON_T", name);
  EXPECT_EQ(SQLT_NTY, described_type("SELECT VALUE(p) FROM people p", &name));

  must_run("INSERT INTO jobs SELECT 7, REF(p) FROM people p WHERE p.name = 'Bob'");
  void* nulls = nullptr;
  void* person = fetch_object("SELECT DEREF(j.who) FROM jobs j WHERE id = 7", "PERSON_T", &nulls);
  ASSERT_NE(nullptr, person);
  EXPECT_EQ("Bob", name_of(person));
  EXPECT_EQ(37, age_of(person));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, person, 0));

  EXPECT_EQ(OCI_ERROR, run("SELECT REF(j) FROM jobs j"));  // not an object table
  EXPECT_EQ(904, last_code());
  EXPECT_EQ(OCI_ERROR, run("SELECT DEREF(id) FROM jobs"));
  EXPECT_EQ(932, last_code());
  EXPECT_EQ(OCI_ERROR, run("CREATE TABLE bad_jobs (who REF person_t SCOPE IS jobs)"));
  EXPECT_EQ(942, last_code());
}

TEST_F(ObjectRefTest, fetched_refs_convert_to_hex_and_back_and_pin_their_rows) {
  must_run("INSERT INTO jobs SELECT 1, REF(p) FROM people p WHERE p.name = 'Ann'");
  must_run("INSERT INTO jobs VALUES (2, NULL)");
  OCIRef* refs[2] = {nullptr, nullptr};
  sb2 indicators[2] = {5, 5};
  OCIStmt* stmt = define_refs("SELECT who FROM jobs ORDER BY id", refs, indicators);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  ASSERT_NE(nullptr, refs[0]);
  EXPECT_EQ(0, indicators[0]);
  EXPECT_EQ(-1, indicators[1]);
  EXPECT_FALSE(OCIRefIsNull(env, refs[0]));
  EXPECT_TRUE(OCIRefIsNull(env, refs[1]));

  const std::string hex = hex_of(refs[0]);
  OCIRef* parsed = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIRefFromHex(env, err, svc, text(hex), len(hex), &parsed)) << last_error();
  EXPECT_TRUE(OCIRefIsEqual(env, parsed, refs[0]));
  OCIRef* bob = ref_of("Bob");
  EXPECT_FALSE(OCIRefIsEqual(env, bob, refs[0]));

  void* person = pin(parsed);
  ASSERT_NE(nullptr, person);
  EXPECT_EQ("Ann", name_of(person));
  EXPECT_EQ(41, age_of(person));
  EXPECT_EQ(person, pin(refs[0]));  // the cache hands out the pinned copy again
  OCIRef* back = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_REF, nullptr, nullptr, OCI_DURATION_SESSION, 1,
                                      reinterpret_cast<void**>(&back)));
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetObjectRef(env, err, person, back)) << last_error();
  EXPECT_TRUE(OCIRefIsEqual(env, back, refs[0]));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectUnpin(env, err, person));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectUnpin(env, err, person));

  must_run("DELETE FROM people WHERE name = 'Bob'");
  void* gone = nullptr;
  EXPECT_EQ(OCI_ERROR, OCIObjectPin(env, err, bob, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE, &gone));
  EXPECT_EQ(21700, last_code());
  // A REF never fetched through a session has no row to reach.
  OCIRef* cleared = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIRefAssign(env, err, refs[0], &cleared));
  OCIRefClear(env, cleared);
  EXPECT_TRUE(OCIRefIsNull(env, cleared));
  for (OCIRef* ref : {refs[0], refs[1], parsed, bob, back, cleared}) EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, ref, 0));
}

TEST_F(ObjectRefTest, a_pin_with_an_exclusive_lock_holds_the_row_against_other_sessions) {
  OCIRef* ann = ref_of("Ann");
  pin(ann, kLockExclusive);
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  EXPECT_EQ(OCI_ERROR, run("SELECT name FROM people WHERE name = 'Ann' FOR UPDATE NOWAIT", other));
  EXPECT_EQ(54, last_code());
  must_run("COMMIT");
  EXPECT_EQ(OCI_SUCCESS, run("SELECT name FROM people WHERE name = 'Ann' FOR UPDATE NOWAIT", other)) << last_error();
  OCILogoff(other, err);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, ann, 0));
}

TEST_F(ObjectRefTest, refs_bind_into_dml_and_come_back_from_blocks) {
  OCIRef* bob = ref_of("Bob");
  OCIStmt* stmt = prepare("INSERT INTO jobs VALUES (3, :r)");
  OCIBind* bind = nullptr;
  sb2 indicator = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":r"), 2, &bob, sizeof bob, SQLT_REF, &indicator,
                                       nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, named_type("PERSON_T"), reinterpret_cast<void**>(&bob), nullptr,
                                       nullptr, nullptr))
      << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  indicator = -1;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<std::string>{"Bob", "<null>"}), column_texts("SELECT j.who.name FROM jobs j ORDER BY rowid"));

  // OUT: the block selects a REF into the bind; the client makes the REF when the slot is empty.
  OCIRef* out = nullptr;
  stmt = prepare("BEGIN SELECT REF(p) INTO :r FROM people p WHERE p.name = 'Ann'; END;");
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":r"), 2, &out, sizeof out, SQLT_REF, &indicator,
                                       nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, nullptr, reinterpret_cast<void**>(&out), nullptr, nullptr, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  ASSERT_NE(nullptr, out);
  EXPECT_EQ(0, indicator);
  EXPECT_EQ("Ann", name_of(pin(out)));
  // An IN OUT REF passes through a block unchanged.
  stmt = prepare("DECLARE r REF person_t; BEGIN r := :r; :r := r; END;");
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":r"), 2, &bob, sizeof bob, SQLT_REF, &indicator,
                                       nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, nullptr, reinterpret_cast<void**>(&bob), nullptr, nullptr, nullptr));
  indicator = 0;
  EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("Bob", name_of(pin(bob)));
  for (OCIRef* ref : {bob, out}) EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, ref, 0));
}

TEST_F(ObjectRefTest, ref_attributes_of_stored_objects_are_kept) {
  must_run("CREATE TYPE task_t AS OBJECT (title VARCHAR2(10), owner REF person_t)");
  must_run("CREATE TABLE tasks (id NUMBER, t task_t)");
  must_run("INSERT INTO tasks VALUES (1, task_t('dig', (SELECT REF(p) FROM people p WHERE p.name = 'Bob')))");
  void* nulls = nullptr;
  void* task = fetch_object("SELECT t FROM tasks", "TASK_T", &nulls);
  ASSERT_NE(nullptr, task);
  auto* owner = *reinterpret_cast<OCIRef**>(static_cast<char*>(task) + 8);
  EXPECT_EQ(OCI_IND_NOTNULL, static_cast<OCIInd*>(nulls)[2]);
  ASSERT_FALSE(OCIRefIsNull(env, owner));
  EXPECT_EQ("Bob", name_of(pin(owner)));

  // Bound back, the instance stores the same REF.
  OCIStmt* stmt = prepare("INSERT INTO tasks VALUES (2, :t)");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":t"), 2, nullptr, 0, SQLT_NTY, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, named_type("TASK_T"), &task, nullptr, &nulls, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("1", single_text("SELECT count(*) FROM tasks a, tasks b WHERE a.id = 1 AND b.id = 2 AND "
                             "a.t.owner = b.t.owner AND a.t.owner IS NOT NULL"));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, task, 0));
}

// Stored text is outside input: what names no row reads as a null REF, or as one that dangles.
TEST_F(ObjectRefTest, stored_text_that_names_no_row_gives_null_or_dangling_refs) {
  must_run("CREATE TYPE task_t AS OBJECT (title VARCHAR2(10), owner REF person_t)");
  must_run("CREATE TABLE tasks (id NUMBER, t task_t)");
  must_run("INSERT INTO jobs VALUES (1, 'SCOTT.PEOPLE:0123456789ABCDEF0123456789ABCDEF')");
  must_run("INSERT INTO jobs VALUES (2, 'not a ref')");
  must_run("INSERT INTO jobs VALUES (3, 'SCOTT.PEOPLE:0123456789abcdef0123456789abcdeg')");
  OCIRef* refs[3] = {nullptr, nullptr, nullptr};
  sb2 indicators[3] = {5, 5, 5};
  OCIStmt* stmt = define_refs("SELECT who FROM jobs ORDER BY id", refs, indicators);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 3, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<sb2>{0, -1, -1}), (std::vector<sb2>{indicators[0], indicators[1], indicators[2]}));
  void* gone = nullptr;
  EXPECT_EQ(OCI_ERROR, OCIObjectPin(env, err, refs[0], nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE, &gone));
  EXPECT_EQ(21700, last_code());
  EXPECT_EQ("<null>", single_text("SELECT j.who.name FROM jobs j WHERE id = 1"));
  must_run("INSERT INTO tasks VALUES (1, '[\"x\", \"SCOTT.NOWHERE:0123456789ABCDEF0123456789ABCDEF\"]')");
  void* nulls = nullptr;
  void* task = fetch_object("SELECT t FROM tasks", "TASK_T", &nulls);
  ASSERT_NE(nullptr, task);
  EXPECT_EQ(OCI_ERROR, OCIObjectPin(env, err, *reinterpret_cast<OCIRef**>(static_cast<char*>(task) + 8), nullptr,
                                    OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE, &gone));
  EXPECT_EQ(21700, last_code());
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, task, 0));
  for (OCIRef* ref : refs) EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, ref, 0));
}

TEST_F(ObjectRefTest, object_tables_made_before_identifiers_get_them_at_the_next_logon) {
  OCILogoff(svc, err);
  svc = nullptr;
  // Take the identifiers away, as in a database from before they existed.
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(database.c_str(), &db));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "DROP TRIGGER \"OCIEMU$OID#SCOTT.PEOPLE#I\"; DROP TRIGGER "
                                        "\"OCIEMU$OID#SCOTT.PEOPLE#D\"; DROP TABLE \"OCIEMU$OIDS\"",
                                    nullptr, nullptr, nullptr));
  sqlite3_close(db);
  svc = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, svc) << last_error();
  EXPECT_EQ("2", single_text("SELECT count(DISTINCT REF(p)) FROM people p"));
  must_run("INSERT INTO people VALUES ('Dee', 3)");
  EXPECT_NE("<null>", single_text("SELECT REF(p) FROM people p WHERE name = 'Dee'"));
  // Dropping the table forgets it as an object table: it can be made again.
  must_run("DROP TABLE people");
  must_run("CREATE TABLE people OF person_t");
  EXPECT_EQ("0", single_text("SELECT count(*) FROM people"));
}

}  // namespace
}  // namespace ociemu::testing
