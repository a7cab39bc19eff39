// Record and collection types declared in a package's head, as clients see them
// through the C entries: described by name and by descriptor with the PL/SQL
// type codes, built as instances with BOOLEAN attributes, and index-by tables
// with sparse keys.
#include "ociemu/api/test_hooks.h"
#include "ociemu/tests/api/oci_test_support.h"

extern "C" {
sword OCITableSize(OCIEnv* env, OCIError* err, const OCITable* tbl, sb4* size);
sword OCITableExists(OCIEnv* env, OCIError* err, const OCITable* tbl, sb4 index, boolean* exists);
}

namespace ociemu::testing {
namespace {

constexpr ub4 kAttrRefTdo = 110, kAttrTypecode = 216, kAttrCollectionTypecode = 217, kAttrCollectionElement = 227,
              kAttrNumTypeAttrs = 228, kAttrListTypeAttrs = 229, kAttrNumElems = 234;

class PackageTypeTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TYPE point_t AS OBJECT (x NUMBER, y NUMBER)");
    must_run(
        "CREATE OR REPLACE PACKAGE pkg AS\n"
        "  TYPE rec_t IS RECORD (id NUMBER(5), flag BOOLEAN, name VARCHAR2(20), born DATE);\n"
        "  TYPE numbers_t IS TABLE OF NUMBER INDEX BY PLS_INTEGER;\n"
        "  TYPE words_t IS TABLE OF VARCHAR2(10) INDEX BY BINARY_INTEGER;\n"
        "  TYPE nested_t IS TABLE OF VARCHAR2(10);\n"
        "  TYPE recs_t IS VARRAY(3) OF rec_t;\n"
        "  TYPE cursor_t IS REF CURSOR;\n"
        "  FUNCTION twice(n NUMBER) RETURN NUMBER;\n"
        "  FUNCTION make_record(n NUMBER) RETURN rec_t;\n"
        "  FUNCTION describe_record(r rec_t) RETURN VARCHAR2;\n"
        "  PROCEDURE bump(r IN OUT rec_t);\n"
        "  FUNCTION numbers_of(n NUMBER) RETURN numbers_t;\n"
        "  FUNCTION total(t numbers_t) RETURN VARCHAR2;\n"
        "  PROCEDURE double_all(t IN OUT numbers_t);\n"
        "  FUNCTION reversed(t nested_t) RETURN nested_t;\n"
        "END pkg;");
    must_run(
        "CREATE OR REPLACE PACKAGE BODY pkg AS\n"
        "  FUNCTION twice(n NUMBER) RETURN NUMBER IS BEGIN RETURN n * 2; END;\n"
        "  FUNCTION make_record(n NUMBER) RETURN rec_t IS\n"
        "    r rec_t;\n"
        "  BEGIN\n"
        "    r.id := n; r.flag := n > 5; r.name := 'n' || n; r.born := DATE '2024-02-03';\n"
        "    RETURN r;\n"
        "  END;\n"
        "  FUNCTION describe_record(r rec_t) RETURN VARCHAR2 IS\n"
        "  BEGIN\n"
        "    RETURN r.id || '/' || CASE WHEN r.flag THEN 'T' WHEN NOT r.flag THEN 'F' ELSE '-' END || '/' || r.name;\n"
        "  END;\n"
        "  PROCEDURE bump(r IN OUT rec_t) IS BEGIN r.id := r.id + 1; r.flag := NOT r.flag; END;\n"
        "  FUNCTION numbers_of(n NUMBER) RETURN numbers_t IS\n"
        "    t numbers_t;\n"
        "  BEGIN\n"
        "    FOR i IN 1 .. n LOOP t(i * 10) := i; END LOOP;\n"
        "    RETURN t;\n"
        "  END;\n"
        "  FUNCTION total(t numbers_t) RETURN VARCHAR2 IS\n"
        "    k PLS_INTEGER := t.FIRST; s NUMBER := 0; keys VARCHAR2(100);\n"
        "  BEGIN\n"
        "    WHILE k IS NOT NULL LOOP s := s + t(k); keys := keys || k || ','; k := t.NEXT(k); END LOOP;\n"
        "    RETURN keys || s;\n"
        "  END;\n"
        "  PROCEDURE double_all(t IN OUT numbers_t) IS\n"
        "    k PLS_INTEGER := t.FIRST;\n"
        "  BEGIN\n"
        "    WHILE k IS NOT NULL LOOP t(k) := t(k) * 2; k := t.NEXT(k); END LOOP;\n"
        "    t(-1) := 0;\n"
        "  END;\n"
        "  FUNCTION reversed(t nested_t) RETURN nested_t IS\n"
        "    r nested_t;\n"
        "  BEGIN\n"
        "    FOR i IN 1 .. t.COUNT LOOP r(i) := t(t.COUNT + 1 - i); END LOOP;\n"
        "    RETURN r;\n"
        "  END;\n"
        "END pkg;");
  }

