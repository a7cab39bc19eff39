// TABLE(collection) in FROM through the C entries: nested tables and varrays of
// scalars and of objects, correlated joins, sub-queries, and bound collections.
#include <cstdio>

#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

using Rows = std::vector<std::string>;

class TableCollectionTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TYPE nums_t AS TABLE OF NUMBER");
    must_run("CREATE TYPE words_t AS VARRAY(5) OF VARCHAR2(20)");
    must_run("CREATE TYPE part_t AS OBJECT (name VARCHAR2(20), qty NUMBER, made DATE)");
    must_run("CREATE TYPE parts_t AS TABLE OF part_t");
    must_run("CREATE TABLE kits (id NUMBER, nums nums_t, words words_t, parts parts_t) "
             "NESTED TABLE nums STORE AS kit_nums NESTED TABLE parts STORE AS kit_parts");
    must_run("INSERT INTO kits VALUES (1, nums_t(3, 1, 2), words_t('b', NULL, 'a'), "
             "parts_t(part_t('bolt', 10, DATE '2024-02-03'), part_t('nut', NULL, NULL)))");
    must_run("INSERT INTO kits VALUES (2, nums_t(), NULL, parts_t(part_t('gear', 2, NULL)))");
  }

  // Describes sql and gives the type code and name of every column.
  Rows described(const std::string& sql) {
    Rows out;
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY)) << last_error();
    ub4 count = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
    for (ub4 k = 1; k <= count; ++k) {
      OCIParam* column = nullptr;
      OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&column), k);
      ub2 type = 0;
      OraText* name = nullptr;
      ub4 size = 0;
      OCIAttrGet(column, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, err);
      OCIAttrGet(column, OCI_DTYPE_PARAM, &name, &size, OCI_ATTR_NAME, err);
      out.push_back(std::string(reinterpret_cast<char*>(name), size) + ":" + std::to_string(type));
      OCIDescriptorFree(column, OCI_DTYPE_PARAM);
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return out;
  }

};

TEST_F(TableCollectionTest, scalar_elements_are_rows_of_column_value_in_their_order) {
  EXPECT_EQ((Rows{"1:3", "1:1", "1:2"}),
            column_texts("SELECT k.id || ':' || n.column_value FROM kits k, TABLE(k.nums) n ORDER BY k.id"));
  EXPECT_EQ((Rows{"1", "2", "3"}), column_texts("SELECT column_value FROM kits k, TABLE(k.nums) ORDER BY 1"));
  EXPECT_EQ((Rows{"b", "<null>", "a"}), column_texts("SELECT w.column_value FROM kits k, TABLE(k.words) w"));
  EXPECT_EQ((Rows{"a"}), column_texts("SELECT w.column_value FROM kits k, TABLE(k.words) w "
                                      "WHERE w.column_value < 'b'"));
  // Empty and null collections have no rows.
  EXPECT_EQ((Rows{"1:3"}), column_texts("SELECT k.id || ':' || COUNT(*) FROM kits k, TABLE(k.nums) n GROUP BY k.id"));
  EXPECT_EQ((Rows{"6"}), column_texts("SELECT SUM(column_value) FROM TABLE(SELECT nums FROM kits WHERE id = 1)"));
  EXPECT_EQ((Rows{"COLUMN_VALUE:2"}), described("SELECT * FROM TABLE(SELECT nums FROM kits WHERE id = 1)"));
}

TEST_F(TableCollectionTest, object_elements_give_their_attributes_as_columns) {
  EXPECT_EQ((Rows{"NAME:1", "QTY:2", "MADE:12"}), described("SELECT p.* FROM kits k, TABLE(k.parts) p"));
  EXPECT_EQ((Rows{"ID:2", "NUMS:108", "WORDS:108", "PARTS:108", "NAME:1", "QTY:2", "MADE:12"}),
            described("SELECT * FROM kits k, TABLE(k.parts) p"));
  EXPECT_EQ((Rows{"1 bolt 10 2024-02-03", "1 nut  ", "2 gear 2 "}),
            column_texts("SELECT k.id || ' ' || p.name || ' ' || p.qty || ' ' || TO_CHAR(made, 'YYYY-MM-DD') "
                         "FROM kits k, TABLE(k.parts) p ORDER BY k.id, p.name"));
  EXPECT_EQ((Rows{"bolt"}), column_texts("SELECT name FROM kits k, TABLE(k.parts) WHERE qty > 5"));
  EXPECT_EQ((Rows{"gear"}), column_texts("SELECT p.name FROM kits k JOIN TABLE(k.parts) p ON p.qty = k.id"));
  EXPECT_EQ(OCI_ERROR, run("SELECT p.colour FROM kits k, TABLE(k.parts) p"));
  EXPECT_EQ(904, last_code());
  EXPECT_EQ(OCI_ERROR, run("SELECT * FROM kits k, TABLE(k.id) x"));
  EXPECT_EQ(22905, last_code());
}

