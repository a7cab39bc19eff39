// Object columns and object tables through the C entries: constructors and
// attribute access in SQL, describe, SQLT_NTY defines into client instances
// and OCIBindObject binds into DML.
#include <cstring>

#include "ociemu/tests/api/oci_test_support.h"

extern "C" {
ub4 OCIStringSize(OCIEnv* env, const OCIString* vs);
}

namespace ociemu::testing {
namespace {

// The 8-byte-pointer layout of ADDRESS_T (CITY VARCHAR2, ZIP NUMBER(5)) and of
// HOLDER_T (ID NUMBER, HOME ADDRESS_T, BORN DATE, TAGS TAGS_T).
constexpr size_t kCity = 0, kZip = 8;
constexpr size_t kHolderId = 0, kHomeCity = 24, kHomeZip = 32, kBorn = 54, kTags = 64;

class ObjectColumnTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TYPE address_t AS OBJECT (city VARCHAR2(30), zip NUMBER(5))");
    must_run("CREATE TABLE places (id NUMBER, addr address_t)");
  }

  std::string string_at(void* instance, size_t offset) {
    OCIString* value = *reinterpret_cast<OCIString**>(static_cast<char*>(instance) + offset);
    return std::string(reinterpret_cast<char*>(OCIStringPtr(env, value)), OCIStringSize(env, value));
  }

  int number_at(void* instance, size_t offset) {
    int value = 0;
    EXPECT_EQ(OCI_SUCCESS, OCINumberToInt(err, reinterpret_cast<OCINumber*>(static_cast<char*>(instance) + offset),
                                          sizeof value, OCI_NUMBER_SIGNED, &value))
        << last_error();
    return value;
  }

  // Fetches `sql`'s first column as objects of `type`, `rows` at a time into reused instance slots.
  OCIStmt* define_objects(const std::string& sql, const std::string& type, void** instances, void** nulls) {
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, nullptr, 0, SQLT_NTY, nullptr, nullptr, nullptr,
                                          OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIDefineObject(define, err, type_by_name(type), instances, nullptr, nulls, nullptr))
        << last_error();
    return stmt;
  }
};