  // Binds :name as an object of the type; *instance null lets the call make one.
  OCIBind* bind_object(OCIStmt* stmt, const std::string& name, const std::string& type, void** instance) {
    OCIBind* bind = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(name), static_cast<sb4>(name.size()), nullptr, 0,
                                         SQLT_NTY, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, type_by_name(type), instance, nullptr, nullptr, nullptr))
        << last_error();
    return bind;
  }

  // Binds :name as a VARCHAR2 output of up to 100 bytes.
  void bind_text_out(OCIStmt* stmt, const std::string& name, char (&buffer)[101]) {
    OCIBind* bind = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(name), static_cast<sb4>(name.size()), buffer,
                                         sizeof buffer, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  }

  sword execute(OCIStmt* stmt) { return OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT); }

  // Runs a block with a VARCHAR2 OUT bind `text_name` and an object bind `object_name` of the
  // type on *instance; the text it gives.
  std::string text_with_object(const std::string& block, const std::string& text_name, const std::string& object_name,
                               const std::string& type, void** instance) {
    OCIStmt* stmt = prepare(block);
    char given[101] = {0};
    bind_text_out(stmt, text_name, given);
    bind_object(stmt, object_name, type, instance);
    EXPECT_EQ(OCI_SUCCESS, execute(stmt)) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return given;
  }

  // Runs a block whose one bind :name is an OUT object of the type; the instance it made, or null.
  void* object_out_of(const std::string& block, const std::string& name, const std::string& type) {
    OCIStmt* stmt = prepare(block);
    void* instance = nullptr;
    bind_object(stmt, name, type, &instance);
    EXPECT_EQ(OCI_SUCCESS, execute(stmt)) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return instance;
  }

  // "SCHEMA.PACKAGE.NAME" of a type parameter, as a client builds a type's full name.
  std::string full_name(void* param, ub4 name_attribute = OCI_ATTR_NAME) {
    return text_attr(param, OCI_ATTR_SCHEMA_NAME) + "." + text_attr(param, OCI_ATTR_PACKAGE_NAME) + "." +
           text_attr(param, name_attribute);
  }

  OCINumber number(int value) {
    OCINumber out{};
    EXPECT_EQ(OCI_SUCCESS, OCINumberFromInt(err, &value, sizeof value, OCI_NUMBER_SIGNED, &out));
    return out;
  }

  int int_of(const void* value) {
    int out = 0;
    EXPECT_EQ(OCI_SUCCESS, OCINumberToInt(err, static_cast<const OCINumber*>(value), sizeof out, OCI_NUMBER_SIGNED, &out));
    return out;
  }

  // A new, empty index-by table of the named type.
  OCITable* new_table(const std::string& type) {
    OCIType* tdo = type_by_name(type);
    return tdo ? static_cast<OCITable*>(new_instance(tdo, OCI_TYPECODE_NAMEDCOLLECTION)) : nullptr;
  }

  void* new_instance(OCIType* tdo, OCITypeCode typecode) {
    void* instance = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, typecode, tdo, nullptr, OCI_DURATION_SESSION, 1, &instance))
        << last_error();
    return instance;
  }

  // The keys of an index-by table, walked as a client does: first, then next until none.
  std::vector<sb4> keys(OCITable* table) {
    std::vector<sb4> out;
    sb4 size = 0;
    EXPECT_EQ(OCI_SUCCESS, OCITableSize(env, err, table, &size));
    if (size == 0) return out;
    sb4 key = 0;
    EXPECT_EQ(OCI_SUCCESS, OCITableFirst(env, err, table, &key)) << last_error();
    for (boolean more = 1; more && out.size() < 100;) {
      out.push_back(key);
      EXPECT_EQ(OCI_SUCCESS, OCITableNext(env, err, key, table, &key, &more));
    }
    return out;
  }

  int number_at(OCITable* table, sb4 key) {
    boolean exists = 0;
    void* element = nullptr;
    void* indicator = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCICollGetElem(env, err, table, key, &exists, &element, &indicator));
    EXPECT_TRUE(exists) << key;
    return exists ? int_of(element) : -1;
  }
};