TEST_F(TableCollectionTest, a_bound_collection_is_a_row_source) {
  void* coll = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_NAMEDCOLLECTION, type_by_name("NUMS_T"), nullptr,
                                      OCI_DURATION_SESSION, 1, &coll));
  for (int value : {40, 2, 7}) {
    OCINumber number;
    ASSERT_EQ(OCI_SUCCESS, OCINumberFromInt(err, &value, sizeof value, OCI_NUMBER_SIGNED, &number));
    ASSERT_EQ(OCI_SUCCESS, OCICollAppend(env, err, &number, nullptr, static_cast<OCIColl*>(coll))) << last_error();
  }
  void* null_struct = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, coll, &null_struct));
  *static_cast<OCIInd*>(null_struct) = OCI_IND_NOTNULL;
  for (const std::string sql : {"SELECT column_value FROM TABLE(:c) ORDER BY 1",
                                "SELECT t.column_value FROM TABLE(CAST(:c AS nums_t)) t ORDER BY 1"}) {
    OCIStmt* stmt = prepare(sql);
    OCIBind* bind = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, nullptr, 0, SQLT_NTY, nullptr, nullptr, nullptr, 0,
                                        nullptr, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, OCIBindObject(bind, err, type_by_name("NUMS_T"), &coll, nullptr, &null_struct, nullptr));
    int value = 0;
    OCIDefine* define = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, &value, sizeof value, SQLT_INT, nullptr, nullptr,
                                          nullptr, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    Rows fetched;
    while (OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT) == OCI_SUCCESS) {
      fetched.push_back(std::to_string(value));
    }
    EXPECT_EQ((Rows{"2", "7", "40"}), fetched) << sql;
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
  }
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, coll, 0));
}