TEST_F(ObjectColumnTest, constructed_rows_read_back_through_attributes_describe_and_object_defines) {
  must_run("INSERT INTO places VALUES (1, address_t('Oslo', 1234))");
  must_run("INSERT INTO places VALUES (2, NULL)");
  must_run("INSERT INTO places VALUES (3, address_t(NULL, 5))");
  EXPECT_EQ((std::vector<std::string>{"Oslo", "<null>", "<null>"}),
            column_texts("SELECT p.addr.city FROM places p ORDER BY id"));
  EXPECT_EQ("5", single_text("SELECT p.addr.zip FROM places p WHERE p.addr.zip > 1000 OR id = 3 ORDER BY id DESC"));

  OCIStmt* stmt = prepare("SELECT addr FROM places ORDER BY id");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY));
  OCIParam* column = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&column), 1));
  ub2 type = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(column, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err));
  EXPECT_EQ(SQLT_NTY, type);
  OraText* name = nullptr;
  ub4 size = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(column, OCI_DTYPE_PARAM, &name, &size, OCI_ATTR_TYPE_NAME, err));
  EXPECT_EQ("ADDRESS_T", std::string(reinterpret_cast<char*>(name), size));
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(column, OCI_DTYPE_PARAM, &name, &size, OCI_ATTR_SCHEMA_NAME, err));
  EXPECT_EQ("SCOTT", std::string(reinterpret_cast<char*>(name), size));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  void* instances[2] = {nullptr, nullptr};
  void* nulls[2] = {nullptr, nullptr};
  stmt = define_objects("SELECT addr FROM places ORDER BY id", "ADDRESS_T", instances, nulls);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  ASSERT_NE(nullptr, instances[0]);
  ASSERT_NE(nullptr, instances[1]);
  auto* first = static_cast<OCIInd*>(nulls[0]);
  EXPECT_EQ(OCI_IND_NOTNULL, first[0]);
  EXPECT_EQ("Oslo", string_at(instances[0], kCity));
  EXPECT_EQ(1234, number_at(instances[0], kZip));
  EXPECT_EQ(OCI_IND_NULL, static_cast<OCIInd*>(nulls[1])[0]);
  // The next fetch refills the same instances, as the client's cache reuses them.
  void* kept = instances[0];
  ASSERT_EQ(OCI_NO_DATA, OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_EQ(kept, instances[0]);
  EXPECT_EQ(OCI_IND_NOTNULL, first[0]);
  EXPECT_EQ(OCI_IND_NULL, first[1]);  // CITY of address_t(NULL, 5)
  EXPECT_EQ(OCI_IND_NOTNULL, first[2]);
  EXPECT_EQ(5, number_at(instances[0], kZip));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  for (void* instance : instances) EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectColumnTest, a_constructor_in_a_select_list_fetches_as_an_instance) {
  void* instance = nullptr;
  void* nulls = nullptr;
  OCIStmt* stmt = define_objects("SELECT address_t('Bergen', 5003) FROM dual", "ADDRESS_T", &instance, &nulls);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  ASSERT_NE(nullptr, instance);
  EXPECT_EQ(OCI_IND_NOTNULL, static_cast<OCIInd*>(nulls)[0]);
  EXPECT_EQ("Bergen", string_at(instance, kCity));
  EXPECT_EQ(5003, number_at(instance, kZip));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectColumnTest, a_bound_instance_is_stored_with_its_null_attributes) {
  void* instance = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_OBJECT, type_by_name("ADDRESS_T"), nullptr,
                                      OCI_DURATION_SESSION, 1, &instance));
  void* null_struct = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, instance, &null_struct));
  auto* nulls = static_cast<OCIInd*>(null_struct);
  auto* city = reinterpret_cast<OCIString**>(static_cast<char*>(instance) + kCity);
  ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text("Bergen \"5\""), 10, city));
  int zip = 5003;
  ASSERT_EQ(OCI_SUCCESS, OCINumberFromInt(err, &zip, sizeof zip, OCI_NUMBER_SIGNED,
                                          reinterpret_cast<OCINumber*>(static_cast<char*>(instance) + kZip)));
  nulls[0] = OCI_IND_NOTNULL;
  nulls[1] = OCI_IND_NOTNULL;  // ZIP stays null

  OCIStmt* stmt = prepare("INSERT INTO places VALUES (:id, :addr)");
  int id = 7;
  OCIBind* id_bind = nullptr;
  OCIBind* addr_bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &id_bind, err, 1, &id, sizeof id, SQLT_INT, nullptr, nullptr, nullptr, 0,
                                      nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &addr_bind, err, 2, nullptr, 0, SQLT_NTY, nullptr, nullptr, nullptr, 0,
                                      nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindObject(addr_bind, err, type_by_name("ADDRESS_T"), &instance, nullptr, &null_struct,
                                       nullptr))
      << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  // A null object: the object's own indicator.
  nulls[0] = OCI_IND_NULL;
  id = 8;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<std::string>{"Bergen \"5\":<null>", "<null>"}),
            column_texts("SELECT nvl2(p.addr, p.addr.city || ':' || nvl(to_char(p.addr.zip), '<null>'), '<null>') "
                         "FROM places p ORDER BY id"));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectColumnTest, nested_objects_dates_and_collections_round_trip) {
  must_run("CREATE TYPE tags_t AS VARRAY(5) OF VARCHAR2(10)");
  must_run("CREATE TYPE holder_t AS OBJECT (id NUMBER, home address_t, born DATE, tags tags_t)");
  must_run("CREATE TABLE holders (h holder_t)");
  must_run("INSERT INTO holders VALUES (holder_t(42, address_t('Rome', 100), TO_DATE('2001-02-03 04:05:06', "
           "'YYYY-MM-DD HH24:MI:SS'), tags_t('a', 'bc')))");
  EXPECT_EQ("Rome", single_text("SELECT x.h.home.city FROM holders x"));
  EXPECT_EQ("2001-02-03", single_text("SELECT to_char(x.h.born, 'YYYY-MM-DD') FROM holders x"));

  void* instance = nullptr;
  void* nulls = nullptr;
  OCIStmt* stmt = define_objects("SELECT h FROM holders", "HOLDER_T", &instance, &nulls);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(42, number_at(instance, kHolderId));
  EXPECT_EQ("Rome", string_at(instance, kHomeCity));
  EXPECT_EQ(100, number_at(instance, kHomeZip));
  OCIDate born;
  std::memcpy(&born, static_cast<char*>(instance) + kBorn, sizeof born);
  EXPECT_EQ(2001, born.OCIDateYYYY);
  EXPECT_EQ(6, born.OCIDateTime.OCITimeSS);
  auto* tags = *reinterpret_cast<OCIColl**>(static_cast<char*>(instance) + kTags);
  sb4 count = 0;
  ASSERT_EQ(OCI_SUCCESS, OCICollSize(env, err, tags, &count));
  ASSERT_EQ(2, count);
  boolean exists = 0;
  void* elem = nullptr;
  void* ind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCICollGetElem(env, err, tags, 1, &exists, &elem, &ind));
  EXPECT_STREQ("bc", reinterpret_cast<char*>(OCIStringPtr(env, *static_cast<OCIString**>(elem))));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  // The fetched instance binds back unchanged.
  stmt = prepare("INSERT INTO holders VALUES (:h)");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":h"), 2, nullptr, 0, SQLT_NTY, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, type_by_name("HOLDER_T"), &instance, nullptr, &nulls, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<std::string>{"2"}),
            column_texts("SELECT count(*) FROM holders x GROUP BY x.h.home.city || x.h.id || to_char(x.h.born)"));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectColumnTest, an_update_sets_one_attribute_through_the_alias_and_keeps_the_others) {
  must_run("INSERT INTO places VALUES (1, address_t('Oslo', 1234))");
  must_run("INSERT INTO places VALUES (2, address_t('Rome', 100))");
  must_run("UPDATE places p SET p.addr.city = 'Bergen', id = 10 WHERE p.addr.zip = 1234");
  must_run("UPDATE places p SET p.addr.zip = p.addr.zip + 1");
  must_run("UPDATE places x SET x.addr.city = NULL WHERE x.id = 2");
  EXPECT_EQ((std::vector<std::string>{"2:/101", "10:Bergen/1235"}),
            column_texts("SELECT p.id || ':' || p.addr.city || '/' || p.addr.zip FROM places p ORDER BY p.id"));
  must_run("CREATE TYPE box_t AS OBJECT (id NUMBER, home address_t)");
  must_run("CREATE TABLE boxes (b box_t)");
  must_run("INSERT INTO boxes VALUES (box_t(7, address_t('Turin', 5)))");
  must_run("UPDATE boxes x SET x.b.home.city = upper(x.b.home.city) || '!'");
  EXPECT_EQ("7 TURIN! 5", single_text("SELECT x.b.id || ' ' || x.b.home.city || ' ' || x.b.home.zip FROM boxes x"));
  EXPECT_EQ(OCI_ERROR, run("UPDATE places p SET p.addr.street = 'x'"));
  EXPECT_EQ(904, last_code());
}

