// CLOB and BLOB attributes of stored objects and collections through the C
// entries: constructors, attribute access, locators in fetched instances that
// read and (on locked rows) write the stored value, and instances bound back.
#include <cstring>

#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

// DOC_T (ID NUMBER, BODY CLOB, PIC BLOB) with 8-byte pointers; null indicators object, ID, BODY, PIC.
constexpr size_t kBody = 24, kPic = 32;
constexpr size_t kBodyNull = 2, kPicNull = 3;

class ObjectLobTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TYPE doc_t AS OBJECT (id NUMBER, body CLOB, pic BLOB)");
    must_run("CREATE TABLE docs (id NUMBER, d doc_t)");
    must_run("INSERT INTO docs VALUES (1, doc_t(1, 'hello', HEXTORAW('0102FF')))");
    must_run("INSERT INTO docs VALUES (2, doc_t(2, EMPTY_CLOB(), EMPTY_BLOB()))");
    must_run("INSERT INTO docs VALUES (3, doc_t(3, NULL, NULL))");
    must_run("COMMIT");
  }

  void TearDown() override {
    for (OCIStmt* stmt : statements) OCIHandleFree(stmt, OCI_HTYPE_STMT);
    for (void* instance : instances) OCIObjectFree(env, err, instance, 0);
    for (OCILobLocator* locator : locators) OCIDescriptorFree(locator, OCI_DTYPE_LOB);
    OciTest::TearDown();
  }

  // Runs sql and fetches its first row's first column into a new instance of type.
  void* fetch_object(const std::string& sql, const std::string& type, OCIInd** nulls) {
    OCIStmt* stmt = prepare(sql);
    statements.push_back(stmt);
    void* instance = nullptr;
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, nullptr, 0, SQLT_NTY, nullptr, nullptr, nullptr,
                                          OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIDefineObject(define, err, type_by_name(type), &instance, nullptr,
                                           reinterpret_cast<void**>(nulls), nullptr))
        << last_error();
    EXPECT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT)) << last_error();
    instances.push_back(instance);
    return instance;
  }

  // Runs sql and fetches its first row's LOB column into a new locator; the statement stays open.
  OCILobLocator* fetch_locator(const std::string& sql, ub2 dty) {
    void* locator = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, &locator, OCI_DTYPE_LOB, 0, nullptr));
    locators.push_back(static_cast<OCILobLocator*>(locator));
    OCIStmt* stmt = prepare(sql);
    statements.push_back(stmt);
    OCIDefine* define = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, &locators.back(), sizeof(void*), dty, &indicator,
                                          nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    return locators.back();
  }

  static OCILobLocator* slot_locator(void* instance, size_t offset) {
    OCILobLocator* locator = nullptr;
    std::memcpy(&locator, static_cast<char*>(instance) + offset, sizeof locator);
    return locator;
  }

  std::string read_all(OCILobLocator* locator) {
    oraub8 bytes = 0, chars = 0;
    std::string buffer(1 << 16, '\0');
    sword rc = OCILobRead2(svc, err, locator, &bytes, &chars, 1, buffer.data(), buffer.size(), OCI_ONE_PIECE, nullptr,
                           nullptr, 0, SQLCS_IMPLICIT);
    EXPECT_EQ(OCI_SUCCESS, rc) << last_error();
    return buffer.substr(0, static_cast<size_t>(bytes));
  }

  sword write_at(OCILobLocator* locator, ub8 offset, const std::string& data) {
    oraub8 bytes = data.size(), chars = 0;
    return OCILobWrite2(svc, err, locator, &bytes, &chars, offset, const_cast<char*>(data.data()), data.size(),
                        OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT);
  }

  ub8 length_of(OCILobLocator* locator) {
    oraub8 length = 99;
    EXPECT_EQ(OCI_SUCCESS, OCILobGetLength2(svc, err, locator, &length)) << last_error();
    return length;
  }

  // Binds instance to the only placeholder of sql and runs it.
  void run_with_object(const std::string& sql, const std::string& type, void** instance, void** nulls) {
    OCIStmt* stmt = prepare(sql);
    OCIBind* bind = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, nullptr, 0, SQLT_NTY, nullptr, nullptr, nullptr, 0,
                                        nullptr, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, type_by_name(type), instance, nullptr, nulls, nullptr));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }

  std::vector<OCIStmt*> statements;
  std::vector<void*> instances;
  std::vector<OCILobLocator*> locators;
  sb2 indicator = 0;
};