// The entries generic clients build objects with: attributes by name, nested tables walked by index.
TEST_F(TableCollectionTest, attributes_are_set_and_read_by_name_and_tables_walked_by_index) {
  void* part = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_OBJECT, type_by_name("PART_T"), nullptr,
                                      OCI_DURATION_SESSION, 1, &part));
  void* nulls = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, part, &nulls));
  const std::string name = "NAME", qty = "QTY";
  const OraText* name_path[] = {text(name)};
  const OraText* qty_path[] = {text(qty)};
  const ub4 name_length[] = {len(name)}, qty_length[] = {len(qty)};
  OCIString* value = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text("washer"), 6, &value));
  ASSERT_EQ(OCI_SUCCESS, OCIObjectSetAttr(env, err, part, nulls, nullptr, name_path, name_length, 1, nullptr, 0,
                                          OCI_IND_NOTNULL, nullptr, value))
      << last_error();
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, value, 0));
  OCIInd status = OCI_IND_NOTNULL;
  void* attr_nulls = nullptr;
  void* at = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetAttr(env, err, part, nulls, nullptr, qty_path, qty_length, 1, nullptr, 0, &status,
                                          &attr_nulls, &at, nullptr));
  EXPECT_EQ(OCI_IND_NULL, status);
  EXPECT_EQ(OCI_IND_NOTNULL, static_cast<OCIInd*>(nulls)[0]);  // a set attribute made the object non-null
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetAttr(env, err, part, nulls, nullptr, name_path, name_length, 1, nullptr, 0,
                                          &status, &attr_nulls, &at, nullptr));
  EXPECT_EQ(OCI_IND_NOTNULL, status);
  OCIString* stored = *static_cast<OCIString**>(at);
  EXPECT_EQ("washer", std::string(reinterpret_cast<char*>(OCIStringPtr(env, stored))));
  const std::string wrong = "WEIGHT";
  const OraText* wrong_path[] = {text(wrong)};
  const ub4 wrong_length[] = {len(wrong)};
  EXPECT_EQ(OCI_ERROR, OCIObjectGetAttr(env, err, part, nulls, nullptr, wrong_path, wrong_length, 1, nullptr, 0,
                                        &status, &attr_nulls, &at, nullptr));

  void* coll = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_NAMEDCOLLECTION, type_by_name("NUMS_T"), nullptr,
                                      OCI_DURATION_SESSION, 1, &coll));
  auto* table = static_cast<OCITable*>(coll);
  for (int n = 0; n < 4; ++n) {
    OCINumber number;
    OCINumberFromInt(err, &n, sizeof n, OCI_NUMBER_SIGNED, &number);
    ASSERT_EQ(OCI_SUCCESS, OCICollAppend(env, err, &number, nullptr, table));
  }
  ASSERT_EQ(OCI_SUCCESS, OCITableDelete(env, err, 0, table));
  ASSERT_EQ(OCI_SUCCESS, OCITableDelete(env, err, 2, table));
  sb4 index = -1;
  boolean exists = 0;
  ASSERT_EQ(OCI_SUCCESS, OCITableFirst(env, err, table, &index));
  EXPECT_EQ(1, index);
  ASSERT_EQ(OCI_SUCCESS, OCITableNext(env, err, index, table, &index, &exists));
  EXPECT_TRUE(exists);
  EXPECT_EQ(3, index);
  ASSERT_EQ(OCI_SUCCESS, OCITableNext(env, err, index, table, &index, &exists));
  EXPECT_FALSE(exists);
  ASSERT_EQ(OCI_SUCCESS, OCITableLast(env, err, table, &index));
  EXPECT_EQ(3, index);
  ASSERT_EQ(OCI_SUCCESS, OCITablePrev(env, err, index, table, &index, &exists));
  EXPECT_EQ(1, index);
  // Clients free a null structure after its object; that is no error.
  void* coll_nulls = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, coll, &coll_nulls));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, coll, 0));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, coll_nulls, 0));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, part, 0));
}

}  // namespace
}  // namespace ociemu::testing