TEST_F(PackageTypeTest, a_record_describes_with_the_record_typecode_its_package_and_its_fields) {
  OCIDescribe* handle = nullptr;
  OCIParam* type = describe("PKG.REC_T", handle);
  ASSERT_NE(nullptr, type);
  EXPECT_EQ(OCI_TYPECODE_RECORD, attr<ub2>(type, kAttrTypecode));
  EXPECT_EQ("SCOTT", text_attr(type, OCI_ATTR_SCHEMA_NAME));
  EXPECT_EQ("REC_T", text_attr(type, OCI_ATTR_NAME));
  EXPECT_EQ("PKG", text_attr(type, OCI_ATTR_PACKAGE_NAME));
  EXPECT_EQ(4, attr<ub2>(type, kAttrNumTypeAttrs));
  EXPECT_EQ(OCI_ERROR, OCIAttrGet(type, OCI_DTYPE_PARAM, nullptr, nullptr, kAttrCollectionTypecode, err));

  auto* list = attr<OCIParam*>(type, kAttrListTypeAttrs);
  const std::vector<std::string> names{"ID", "FLAG", "NAME", "BORN"};
  const std::vector<ub2> typecodes{OCI_TYPECODE_NUMBER, OCI_TYPECODE_BOOLEAN, OCI_TYPECODE_VARCHAR2, 12};
  const std::vector<ub2> data_types{SQLT_NUM, SQLT_BOL, SQLT_CHR, SQLT_DAT};
  for (ub4 i = 0; i < names.size(); ++i) {
    OCIParam* field = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIParamGet(list, OCI_DTYPE_PARAM, err, reinterpret_cast<void**>(&field), i + 1));
    EXPECT_EQ(names[i], text_attr(field, OCI_ATTR_NAME));
    EXPECT_EQ(typecodes[i], attr<ub2>(field, kAttrTypecode)) << names[i];
    EXPECT_EQ(data_types[i], attr<ub2>(field, OCI_ATTR_DATA_TYPE)) << names[i];
    EXPECT_EQ("", text_attr(field, OCI_ATTR_PACKAGE_NAME)) << names[i];
    if (i == 0) {
      EXPECT_EQ(5, attr<ub1>(field, OCI_ATTR_PRECISION));
      EXPECT_EQ(0, attr<sb1>(field, OCI_ATTR_SCALE));
    }
    if (i == 2) {
      EXPECT_EQ(20, attr<ub2>(field, OCI_ATTR_DATA_SIZE));
    }
  }
  OCIHandleFree(handle, OCI_HTYPE_DESCRIBE);

  // With its owner, by descriptor, and by the REF a client pins before describing it again.
  OCIDescribe* qualified = nullptr;
  OCIParam* same = describe("scott.pkg.rec_t", qualified);
  ASSERT_NE(nullptr, same);
  EXPECT_EQ("SCOTT.PKG.REC_T", full_name(same));
  auto* ref = attr<OCIRef*>(same, kAttrRefTdo);
  void* pinned = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectPin(env, err, ref, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE, &pinned))
      << last_error();
  EXPECT_EQ(type_by_name("PKG.REC_T"), pinned);
  OCIDescribe* by_tdo = nullptr;
  OCIParam* again = describe("", by_tdo, OCI_OTYPE_PTR, pinned);
  ASSERT_NE(nullptr, again);
  EXPECT_EQ(OCI_TYPECODE_RECORD, attr<ub2>(again, kAttrTypecode));
  EXPECT_EQ("SCOTT.PKG.REC_T", full_name(again));
  OCIHandleFree(by_tdo, OCI_HTYPE_DESCRIBE);
  OCIHandleFree(qualified, OCI_HTYPE_DESCRIBE);
}