TEST_F(ObjectLobTest, fetched_instances_hold_locators_that_read_the_stored_values) {
  OCIInd* nulls = nullptr;
  void* first = fetch_object("SELECT d FROM docs WHERE id = 1", "DOC_T", &nulls);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(OCI_IND_NOTNULL, nulls[kBodyNull]);
  EXPECT_EQ("hello", read_all(slot_locator(first, kBody)));
  EXPECT_EQ(std::string("\x01\x02\xff", 3), read_all(slot_locator(first, kPic)));
  boolean is_temporary = 1;
  ASSERT_EQ(OCI_SUCCESS, OCILobIsTemporary(env, err, slot_locator(first, kBody), &is_temporary));
  EXPECT_FALSE(is_temporary);

  void* empty = fetch_object("SELECT d FROM docs WHERE id = 2", "DOC_T", &nulls);
  EXPECT_EQ(OCI_IND_NOTNULL, nulls[kBodyNull]);
  EXPECT_EQ(0u, length_of(slot_locator(empty, kBody)));
  EXPECT_EQ(0u, length_of(slot_locator(empty, kPic)));

  fetch_object("SELECT d FROM docs WHERE id = 3", "DOC_T", &nulls);
  EXPECT_EQ(OCI_IND_NULL, nulls[kBodyNull]);
  EXPECT_EQ(OCI_IND_NULL, nulls[kPicNull]);

  // A computed object has no row: its LOBs are temporary values of the instance.
  void* computed = fetch_object("SELECT doc_t(9, 'made here', NULL) FROM dual", "DOC_T", &nulls);
  EXPECT_EQ("made here", read_all(slot_locator(computed, kBody)));
  ASSERT_EQ(OCI_SUCCESS, OCILobIsTemporary(env, err, slot_locator(computed, kBody), &is_temporary));
  EXPECT_TRUE(is_temporary);
}

TEST_F(ObjectLobTest, an_attribute_locator_writes_its_row_only_when_the_row_is_locked) {
  OCIInd* nulls = nullptr;
  void* unlocked = fetch_object("SELECT d FROM docs WHERE id = 1", "DOC_T", &nulls);
  EXPECT_EQ(OCI_ERROR, write_at(slot_locator(unlocked, kBody), 1, "J"));
  EXPECT_EQ(22920, last_code());

  void* locked = fetch_object("SELECT d FROM docs WHERE id = 1 FOR UPDATE", "DOC_T", &nulls);
  ASSERT_EQ(OCI_SUCCESS, write_at(slot_locator(locked, kBody), 1, "HELLO, world")) << last_error();
  ASSERT_EQ(OCI_SUCCESS, write_at(slot_locator(locked, kPic), 4, std::string("\x07", 1))) << last_error();
  must_run("COMMIT");
  EXPECT_EQ("HELLO, world", single_text("SELECT p.d.body FROM docs p WHERE id = 1"));
  EXPECT_EQ("0102FF07", single_text("SELECT RAWTOHEX(p.d.pic) FROM docs p WHERE id = 1"));
  // The other attributes and rows are untouched.
  EXPECT_EQ("1", single_text("SELECT p.d.id FROM docs p WHERE id = 1"));
  EXPECT_EQ("<null>", single_text("SELECT p.d.body FROM docs p WHERE id = 3"));

  void* again = fetch_object("SELECT d FROM docs WHERE id = 1 FOR UPDATE", "DOC_T", &nulls);
  ASSERT_EQ(OCI_SUCCESS, write_at(slot_locator(again, kBody), 1, "gone")) << last_error();
  must_run("ROLLBACK");
  EXPECT_EQ("HELLO, world", single_text("SELECT p.d.body FROM docs p WHERE id = 1"));
}