namespace ociemu::testing {
namespace {

class CollectionDmlTest : public TableCollectionTest {
 protected:
  // Runs DML and gives the rows it reports.
  ub4 changed(const std::string& sql) {
    OCIStmt* stmt = prepare(sql);
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << sql << ": "
                                                                                                 << last_error();
    ub4 rows = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, err);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return rows;
  }
  Rows nums(int id) {
    return column_texts("SELECT column_value FROM TABLE(SELECT nums FROM kits WHERE id = " + std::to_string(id) + ")");
  }
  Rows parts(int id) {
    return column_texts("SELECT p.name || ':' || NVL(TO_CHAR(p.qty), '-') || ':' || TO_CHAR(p.made, 'YYYY-MM-DD') "
                        "FROM kits k, TABLE(k.parts) p WHERE k.id = " + std::to_string(id));
  }
};

TEST_F(CollectionDmlTest, insert_appends_an_element_to_the_selected_collection) {
  must_run("COMMIT");
  EXPECT_EQ(1u, changed("INSERT INTO TABLE(SELECT k.nums FROM kits k WHERE k.id = 1) VALUES (7)"));
  EXPECT_EQ((Rows{"3", "1", "2", "7"}), nums(1));
  EXPECT_EQ(1u, changed("INSERT INTO THE(SELECT nums FROM kits WHERE id = 2) VALUES (5)"));
  EXPECT_EQ((Rows{"5"}), nums(2));
  // Object elements: by attribute values in order, by a column list, or as a whole constructed value.
  must_run("INSERT INTO TABLE(SELECT parts FROM kits WHERE id = 2) VALUES ('washer', 5, DATE '2024-05-06')");
  must_run("INSERT INTO TABLE(SELECT parts FROM kits WHERE id = 2) p (qty, name) VALUES (1, 'pin')");
  must_run("INSERT INTO TABLE(SELECT parts FROM kits WHERE id = 2) VALUES (part_t('cog', 3, NULL))");
  EXPECT_EQ((Rows{"gear:2:", "washer:5:2024-05-06", "pin:1:", "cog:3:"}), parts(2));
  EXPECT_EQ((Rows{"bolt:10:2024-02-03", "nut:-:"}), parts(1));  // the other row is untouched
  must_run("ROLLBACK");
  EXPECT_EQ((Rows{"3", "1", "2"}), nums(1));
}

TEST_F(CollectionDmlTest, update_and_delete_change_only_the_matching_elements) {
  EXPECT_EQ(1u, changed("UPDATE TABLE(SELECT parts FROM kits WHERE id = 1) p SET p.qty = p.qty + 1, made = NULL "
                        "WHERE p.name = 'bolt'"));
  EXPECT_EQ((Rows{"bolt:11:", "nut:-:"}), parts(1));
  EXPECT_EQ(1u, changed("UPDATE TABLE(SELECT nums FROM kits WHERE id = 1) SET column_value = column_value * 10 "
                        "WHERE column_value > 1"));
  EXPECT_EQ((Rows{"30", "1", "20"}), nums(1));
  EXPECT_EQ(0u, changed("UPDATE TABLE(SELECT nums FROM kits WHERE id = 1) n SET n.column_value = 0 "
                        "WHERE n.column_value = 99"));
  EXPECT_EQ(1u, changed("DELETE FROM TABLE(SELECT nums FROM kits WHERE id = 1) n WHERE n.column_value = 1"));
  EXPECT_EQ((Rows{"30", "20"}), nums(1));
  EXPECT_EQ(0u, changed("DELETE TABLE(SELECT parts FROM kits WHERE id = 1) WHERE name = 'none'"));
  // Without a condition every element goes, but the collection stays (empty, not NULL).
  EXPECT_EQ(1u, changed("DELETE TABLE(SELECT parts FROM kits WHERE id = 1)"));
  EXPECT_EQ((Rows{}), parts(1));
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM kits WHERE id = 1 AND parts IS NOT NULL"));
}

TEST_F(CollectionDmlTest, binds_keep_their_written_positions_and_oracles_refusals_stand) {
  OCIStmt* stmt = prepare("INSERT INTO TABLE(SELECT nums FROM kits WHERE id = :k) VALUES (:v)");
  int kit = 2, value = 9;
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, &kit, sizeof kit, SQLT_INT, nullptr, nullptr, nullptr, 0,
                                      nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 2, &value, sizeof value, SQLT_INT, nullptr, nullptr, nullptr,
                                      0, nullptr, OCI_DEFAULT));
  EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ((Rows{"9"}), nums(2));

  must_run("INSERT INTO kits (id) VALUES (3)");
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO TABLE(SELECT nums FROM kits WHERE id = 3) VALUES (1)"));
  EXPECT_EQ(22908, last_code());
  EXPECT_EQ(OCI_ERROR, run("DELETE TABLE(SELECT nums FROM kits WHERE id = 3)"));
  EXPECT_EQ(22908, last_code());
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO TABLE(SELECT words FROM kits WHERE id = 1) VALUES ('c')"));
  EXPECT_EQ(25015, last_code());
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO TABLE(SELECT id FROM kits WHERE id = 1) VALUES (1)"));
  EXPECT_EQ(22905, last_code());
  EXPECT_EQ(OCI_ERROR, run("UPDATE TABLE(SELECT parts FROM kits WHERE id = 1) p SET p.weight = 1"));
  EXPECT_EQ(904, last_code());
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO TABLE(SELECT parts FROM kits WHERE id = 1) VALUES ('x', 1)"));
  EXPECT_EQ(947, last_code());
}