TEST_F(PackageTypeTest, collections_describe_as_index_by_nested_or_varray_with_their_elements) {
  struct Case {
    const char* name;
    ub2 collection;
    ub2 element;
  };
  for (const Case& c : {Case{"PKG.NUMBERS_T", OCI_TYPECODE_ITABLE, OCI_TYPECODE_NUMBER},
                        Case{"PKG.WORDS_T", OCI_TYPECODE_ITABLE, OCI_TYPECODE_VARCHAR2},
                        Case{"PKG.NESTED_T", 248, OCI_TYPECODE_VARCHAR2}, Case{"PKG.RECS_T", 247, OCI_TYPECODE_RECORD}}) {
    OCIDescribe* handle = nullptr;
    OCIParam* type = describe(c.name, handle);
    ASSERT_NE(nullptr, type) << c.name;
    EXPECT_EQ(OCI_TYPECODE_NAMEDCOLLECTION, attr<ub2>(type, kAttrTypecode)) << c.name;
    EXPECT_EQ(c.collection, attr<ub2>(type, kAttrCollectionTypecode)) << c.name;
    EXPECT_EQ("PKG", text_attr(type, OCI_ATTR_PACKAGE_NAME));
    auto* element = attr<OCIParam*>(type, kAttrCollectionElement);
    EXPECT_EQ(c.element, attr<ub2>(element, kAttrTypecode)) << c.name;
    if (c.element == OCI_TYPECODE_RECORD) {
      EXPECT_EQ(3u, attr<ub4>(element, kAttrNumElems));
      EXPECT_EQ(SQLT_REC, attr<ub2>(element, OCI_ATTR_DATA_TYPE));
      EXPECT_EQ("SCOTT.PKG.REC_T", full_name(element, OCI_ATTR_TYPE_NAME));
    }
    OCIHandleFree(handle, OCI_HTYPE_DESCRIBE);
  }
}

TEST_F(PackageTypeTest, names_that_are_no_package_type_fail_and_schema_types_still_come_first) {
  for (const char* missing : {"PKG.NO_SUCH_T", "NO_PKG.REC_T", "PKG.TWICE", "PKG.CURSOR_T", "OTHER.PKG.REC_T"}) {
    OCIDescribe* handle = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&handle), OCI_HTYPE_DESCRIBE, 0, nullptr));
    const std::string name = missing;
    EXPECT_EQ(OCI_ERROR, OCIDescribeAny(svc, err, const_cast<OraText*>(text(name)), len(name), OCI_OTYPE_NAME,
                                        OCI_DEFAULT, OCI_PTYPE_TYPE, handle));
    EXPECT_EQ(4043, last_code()) << missing;
    OCIHandleFree(handle, OCI_HTYPE_DESCRIBE);
  }
  OCIDescribe* handle = nullptr;
  OCIParam* point = describe("SCOTT.POINT_T", handle);
  ASSERT_NE(nullptr, point);
  EXPECT_EQ(OCI_TYPECODE_OBJECT, attr<ub2>(point, kAttrTypecode));
  EXPECT_EQ("", text_attr(point, OCI_ATTR_PACKAGE_NAME));
  OCIHandleFree(handle, OCI_HTYPE_DESCRIBE);
  // A package created after the session began is found at once.
  must_run("CREATE OR REPLACE PACKAGE pkg2 AS TYPE r IS RECORD (a NUMBER); END;");
  OCIDescribe* replaced = nullptr;
  OCIParam* record = describe("PKG2.R", replaced);
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(1, attr<ub2>(record, kAttrNumTypeAttrs));
  OCIHandleFree(replaced, OCI_HTYPE_DESCRIBE);
}