TEST_F(ObjectLobTest, attribute_access_gives_a_lob_that_names_its_row) {
  OCIStmt* described = prepare("SELECT p.d.body, p.d.pic FROM docs p");
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, described, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY));
  for (ub4 position : {1u, 2u}) {
    OCIParam* column = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIParamGet(described, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&column), position));
    ub2 type = 0;
    ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(column, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err));
    EXPECT_EQ(position == 1 ? SQLT_CLOB : SQLT_BLOB, type);
  }
  OCIHandleFree(described, OCI_HTYPE_STMT);

  OCILobLocator* pic = fetch_locator("SELECT p.d.pic FROM docs p WHERE id = 1", SQLT_BLOB);
  EXPECT_EQ(std::string("\x01\x02\xff", 3), read_all(pic));
  OCILobLocator* empty = fetch_locator("SELECT p.d.pic FROM docs p WHERE id = 2", SQLT_BLOB);
  EXPECT_EQ(0, indicator);
  EXPECT_EQ(0u, length_of(empty));

  OCILobLocator* body = fetch_locator("SELECT p.d.body FROM docs p WHERE id = 2 FOR UPDATE", SQLT_CLOB);
  ASSERT_EQ(OCI_SUCCESS, write_at(body, 1, "written through the attribute")) << last_error();
  must_run("COMMIT");
  EXPECT_EQ("written through the attribute", single_text("SELECT p.d.body FROM docs p WHERE id = 2"));
  EXPECT_EQ("2", single_text("SELECT p.d.id FROM docs p WHERE id = 2"));
}

TEST_F(ObjectLobTest, a_bound_instance_stores_the_content_of_its_lob_attributes) {
  void* instance = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_OBJECT, type_by_name("DOC_T"), nullptr,
                                      OCI_DURATION_SESSION, 1, &instance));
  instances.push_back(instance);
  void* null_struct = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, instance, &null_struct));
  auto* nulls = static_cast<OCIInd*>(null_struct);
  int id = 7;
  ASSERT_EQ(OCI_SUCCESS, OCINumberFromInt(err, &id, sizeof id, OCI_NUMBER_SIGNED, static_cast<OCINumber*>(instance)));
  OCILobLocator* body = slot_locator(instance, kBody);
  OCILobLocator* pic = slot_locator(instance, kPic);
  ASSERT_NE(nullptr, body);
  ASSERT_EQ(OCI_SUCCESS, OCILobCreateTemporary(svc, err, body, 0, SQLCS_IMPLICIT, OCI_TEMP_CLOB, 1,
                                               OCI_DURATION_SESSION));
  ASSERT_EQ(OCI_SUCCESS, write_at(body, 1, "quote \" and \\ and\nline"));
  ASSERT_EQ(OCI_SUCCESS, OCILobCreateTemporary(svc, err, pic, 0, SQLCS_IMPLICIT, OCI_TEMP_BLOB, 1,
                                               OCI_DURATION_SESSION));
  ASSERT_EQ(OCI_SUCCESS, write_at(pic, 1, std::string("\0\x80\xff", 3)));
  for (size_t k = 0; k < 4; ++k) nulls[k] = OCI_IND_NOTNULL;
  run_with_object("INSERT INTO docs VALUES (7, :o)", "DOC_T", &instance, &null_struct);
  EXPECT_EQ("quote \" and \\ and\nline", single_text("SELECT p.d.body FROM docs p WHERE id = 7"));
  EXPECT_EQ("0080FF", single_text("SELECT RAWTOHEX(p.d.pic) FROM docs p WHERE id = 7"));

  // A fetched instance bound back copies its persistent LOBs by value.
  OCIInd* fetched_nulls = nullptr;
  void* fetched = fetch_object("SELECT d FROM docs WHERE id = 1", "DOC_T", &fetched_nulls);
  void* fetched_null_struct = fetched_nulls;
  run_with_object("UPDATE docs SET d = :o WHERE id = 3", "DOC_T", &fetched, &fetched_null_struct);
  EXPECT_EQ("hello", single_text("SELECT p.d.body FROM docs p WHERE id = 3"));

  // An attribute set null is stored null, whatever its locator holds.
  nulls[kBodyNull] = OCI_IND_NULL;
  run_with_object("UPDATE docs SET d = :o WHERE id = 7", "DOC_T", &instance, &null_struct);
  EXPECT_EQ("<null>", single_text("SELECT p.d.body FROM docs p WHERE id = 7"));
  EXPECT_EQ("0080FF", single_text("SELECT RAWTOHEX(p.d.pic) FROM docs p WHERE id = 7"));
}