// A nested table's elements have rowids, as the rows of its storage table do
// in Oracle. Here an element's rowid also carries its place and value, so one
// kept from before an earlier element went or the element changed names no
// element (Oracle's would still name it) rather than the wrong one.
TEST_F(CollectionDmlTest, nested_table_elements_have_rowids_that_dml_can_name) {
  const std::string parts_of_1 = "TABLE(SELECT k.parts FROM kits k WHERE k.id = 1) p";
  const Rows rowids = column_texts("SELECT p.rowid FROM " + parts_of_1);
  ASSERT_EQ(2u, rowids.size());
  EXPECT_EQ(18u, rowids[0].size());
  EXPECT_NE(rowids[0], rowids[1]);
  EXPECT_EQ(rowids, column_texts("SELECT p.rowid FROM kits k, TABLE(k.parts) p WHERE k.id = 1"));
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM kits WHERE rowid IN ('" + rowids[0] + "', '" + rowids[1] + "')"))
      << "no parent row answers to an element's rowid";
  EXPECT_EQ("nut", single_text("SELECT p.name FROM " + parts_of_1 + " WHERE p.rowid = '" + rowids[1] + "'"));

  EXPECT_EQ(1u, changed("UPDATE " + parts_of_1 + " SET p.qty = 5 WHERE p.rowid = '" + rowids[1] + "'"));
  EXPECT_EQ((Rows{"bolt:10:2024-02-03", "nut:5:"}), parts(1));
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM " + parts_of_1 + " WHERE p.rowid = '" + rowids[1] + "'"))
      << "a changed element has a new rowid";
  EXPECT_EQ(1u, changed("DELETE " + parts_of_1 + " WHERE rowid = '" + rowids[0] + "'"));
  EXPECT_EQ((Rows{"nut:5:"}), parts(1));

  // Equal elements are told apart by their place.
  must_run("INSERT INTO TABLE(SELECT nums FROM kits WHERE id = 2) VALUES (4)");
  must_run("INSERT INTO TABLE(SELECT nums FROM kits WHERE id = 2) VALUES (4)");
  const Rows twins = column_texts("SELECT n.rowid FROM TABLE(SELECT nums FROM kits WHERE id = 2) n");
  ASSERT_EQ(2u, twins.size());
  EXPECT_NE(twins[0], twins[1]);

  EXPECT_EQ(OCI_ERROR, run("SELECT w.rowid FROM TABLE(SELECT words FROM kits WHERE id = 1) w"));
  EXPECT_EQ(1445, last_code()) << "a VARRAY's elements are no rows";
}

// RETURNING ROWID through the collection expression gives the changed element's
// rowid as a query through TABLE(...) reads it afterwards, so it names the row
// for the next statement.
TEST_F(CollectionDmlTest, returning_rowid_names_the_inserted_or_updated_element) {
  const std::string parts_of_1 = "TABLE(SELECT k.parts FROM kits k WHERE k.id = 1) p";
  auto returned = [&](const std::string& sql, const char* in_rowid = nullptr) {
    OCIStmt* stmt = prepare(sql);
    char rowid[32] = {};
    if (in_rowid) std::snprintf(rowid, sizeof rowid, "%s", in_rowid);
    OCIBind* bind = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, reinterpret_cast<const OraText*>(":rid"), 4, rowid,
                                         sizeof rowid, SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT))
        << last_error();
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return std::string(rowid);
  };
  const std::string inserted =
      returned("INSERT INTO " + parts_of_1 + " VALUES ('pin', 4, NULL) RETURNING rowid INTO :rid");
  EXPECT_EQ(column_texts("SELECT p.rowid FROM " + parts_of_1 + " WHERE p.name = 'pin'"), Rows{inserted});

  const std::string updated =
      returned("UPDATE " + parts_of_1 + " SET p.qty = 6 WHERE p.rowid = :rid RETURNING p.rowid INTO :rid",
               inserted.c_str());
  EXPECT_NE(inserted, updated) << "the element changed";
  EXPECT_EQ("6", single_text("SELECT p.qty FROM " + parts_of_1 + " WHERE p.rowid = '" + updated + "'"));
  EXPECT_EQ((Rows{"bolt:10:2024-02-03", "nut:-:", "pin:6:"}), parts(1));

  // An element in the middle keeps its place; a scalar element appended is the last.
  const std::string middle =
      returned("UPDATE " + parts_of_1 + " SET qty = 1 WHERE name = 'nut' RETURNING rowid INTO :rid");
  EXPECT_EQ("nut", single_text("SELECT p.name FROM " + parts_of_1 + " WHERE p.rowid = '" + middle + "'"));
  const std::string nums_of_1 = "TABLE(SELECT nums FROM kits WHERE id = 1) n";
  const std::string scalar = returned("INSERT INTO " + nums_of_1 + " VALUES (3) RETURNING rowid INTO :rid");
  const Rows num_rowids = column_texts("SELECT n.rowid FROM " + nums_of_1);
  ASSERT_EQ(4u, num_rowids.size());
  EXPECT_EQ(num_rowids[3], scalar) << "equal to the first element, but not at its place";
}