TEST_F(PackageTypeTest, a_record_instance_keeps_boolean_number_and_text_attributes) {
  // A BOOLEAN is a 4-byte boolean, aligned as one, after the 22-byte NUMBER.
  std::vector<ociemu_attribute_layout> slots(8);
  ASSERT_EQ(4, ociemu_type_layout(svc, "PKG.REC_T", 8, slots.data(), 8));
  EXPECT_STREQ("FLAG", slots[1].name);
  EXPECT_EQ(24u, slots[1].value_offset);
  EXPECT_EQ(32u, slots[2].value_offset);
  EXPECT_EQ(40u, slots[3].value_offset);

  OCIType* tdo = type_by_name("PKG.REC_T");
  ASSERT_NE(nullptr, tdo);
  void* record = new_instance(tdo, OCI_TYPECODE_RECORD);
  ASSERT_NE(nullptr, record);
  const std::string id = "ID", flag = "FLAG", name = "NAME";
  const OraText* id_name[] = {text(id)};
  const OraText* flag_name[] = {text(flag)};
  const OraText* name_name[] = {text(name)};
  const ub4 id_length = 2, flag_length = 4, name_length = 4;
  OCINumber seven = number(7);
  boolean yes = 1;
  OCIString* word = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text("seven"), 5, &word));
  ASSERT_EQ(OCI_SUCCESS, OCIObjectSetAttr(env, err, record, nullptr, tdo, id_name, &id_length, 1, nullptr, 0,
                                          OCI_IND_NOTNULL, nullptr, &seven));
  ASSERT_EQ(OCI_SUCCESS, OCIObjectSetAttr(env, err, record, nullptr, tdo, flag_name, &flag_length, 1, nullptr, 0,
                                          OCI_IND_NOTNULL, nullptr, &yes))
      << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCIObjectSetAttr(env, err, record, nullptr, tdo, name_name, &name_length, 1, nullptr, 0,
                                          OCI_IND_NOTNULL, nullptr, word));

  OCIInd indicator = OCI_IND_NULL;
  void* value = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetAttr(env, err, record, nullptr, tdo, flag_name, &flag_length, 1, nullptr, 0,
                                          &indicator, nullptr, &value, nullptr));
  EXPECT_EQ(OCI_IND_NOTNULL, indicator);
  EXPECT_EQ(1, *static_cast<boolean*>(value));
  EXPECT_EQ(static_cast<char*>(record) + 24, value);
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetAttr(env, err, record, nullptr, tdo, id_name, &id_length, 1, nullptr, 0,
                                          &indicator, nullptr, &value, nullptr));
  EXPECT_EQ(7, int_of(value));
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetAttr(env, err, record, nullptr, tdo, name_name, &name_length, 1, nullptr, 0,
                                          &indicator, nullptr, &value, nullptr));
  EXPECT_STREQ("seven", reinterpret_cast<char*>(OCIStringPtr(env, *static_cast<OCIString**>(value))));
  // A BOOLEAN set back to FALSE reads FALSE, not NULL.
  yes = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectSetAttr(env, err, record, nullptr, tdo, flag_name, &flag_length, 1, nullptr, 0,
                                          OCI_IND_NOTNULL, nullptr, &yes));
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetAttr(env, err, record, nullptr, tdo, flag_name, &flag_length, 1, nullptr, 0,
                                          &indicator, nullptr, &value, nullptr));
  EXPECT_EQ(OCI_IND_NOTNULL, indicator);
  EXPECT_EQ(0, *static_cast<boolean*>(value));
  OCIObjectFree(env, err, word, 0);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, record, 0));
}