TEST_F(ObjectColumnTest, an_object_table_has_its_attributes_as_columns_and_can_be_pinned) {
  must_run("CREATE TABLE addresses OF address_t");
  must_run("INSERT INTO addresses VALUES ('Lima', 15001)");
  EXPECT_EQ("Lima:15001", single_text("SELECT city || ':' || zip FROM addresses"));
  void* table = nullptr;
  const std::string name = "ADDRESSES";
  ASSERT_EQ(OCI_SUCCESS, OCIObjectPinTable(env, err, svc, nullptr, 0, text(name), len(name), nullptr,
                                           OCI_DURATION_SESSION, &table))
      << last_error();
  void* instance = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_OBJECT, type_by_name("ADDRESS_T"), table,
                                      OCI_DURATION_SESSION, 0, &instance));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectMarkUpdate(env, err, instance));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectUnmark(env, err, instance));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
  EXPECT_EQ(OCI_ERROR, run("DROP TYPE address_t"));
  EXPECT_EQ(2303, last_code());
  const std::string plain = "PLACES_MISSING";
  EXPECT_EQ(OCI_ERROR, OCIObjectPinTable(env, err, svc, nullptr, 0, text(plain), len(plain), nullptr,
                                         OCI_DURATION_SESSION, &table));
  EXPECT_EQ(4043, last_code());
}