// RETURNING through the collection expression reads the changed element: the
// new values after an insert or update, the old ones of a deleted element.
TEST_F(CollectionDmlTest, returning_gives_the_changed_elements_values) {
  const std::string parts_of_1 = "TABLE(SELECT k.parts FROM kits k WHERE k.id = 1) p";
  struct Returned {
    std::string first, second, third;
    ub4 rows = 0;
  };
  // Runs sql with :a, :b and :c bound as strings; the status, and what they hold.
  auto execute = [&](const std::string& sql, Returned& out) {
    OCIStmt* stmt = prepare(sql);
    char values[3][32] = {};
    sb2 nulls[3] = {};
    const char* names[] = {":a", ":b", ":c"};
    for (int k = 0; k < 3; ++k) {
      OCIBind* bind = nullptr;
      OCIBindByName(stmt, &bind, err, reinterpret_cast<const OraText*>(names[k]), 2, values[k], sizeof values[k],
                    SQLT_STR, &nulls[k], nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    }
    const sword status = OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &out.rows, nullptr, OCI_ATTR_ROW_COUNT, err);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    auto text = [&](int k) { return nulls[k] == -1 ? std::string("<null>") : std::string(values[k]); };
    out.first = text(0), out.second = text(1), out.third = text(2);
    return status;
  };
  auto returned = [&](const std::string& sql) {
    Returned out;
    EXPECT_EQ(OCI_SUCCESS, execute(sql, out)) << sql << ": " << last_error();
    return out;
  };
  auto refused = [&](const std::string& sql) {
    Returned out;
    return execute(sql, out) == OCI_ERROR ? last_code() : 0;
  };
  Returned inserted = returned("INSERT INTO " + parts_of_1 +
                               " VALUES ('pin', 4, DATE '2024-03-04') "
                               "RETURNING p.name, p.qty * 2, TO_CHAR(made, 'YYYY-MM-DD') INTO :a, :b, :c");
  EXPECT_EQ("pin|8|2024-03-04", inserted.first + "|" + inserted.second + "|" + inserted.third);

  Returned updated =
      returned("UPDATE " + parts_of_1 + " SET p.qty = 6 WHERE p.name = 'nut' RETURNING p.name, qty, p.rowid INTO :a, :b, :c");
  EXPECT_EQ("nut|6", updated.first + "|" + updated.second);
  EXPECT_EQ(updated.third, single_text("SELECT p.rowid FROM " + parts_of_1 + " WHERE p.name = 'nut'"));

  const std::string pin_rowid = single_text("SELECT p.rowid FROM " + parts_of_1 + " WHERE p.name = 'pin'");
  Returned deleted =
      returned("DELETE " + parts_of_1 + " WHERE p.name = 'pin' RETURNING p.name, p.qty, p.rowid INTO :a, :b, :c");
  EXPECT_EQ("pin|4|" + pin_rowid, deleted.first + "|" + deleted.second + "|" + deleted.third);
  EXPECT_EQ((Rows{"bolt:10:2024-02-03", "nut:6:"}), parts(1));
  EXPECT_EQ(0u, returned("DELETE " + parts_of_1 + " WHERE p.name = 'pin' RETURNING p.name INTO :a").rows);

  Returned scalar = returned("DELETE FROM TABLE(SELECT nums FROM kits WHERE id = 1) n WHERE n.column_value = 1 "
                             "RETURNING n.column_value, column_value + 1 INTO :a, :b");
  EXPECT_EQ("1|2", scalar.first + "|" + scalar.second);
  EXPECT_EQ((Rows{"3", "2"}), nums(1));

  // One returned row stands for each parent row: more changed elements are refused, and nothing changes.
  EXPECT_EQ(3001, refused("UPDATE " + parts_of_1 + " SET p.qty = 0 RETURNING p.name INTO :a"));
  EXPECT_EQ(3001, refused("DELETE FROM TABLE(SELECT nums FROM kits WHERE id = 1) RETURNING column_value INTO :a"));
  EXPECT_EQ((Rows{"bolt:10:2024-02-03", "nut:6:"}), parts(1));
  EXPECT_EQ((Rows{"3", "2"}), nums(1));
}

}  // namespace
}  // namespace ociemu::testing