TEST_F(PackageTypeTest, an_index_by_table_keeps_sparse_keys_in_order) {
  OCITable* table = new_table("PKG.NUMBERS_T");
  ASSERT_NE(nullptr, table);
  for (int key : {10, -5, 3}) {
    OCINumber value = number(key * 100);
    OCIInd present = OCI_IND_NOTNULL;
    ASSERT_EQ(OCI_SUCCESS, OCICollAssignElem(env, err, key, &value, &present, table)) << last_error();
  }
  EXPECT_EQ((std::vector<sb4>{-5, 3, 10}), keys(table));
  EXPECT_EQ(-500, number_at(table, -5));
  EXPECT_EQ(1000, number_at(table, 10));
  sb4 key = 0;
  boolean exists = 1;
  ASSERT_EQ(OCI_SUCCESS, OCITableLast(env, err, table, &key));
  EXPECT_EQ(10, key);
  ASSERT_EQ(OCI_SUCCESS, OCITablePrev(env, err, 10, table, &key, &exists));
  EXPECT_TRUE(exists);
  EXPECT_EQ(3, key);
  ASSERT_EQ(OCI_SUCCESS, OCITablePrev(env, err, -5, table, &key, &exists));
  EXPECT_FALSE(exists);
  ASSERT_EQ(OCI_SUCCESS, OCITableNext(env, err, 4, table, &key, &exists));
  EXPECT_TRUE(exists);
  EXPECT_EQ(10, key);
  ASSERT_EQ(OCI_SUCCESS, OCITableExists(env, err, table, 4, &exists));
  EXPECT_FALSE(exists);
  void* element = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCICollGetElem(env, err, table, 4, &exists, &element, nullptr));
  EXPECT_FALSE(exists);

  // Assigning to a key in use replaces its value; deleting a key leaves no hole; appending follows the last key.
  OCINumber replaced = number(33);
  ASSERT_EQ(OCI_SUCCESS, OCICollAssignElem(env, err, 3, &replaced, nullptr, table));
  EXPECT_EQ(33, number_at(table, 3));
  ASSERT_EQ(OCI_SUCCESS, OCITableDelete(env, err, -5, table)) << last_error();
  EXPECT_EQ(OCI_ERROR, OCITableDelete(env, err, -5, table));
  EXPECT_EQ(22165, last_code());
  OCINumber appended = number(11);
  ASSERT_EQ(OCI_SUCCESS, OCICollAppend(env, err, &appended, nullptr, table));
  EXPECT_EQ((std::vector<sb4>{3, 10, 11}), keys(table));
  EXPECT_EQ(11, number_at(table, 11));
  sb4 size = 0;
  ASSERT_EQ(OCI_SUCCESS, OCICollSize(env, err, table, &size));
  EXPECT_EQ(3, size);
  ASSERT_EQ(OCI_SUCCESS, OCICollTrim(env, err, 2, table));
  EXPECT_EQ((std::vector<sb4>{3}), keys(table));
  EXPECT_EQ(33, number_at(table, 3));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, table, 0));
}