TEST_F(ObjectColumnTest, xmltype_columns_keep_their_text_for_sql_and_for_xmltype_instances) {
  must_run("CREATE TYPE doc_t AS OBJECT (id NUMBER, body SYS.XMLTYPE)");
  must_run("CREATE TABLE docs (n NUMBER, x XMLTYPE, d doc_t)");
  must_run("INSERT INTO docs VALUES (1, XMLTYPE('<a>1</a>'), doc_t(7, sys.xmltype.createxml('<b/>')))");
  must_run("INSERT INTO docs VALUES (2, NULL, NULL)");
  EXPECT_EQ("<a>1</a>", single_text("SELECT t.x.getclobval() FROM docs t WHERE n = 1"));
  EXPECT_EQ("<a>1</a>", single_text("SELECT t.x.getstringval() FROM docs t WHERE n = 1"));

  void* instances[2] = {nullptr, nullptr};
  void* nulls[2] = {nullptr, nullptr};
  OCIStmt* stmt = define_objects("SELECT x FROM docs ORDER BY n", "SYS.XMLTYPE", instances, nulls);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  EXPECT_EQ(OCI_IND_NOTNULL, static_cast<OCIInd*>(nulls[0])[0]);
  EXPECT_EQ(OCI_IND_NULL, static_cast<OCIInd*>(nulls[1])[0]);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  // Bound back, the instance stores its text.
  stmt = prepare("INSERT INTO docs (n, x) VALUES (3, :x)");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, nullptr, 0, SQLT_NTY, nullptr, nullptr, nullptr, 0, nullptr,
                                      OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, type_by_name("SYS.XMLTYPE"), &instances[0], nullptr, &nulls[0],
                                       nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("<a>1</a>", single_text("SELECT t.x.getclobval() FROM docs t WHERE n = 3"));

  // Inside an object the XMLType attribute is a pointer to an instance of its own.
  void* doc = nullptr;
  void* doc_nulls = nullptr;
  stmt = define_objects("SELECT d FROM docs WHERE n = 1", "DOC_T", &doc, &doc_nulls);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  void* body = *reinterpret_cast<void**>(static_cast<char*>(doc) + 24);
  void* body_nulls = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, body, &body_nulls)) << last_error();
  EXPECT_EQ(OCI_IND_NOTNULL, static_cast<OCIInd*>(body_nulls)[0]);
  EXPECT_EQ(OCI_IND_NOTNULL, static_cast<OCIInd*>(doc_nulls)[2]);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  for (void* instance : {instances[0], instances[1], doc}) EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectColumnTest, raw_attributes_round_trip_from_constructors_and_bound_instances) {
  must_run("CREATE TYPE bytes_t AS OBJECT (id NUMBER, data RAW(16))");
  must_run("CREATE TABLE byte_rows (n NUMBER, b bytes_t)");
  must_run("INSERT INTO byte_rows VALUES (1, bytes_t(1, hextoraw('0AFF')))");
  must_run("INSERT INTO byte_rows VALUES (3, bytes_t(3, NULL))");

  void* bound = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_OBJECT, type_by_name("BYTES_T"), nullptr,
                                      OCI_DURATION_SESSION, 1, &bound));
  void* bound_nulls = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, bound, &bound_nulls));
  int id = 2;
  ASSERT_EQ(OCI_SUCCESS, OCINumberFromInt(err, &id, sizeof id, OCI_NUMBER_SIGNED, static_cast<OCINumber*>(bound)));
  const ub1 bytes[] = {0x0A, 0xFF};
  ASSERT_EQ(OCI_SUCCESS, OCIRawAssignBytes(env, err, bytes, 2, reinterpret_cast<OCIRaw**>(static_cast<char*>(bound) + 24)));
  for (int k = 0; k < 3; ++k) static_cast<OCIInd*>(bound_nulls)[k] = OCI_IND_NOTNULL;
  OCIStmt* stmt = prepare("INSERT INTO byte_rows VALUES (2, :b)");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, nullptr, 0, SQLT_NTY, nullptr, nullptr, nullptr, 0, nullptr,
                                      OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, type_by_name("BYTES_T"), &bound, nullptr, &bound_nulls, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  void* instances[3] = {nullptr, nullptr, nullptr};
  void* nulls[3] = {nullptr, nullptr, nullptr};
  stmt = define_objects("SELECT b FROM byte_rows ORDER BY n", "BYTES_T", instances, nulls);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 3, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(row + 1, number_at(instances[row], 0));
    OCIRaw* raw = *reinterpret_cast<OCIRaw**>(static_cast<char*>(instances[row]) + 24);
    ASSERT_EQ(2u, OCIRawSize(env, raw)) << "row " << row;
    EXPECT_EQ(0x0A, OCIRawPtr(env, raw)[0]);
    EXPECT_EQ(0xFF, OCIRawPtr(env, raw)[1]);
  }
  EXPECT_EQ(OCI_IND_NULL, static_cast<OCIInd*>(nulls[2])[2]);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  for (void* instance : {instances[0], instances[1], instances[2], bound})
    EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectColumnTest, an_array_insert_through_a_constructor_fills_an_object_table) {
  must_run("CREATE TYPE point_t AS OBJECT (x NUMBER, y NUMBER)");
  must_run("CREATE TABLE points OF point_t");
  OCIStmt* stmt = prepare("INSERT INTO points VALUES (point_t(:x, :y))");
  int xs[5] = {1, 2, 3, 4, 5};
  int ys[5] = {10, 20, 30, 40, 50};
  OCIBind* x_bind = nullptr;
  OCIBind* y_bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &x_bind, err, text(":x"), 2, xs, sizeof xs[0], SQLT_INT, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &y_bind, err, text(":y"), 2, ys, sizeof ys[0], SQLT_INT, nullptr, nullptr,
                                       nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 5, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  ub4 rows = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(stmt, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, err));
  EXPECT_EQ(5u, rows);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((std::vector<std::string>{"1:10", "2:20", "3:30", "4:40", "5:50"}),
            column_texts("SELECT x || ':' || y FROM points ORDER BY x"));
}