TEST_F(ObjectLobTest, bound_locators_fill_constructor_attributes) {
  void* locator = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, &locator, OCI_DTYPE_LOB, 0, nullptr));
  auto* clob = static_cast<OCILobLocator*>(locator);
  ASSERT_EQ(OCI_SUCCESS, OCILobCreateTemporary(svc, err, clob, 0, SQLCS_IMPLICIT, OCI_TEMP_CLOB, 1,
                                               OCI_DURATION_SESSION));
  ASSERT_EQ(OCI_SUCCESS, write_at(clob, 1, "from a bound locator"));
  OCIStmt* stmt = prepare("INSERT INTO docs VALUES (8, doc_t(8, :c, NULL))");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, &clob, sizeof clob, SQLT_CLOB, nullptr, nullptr, nullptr, 0,
                                      nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(OCI_SUCCESS, OCILobFreeTemporary(svc, err, clob));
  OCIDescriptorFree(clob, OCI_DTYPE_LOB);
  EXPECT_EQ("from a bound locator", single_text("SELECT p.d.body FROM docs p WHERE id = 8"));
  EXPECT_EQ("<null>", single_text("SELECT p.d.pic FROM docs p WHERE id = 8"));
}

TEST_F(ObjectLobTest, collection_elements_and_object_elements_keep_their_lobs) {
  must_run("CREATE TYPE texts_t AS TABLE OF CLOB");
  must_run("CREATE TYPE docs_t AS VARRAY(4) OF doc_t");
  must_run("CREATE TABLE shelves (id NUMBER, texts texts_t, items docs_t) NESTED TABLE texts STORE AS shelf_texts");
  must_run("INSERT INTO shelves VALUES (1, texts_t('one', NULL, 'three'), "
           "docs_t(doc_t(1, 'first body', NULL), doc_t(2, 'second body', HEXTORAW('AB'))))");
  must_run("COMMIT");

  OCIInd* nulls = nullptr;
  void* texts = fetch_object("SELECT texts FROM shelves FOR UPDATE", "TEXTS_T", &nulls);
  sb4 size = 0;
  ASSERT_EQ(OCI_SUCCESS, OCICollSize(env, err, static_cast<OCIColl*>(texts), &size));
  ASSERT_EQ(3, size);
  auto element = [&](void* coll, sb4 index, void** indicator_out) {
    boolean exists = 0;
    void* elem = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCICollGetElem(env, err, static_cast<OCIColl*>(coll), index, &exists, &elem, indicator_out));
    EXPECT_TRUE(exists);
    return elem;
  };
  void* third_indicator = nullptr;
  auto* third = *static_cast<OCILobLocator**>(element(texts, 2, &third_indicator));
  EXPECT_EQ("three", read_all(third));
  void* second_indicator = nullptr;
  element(texts, 1, &second_indicator);
  EXPECT_EQ(OCI_IND_NULL, *static_cast<OCIInd*>(second_indicator));
  ASSERT_EQ(OCI_SUCCESS, write_at(third, 6, "!")) << last_error();

  void* items = fetch_object("SELECT items FROM shelves FOR UPDATE", "DOCS_T", &nulls);
  void* second_doc = element(items, 1, nullptr);
  EXPECT_EQ("second body", read_all(slot_locator(second_doc, kBody)));
  EXPECT_EQ("\xab", read_all(slot_locator(second_doc, kPic)));
  ASSERT_EQ(OCI_SUCCESS, write_at(slot_locator(second_doc, kBody), 1, "SECOND")) << last_error();
  must_run("COMMIT");

  OCIInd* again_nulls = nullptr;
  void* again = fetch_object("SELECT items FROM shelves", "DOCS_T", &again_nulls);
  EXPECT_EQ("SECOND body", read_all(slot_locator(element(again, 1, nullptr), kBody)));
  EXPECT_EQ("first body", read_all(slot_locator(element(again, 0, nullptr), kBody)));
  void* texts_again = fetch_object("SELECT texts FROM shelves", "TEXTS_T", &again_nulls);
  EXPECT_EQ("three!", read_all(*static_cast<OCILobLocator**>(element(texts_again, 2, nullptr))));
}

}  // namespace
}  // namespace ociemu::testing