TEST_F(PackageTypeTest, an_index_by_table_of_strings_keeps_each_text_with_its_key_through_changes) {
  OCITable* table = new_table("SCOTT.PKG.WORDS_T");
  ASSERT_NE(nullptr, table);
  OCIString* word = nullptr;
  auto assign = [&](sb4 key, const std::string& value, OCIInd indicator) {
    ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text(value), len(value), &word));
    ASSERT_EQ(OCI_SUCCESS, OCICollAssignElem(env, err, key, word, &indicator, table)) << last_error();
  };
  assign(7, "seven", OCI_IND_NOTNULL);
  assign(2, "two", OCI_IND_NOTNULL);
  assign(-1, "minus", OCI_IND_NULL);
  assign(4, "four", OCI_IND_NOTNULL);
  assign(2, "deux", OCI_IND_NOTNULL);
  ASSERT_EQ(OCI_SUCCESS, OCITableDelete(env, err, 4, table));
  EXPECT_EQ((std::vector<sb4>{-1, 2, 7}), keys(table));
  // Each text and each null indicator stays with its key as elements move.
  const std::vector<std::pair<sb4, std::string>> expected{{-1, "<null>"}, {2, "deux"}, {7, "seven"}};
  for (const auto& [key, value] : expected) {
    boolean exists = 0;
    void* element = nullptr;
    void* indicator = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCICollGetElem(env, err, table, key, &exists, &element, &indicator));
    ASSERT_TRUE(exists) << key;
    const bool is_null = *static_cast<OCIInd*>(indicator) == OCI_IND_NULL;
    EXPECT_EQ(value, is_null ? "<null>" : reinterpret_cast<char*>(OCIStringPtr(env, *static_cast<OCIString**>(element))))
        << key;
  }
  OCIObjectFree(env, err, word, 0);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, table, 0));
}

TEST_F(PackageTypeTest, a_record_comes_out_of_a_function_goes_into_one_and_comes_back_changed) {
  void* record = object_out_of("begin :r := pkg.make_record(7); end;", ":R", "PKG.REC_T");
  ASSERT_NE(nullptr, record);
  EXPECT_EQ(7, int_of(attribute(record, "ID")));
  EXPECT_EQ(1, *static_cast<boolean*>(attribute(record, "FLAG")));
  EXPECT_STREQ("n7", reinterpret_cast<char*>(OCIStringPtr(env, *static_cast<OCIString**>(attribute(record, "NAME")))));
  const auto* born = static_cast<OCIDate*>(attribute(record, "BORN"));
  EXPECT_EQ(2024, born->OCIDateYYYY);
  EXPECT_EQ(3, born->OCIDateDD);

  // IN: the client's record as the function's argument, its BOOLEAN false and not null.
  boolean no = 0;
  set_attribute(record, "FLAG", &no);
  OCIInd unset = OCI_IND_NOTNULL;
  EXPECT_EQ("7/F/n7", text_with_object("begin :d := pkg.describe_record(:r); end;", ":D", ":R", "PKG.REC_T", &record));

  // IN OUT: the same instance comes back changed.
  void* const original = record;
  OCIStmt* stmt = prepare("begin pkg.bump(:r); end;");
  bind_object(stmt, ":R", "PKG.REC_T", &record);
  ASSERT_EQ(OCI_SUCCESS, execute(stmt)) << last_error();
  EXPECT_EQ(original, record);
  EXPECT_EQ(8, int_of(attribute(record, "ID")));
  EXPECT_EQ(1, *static_cast<boolean*>(attribute(record, "FLAG", &unset)));
  EXPECT_EQ(OCI_IND_NOTNULL, unset);
  EXPECT_STREQ("n7", reinterpret_cast<char*>(OCIStringPtr(env, *static_cast<OCIString**>(attribute(record, "NAME")))));
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, record, 0));
}