TEST_F(ObjectColumnTest, a_block_reads_a_bound_xmltype_into_a_clob_through_its_methods) {
  const std::string block =
      "declare\n"
      "  kvell_object sys.xmltype;\n"
      "  xmldata clob;\n"
      "begin\n"
      "  kvell_object := :kvell_object;\n"
      "  xmldata := kvell_object.getclobval();\n"
      "  sys.dbms_lob.trim(:xmldata, 0);\n"
      "  sys.dbms_lob.append(:xmldata, xmldata);\n"
      "end;";
  must_run("CREATE TABLE xml_docs (n NUMBER, x XMLTYPE)");
  must_run("INSERT INTO xml_docs VALUES (1, XMLTYPE('<r><a>1</a></r>'))");
  void* document = nullptr;
  void* document_nulls = nullptr;
  OCIStmt* stmt = define_objects("SELECT x FROM xml_docs", "SYS.XMLTYPE", &document, &document_nulls);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);

  OCILobLocator* clob = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, reinterpret_cast<void**>(&clob), OCI_DTYPE_LOB, 0, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCILobCreateTemporary(svc, err, clob, 0, SQLCS_IMPLICIT, OCI_TEMP_CLOB, 0,
                                               OCI_DURATION_SESSION));
  ub4 amount = 5;
  char stale[] = "stale";
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite(svc, err, clob, &amount, 1, stale, 5, OCI_ONE_PIECE, nullptr, nullptr, 0, 1));
  stmt = prepare(block);
  OCIBind* object_bind = nullptr;
  OCIBind* clob_bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &object_bind, err, text(":kvell_object"), 13, nullptr, 0, SQLT_NTY,
                                       nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindObject(object_bind, err, type_by_name("SYS.XMLTYPE"), &document, nullptr,
                                       &document_nulls, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &clob_bind, err, text(":xmldata"), 8, &clob, sizeof clob, SQLT_CLOB,
                                       nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  char buffer[64] = {};
  amount = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobRead(svc, err, clob, &amount, 1, buffer, sizeof buffer, nullptr, nullptr, 0, 1))
      << last_error();
  EXPECT_EQ("<r><a>1</a></r>", std::string(buffer, amount));

  // getstringval() reads the same text, here into a VARCHAR2 out bind.
  stmt = prepare("declare d xmltype := :kvell_object; begin :s := d.getstringval(); end;");
  char out[64] = {};
  sb2 out_indicator = 0;
  OCIBind* out_bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &object_bind, err, text(":kvell_object"), 13, nullptr, 0, SQLT_NTY,
                                       nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindObject(object_bind, err, type_by_name("SYS.XMLTYPE"), &document, nullptr,
                                       &document_nulls, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &out_bind, err, text(":s"), 2, out, sizeof out, SQLT_STR, &out_indicator,
                                       nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_STREQ("<r><a>1</a></r>", out);
  EXPECT_EQ(OCI_SUCCESS, OCILobFreeTemporary(svc, err, clob));
  OCIDescriptorFree(clob, OCI_DTYPE_LOB);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, document, 0));
}

}  // namespace
}  // namespace ociemu::testing