TEST_F(PackageTypeTest, a_record_variable_of_the_package_type_takes_a_bind_and_gives_it_back) {
  void* record = new_instance(type_by_name("PKG.REC_T"), OCI_TYPECODE_RECORD);
  OCINumber forty = number(40);
  set_attribute(record, "ID", &forty);
  OCIStmt* stmt = prepare("declare r pkg.rec_t := :r; begin r.id := r.id + 2; r.name := 'x'; :r := r; end;");
  bind_object(stmt, ":R", "PKG.REC_T", &record);
  ASSERT_EQ(OCI_SUCCESS, execute(stmt)) << last_error();
  EXPECT_EQ(42, int_of(attribute(record, "ID")));
  OCIInd flag = OCI_IND_NOTNULL;
  attribute(record, "FLAG", &flag);
  EXPECT_EQ(OCI_IND_NULL, flag);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, record, 0));
}

TEST_F(PackageTypeTest, an_index_by_table_comes_out_of_a_function_and_goes_in_and_out_of_a_procedure) {
  void* table = object_out_of("begin :t := pkg.numbers_of(3); end;", ":T", "PKG.NUMBERS_T");
  ASSERT_NE(nullptr, table);
  EXPECT_EQ((std::vector<sb4>{10, 20, 30}), keys(static_cast<OCITable*>(table)));
  EXPECT_EQ(2, number_at(static_cast<OCITable*>(table), 20));

  OCINumber five = number(5);
  ASSERT_EQ(OCI_SUCCESS, OCICollAssignElem(env, err, -7, &five, nullptr, static_cast<OCIColl*>(table)));
  EXPECT_EQ("-7,10,20,30,11", text_with_object("begin :s := pkg.total(:t); pkg.double_all(:t); end;", ":S", ":T",
                                               "PKG.NUMBERS_T", &table));
  EXPECT_EQ((std::vector<sb4>{-7, -1, 10, 20, 30}), keys(static_cast<OCITable*>(table)));
  EXPECT_EQ(10, number_at(static_cast<OCITable*>(table), -7));
  EXPECT_EQ(0, number_at(static_cast<OCITable*>(table), -1));
  EXPECT_EQ(6, number_at(static_cast<OCITable*>(table), 30));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, table, 0));
}

TEST_F(PackageTypeTest, a_nested_table_of_the_package_type_goes_in_and_comes_out_in_order) {
  OCITable* words = new_table("PKG.NESTED_T");
  ASSERT_NE(nullptr, words);
  OCIString* word = nullptr;
  for (const std::string value : {"a", "b", "c"}) {
    ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text(value), len(value), &word));
    ASSERT_EQ(OCI_SUCCESS, OCICollAppend(env, err, word, nullptr, words));
  }
  OCIStmt* stmt = prepare("begin :o := pkg.reversed(:i); end;");
  void* in = words;
  void* out = nullptr;
  bind_object(stmt, ":I", "PKG.NESTED_T", &in);
  bind_object(stmt, ":O", "PKG.NESTED_T", &out);
  ASSERT_EQ(OCI_SUCCESS, execute(stmt)) << last_error();
  ASSERT_NE(nullptr, out);
  std::string joined;
  sb4 size = 0;
  ASSERT_EQ(OCI_SUCCESS, OCICollSize(env, err, static_cast<OCIColl*>(out), &size));
  for (sb4 i = 0; i < size; ++i) {
    boolean exists = 0;
    void* element = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCICollGetElem(env, err, static_cast<OCIColl*>(out), i, &exists, &element, nullptr));
    joined += reinterpret_cast<char*>(OCIStringPtr(env, *static_cast<OCIString**>(element)));
  }
  EXPECT_EQ("cba", joined);
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  OCIObjectFree(env, err, word, 0);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, words, 0));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, out, 0));
}

TEST_F(PackageTypeTest, sql_outside_a_block_refuses_a_package_type_bind) {
  void* record = new_instance(type_by_name("PKG.REC_T"), OCI_TYPECODE_RECORD);
  OCIStmt* stmt = prepare("select :r from dual");
  bind_object(stmt, ":R", "PKG.REC_T", &record);
  EXPECT_EQ(OCI_ERROR, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  EXPECT_EQ(21700, last_code());
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, record, 0));
}

}  // namespace
}  // namespace ociemu::testing
