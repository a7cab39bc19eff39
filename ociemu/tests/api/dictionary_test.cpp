// The dictionary views through the call interface: the lookups a data layer
// sends, word for word with their binds, and the views staying current after DDL.
#include <map>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

using Row = std::vector<std::string>;
using Binds = std::map<std::string, std::string>;

class DictionaryTest : public OciTest {
 protected:
  // Every row of a query, each column as text ("<null>" for NULL), with named text binds.
  std::vector<Row> rows(const std::string& sql, const Binds& binds = {}) {
    std::vector<Row> out;
    OCIStmt* stmt = prepare(sql);
    std::vector<std::string> values;
    for (const auto& [name, value] : binds) values.push_back(value);
    size_t n = 0;
    for (const auto& [name, value] : binds) {
      OCIBind* bind = nullptr;
      std::string placeholder = ":" + name;
      EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(placeholder), static_cast<sb4>(placeholder.size()),
                                           values[n].data(), static_cast<sb4>(values[n].size()), SQLT_CHR, nullptr,
                                           nullptr, nullptr, 0, nullptr, OCI_DEFAULT))
          << last_error();
      ++n;
    }
    if (OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT) != OCI_SUCCESS) {
      ADD_FAILURE() << sql << ": " << last_error();
      OCIHandleFree(stmt, OCI_HTYPE_STMT);
      return out;
    }
    ub4 columns = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err);
    std::vector<std::array<char, 4001>> buffers(columns);
    std::vector<sb2> indicators(columns);
    for (ub4 c = 0; c < columns; ++c) {
      OCIDefine* define = nullptr;
      OCIDefineByPos(stmt, &define, err, c + 1, buffers[c].data(), 4001, SQLT_STR, &indicators[c], nullptr, nullptr,
                     OCI_DEFAULT);
    }
    while (OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT) == OCI_SUCCESS) {
      Row row;
      for (ub4 c = 0; c < columns; ++c) row.push_back(indicators[c] == -1 ? "<null>" : buffers[c].data());
      out.push_back(std::move(row));
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return out;
  }

  void create_master_detail() {
    must_run("create table master (id number(6) primary key, code varchar2(10) constraint master_code unique, "
             "amount number(8,2) default 0 check (amount >= 0), note char(4) not null)");
    must_run("create table detail (id number constraint detail_pk primary key, master_id number "
             "constraint detail_master references master, created date default sysdate)");
  }
};

TEST_F(DictionaryTest, owner_and_table_resolution_reads_tables_views_and_both_kinds_of_synonym) {
  must_run("create view emp_names as select ename from emp");
  must_run("create synonym staff for emp");
  must_run("create public synonym everyone for scott.emp");
  EXPECT_EQ(rows("select owner, table_name from all_tables\nwhere owner = user and table_name = :name", {{"NAME", "EMP"}}),
            (std::vector<Row>{{"SCOTT", "EMP"}}));
  EXPECT_EQ(rows("select user, table_name\n      from sys.user_tables where table_name = :name", {{"NAME", "DEPT"}}),
            (std::vector<Row>{{"SCOTT", "DEPT"}}));
  EXPECT_EQ(rows("select user, view_name\n        from sys.user_views where view_name = :name", {{"NAME", "EMP_NAMES"}}),
            (std::vector<Row>{{"SCOTT", "EMP_NAMES"}}));
  EXPECT_EQ(rows("select table_owner, table_name\n          from sys.user_synonyms where synonym_name = :name",
                 {{"NAME", "STAFF"}}),
            (std::vector<Row>{{"SCOTT", "EMP"}}));
  EXPECT_EQ(rows("select table_owner, table_name\n            from sys.all_synonyms where owner = 'PUBLIC' and "
                 "synonym_name = :name",
                 {{"NAME", "EVERYONE"}}),
            (std::vector<Row>{{"SCOTT", "EMP"}}));
  EXPECT_EQ(rows("select text from user_views where view_name = 'EMP_NAMES'"),
            (std::vector<Row>{{"select ename from emp"}}));
  // Another user's private synonym is not the session's own.
  EXPECT_TRUE(rows("select table_owner, table_name from all_synonyms\nwhere owner = user and synonym_name = :name",
                   {{"NAME", "EVERYONE"}})
                  .empty());
}

TEST_F(DictionaryTest, key_and_constraint_lookups_give_names_columns_and_positions) {
  create_master_detail();
  must_run("create table pair (a number, b number, c number, constraint pair_uk unique (b, a), constraint pair_pk "
           "primary key (c))");
  const Binds pair{{"OWNER", "SCOTT"}, {"TABLE_NAME", "PAIR"}};
  EXPECT_EQ(rows("select constraint_name from all_constraints\nwhere owner = :owner and table_name = :table_name\n"
                 "and constraint_type in ('P', 'U')\norder by constraint_type",
                 pair),
            (std::vector<Row>{{"PAIR_PK"}, {"PAIR_UK"}}));
  Binds unique = pair;
  unique["CONSTRAINT_NAME"] = "PAIR_UK";
  EXPECT_EQ(rows("select column_name from all_cons_columns\nwhere owner = :owner and table_name = :table_name\n"
                 "and constraint_name = :constraint_name\norder by position",
                 unique),
            (std::vector<Row>{{"B"}, {"A"}}));
  // Unnamed constraints get system names, which the layer leaves out.
  auto named = rows("select constraint_name, column_name from sys.all_cons_columns\nwhere owner = :owner and "
                    "table_name = :table_name\nand constraint_name not like 'SYS_C%'\norder by constraint_name, position",
                    {{"OWNER", "SCOTT"}, {"TABLE_NAME", "MASTER"}});
  EXPECT_EQ(named, (std::vector<Row>{{"MASTER_CODE", "CODE"}}));
  auto all = rows("select constraint_name, constraint_type, search_condition from user_constraints where table_name = "
                  "'MASTER' order by constraint_type, search_condition");
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0][1], "C");
  EXPECT_EQ(all[0][2], "\"NOTE\" IS NOT NULL");
  EXPECT_EQ(all[1][2], "amount >= 0");
  EXPECT_EQ(all[2][1], "P");
  EXPECT_EQ(all[2][0].substr(0, 5), "SYS_C");
  EXPECT_EQ(all[2][0].size(), 11u);
}

TEST_F(DictionaryTest, check_constraints_list_the_columns_their_conditions_name) {
  create_master_detail();
  must_run("create table span (lo number, hi number, note varchar2(5), \"Mixed\" number check (\"Mixed\" > 0), "
           "constraint span_order check (hi >= lo and lo >= 0), constraint note_upper check (note = upper(note)))");
  must_run("alter table span add constraint span_note check (length(note) > 1 or hi is null)");
  EXPECT_EQ(rows("select constraint_name, column_name, position from user_cons_columns where table_name = 'SPAN' "
                 "and constraint_name not like 'SYS_C%' order by constraint_name, column_name"),
            (std::vector<Row>{{"NOTE_UPPER", "NOTE", "<null>"},
                              {"SPAN_NOTE", "HI", "<null>"},
                              {"SPAN_NOTE", "NOTE", "<null>"},
                              {"SPAN_ORDER", "HI", "<null>"},
                              {"SPAN_ORDER", "LO", "<null>"}}));
  EXPECT_EQ(rows("select c.column_name from all_cons_columns c join all_constraints k on k.owner = c.owner and "
                 "k.constraint_name = c.constraint_name where k.table_name = 'SPAN' and k.constraint_type = 'C' and "
                 "k.constraint_name like 'SYS_C%'"),
            (std::vector<Row>{{"Mixed"}}));
  EXPECT_EQ(rows("select column_name from user_cons_columns c join user_constraints k using (constraint_name) "
                 "where k.table_name = 'MASTER' and k.search_condition = 'amount >= 0'"),
            (std::vector<Row>{{"AMOUNT"}}));
}

TEST_F(DictionaryTest, constraint_details_and_master_detail_foreign_keys) {
  create_master_detail();
  EXPECT_EQ(rows("select constraint_type, r_constraint_name, r_owner, search_condition\n  from sys.all_constraints\n"
                 " where constraint_name = :constraint_name and owner = :owner\n   and status = 'ENABLED'",
                 {{"CONSTRAINT_NAME", "DETAIL_MASTER"}, {"OWNER", "SCOTT"}}),
            (std::vector<Row>{{"R", rows("select constraint_name from user_constraints where table_name = 'MASTER' "
                                         "and constraint_type = 'P'")
                                        .at(0)
                                        .at(0),
                               "SCOTT", "<null>"}}));
  auto keys = rows("select fk.constraint_name fkname, pk.constraint_name pkname\n  from sys.all_constraints fk, "
                   "sys.all_constraints pk\n where fk.constraint_type = 'R'\n   and fk.owner = :fk_owner and "
                   "fk.table_name = :fk_table_name\n   and pk.constraint_name = fk.r_constraint_name\n   and pk.owner = "
                   ":pk_owner and pk.table_name = :pk_table_name",
                   {{"FK_OWNER", "SCOTT"}, {"FK_TABLE_NAME", "DETAIL"}, {"PK_OWNER", "SCOTT"}, {"PK_TABLE_NAME", "MASTER"}});
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0][0], "DETAIL_MASTER");
  EXPECT_EQ(rows("select column_name from sys.all_cons_columns\n where owner = :owner and constraint_name = "
                 ":constraint_name\n order by position",
                 {{"OWNER", "SCOTT"}, {"CONSTRAINT_NAME", keys[0][1]}}),
            (std::vector<Row>{{"ID"}}));
  EXPECT_EQ(rows("select table_name, column_name from sys.all_cons_columns\n where owner = :owner and constraint_name = "
                 ":constraint_name\n order by position",
                 {{"OWNER", "SCOTT"}, {"CONSTRAINT_NAME", "DETAIL_MASTER"}}),
            (std::vector<Row>{{"DETAIL", "MASTER_ID"}}));
}

TEST_F(DictionaryTest, column_descriptions_and_defaults) {
  create_master_detail();
  EXPECT_EQ(rows("select column_name, data_default from sys.all_tab_columns\nwhere owner = :owner and table_name = "
                 ":table_name\nand data_default is not null",
                 {{"OWNER", "SCOTT"}, {"TABLE_NAME", "MASTER"}}),
            (std::vector<Row>{{"AMOUNT", "0"}}));
  EXPECT_EQ(rows("select column_name, data_type, data_length, data_precision, data_scale, nullable, column_id, "
                 "char_length from user_tab_columns where table_name = 'MASTER' order by column_id"),
            (std::vector<Row>{{"ID", "NUMBER", "22", "6", "0", "N", "1", "0"},
                              {"CODE", "VARCHAR2", "10", "<null>", "<null>", "Y", "2", "10"},
                              {"AMOUNT", "NUMBER", "22", "8", "2", "Y", "3", "0"},
                              {"NOTE", "CHAR", "4", "<null>", "<null>", "N", "4", "4"}}));
  EXPECT_EQ(rows("select data_type, data_default from all_tab_columns where table_name = 'DETAIL' and column_name = "
                 "'CREATED'"),
            (std::vector<Row>{{"DATE", "sysdate"}}));
}

TEST_F(DictionaryTest, views_follow_ddl_at_once) {
  const std::string count = "select count(*) from user_tab_columns where table_name = 'GROWING'";
  EXPECT_EQ(single_text(count), "0");
  must_run("create table growing (a number)");
  EXPECT_EQ(single_text(count), "1");
  must_run("alter table growing add (b varchar2(5) default 'x')");
  EXPECT_EQ(single_text(count), "2");
  must_run("create sequence growing_seq start with 5 increment by 2");
  EXPECT_EQ(rows("select sequence_name, increment_by, last_number from user_sequences"),
            (std::vector<Row>{{"GROWING_SEQ", "2", "5"}}));
  EXPECT_EQ(rows("select object_type, status from user_objects where object_name like 'GROWING%' order by 1"),
            (std::vector<Row>{{"SEQUENCE", "VALID"}, {"TABLE", "VALID"}}));
  must_run("drop table growing");
  EXPECT_EQ(single_text(count), "0");
  EXPECT_EQ(single_text("select count(*) from all_objects where owner = 'SCOTT' and object_name = 'GROWING'"), "0");
  // The views exist under SYS and are reached through public synonyms.
  EXPECT_EQ(rows("select owner, object_type from all_objects where object_name = 'USER_SOURCE' order by 1"),
            (std::vector<Row>{{"PUBLIC", "SYNONYM"}, {"SYS", "VIEW"}}));
}

TEST_F(DictionaryTest, indexes_list_created_ones_and_those_of_keys_with_their_columns_in_order) {
  create_master_detail();
  must_run("create index master_code_amount on master (code, amount)");
  must_run("create unique index master_note on master (lower(note))");
  EXPECT_EQ(rows("select index_name, index_type, uniqueness, table_owner from user_indexes "
                 "where table_name = 'MASTER' and generated = 'N' order by 1"),
            (std::vector<Row>{{"MASTER_CODE", "NORMAL", "UNIQUE", "SCOTT"},
                              {"MASTER_CODE_AMOUNT", "NORMAL", "NONUNIQUE", "SCOTT"},
                              {"MASTER_NOTE", "FUNCTION-BASED NORMAL", "UNIQUE", "SCOTT"}}));
  EXPECT_EQ(single_text("select count(*) from all_indexes where owner = 'SCOTT' and table_name = 'MASTER' "
                        "and generated = 'Y' and uniqueness = 'UNIQUE'"),
            "1")
      << "the primary key's index, under its system name";
  EXPECT_EQ(rows("select index_name, column_name, column_position from all_ind_columns "
                 "where index_owner = 'SCOTT' and index_name like 'MASTER%' order by 1, 3"),
            (std::vector<Row>{{"MASTER_CODE", "CODE", "1"},
                              {"MASTER_CODE_AMOUNT", "CODE", "1"},
                              {"MASTER_CODE_AMOUNT", "AMOUNT", "2"}}));
  EXPECT_EQ(rows("select column_name from user_ind_columns where index_name = 'DETAIL_PK'"),
            (std::vector<Row>{{"ID"}}));
  must_run("drop index master_code_amount");
  EXPECT_EQ(single_text("select count(*) from user_ind_columns where index_name = 'MASTER_CODE_AMOUNT'"), "0");
}

TEST_F(DictionaryTest, a_tables_indexes_and_triggers_are_found_by_its_owner_and_name) {
  create_master_detail();
  must_run("create index detail_created on detail (created)");
  must_run("create trigger master_touch before update on master for each row begin :new.amount := 1; end;");
  const Binds binds{{"o", "SCOTT"}, {"t", "MASTER"}};
  EXPECT_EQ(rows("select trigger_name, 'TRIGGER', owner from all_triggers where table_owner = :o "
                 "and table_name = :t and base_object_type = 'TABLE' union all "
                 "select index_name, 'INDEX', owner from all_indexes where table_owner = :o and table_name = :t "
                 "and generated = 'N' order by 1", binds),
            (std::vector<Row>{{"MASTER_CODE", "INDEX", "SCOTT"}, {"MASTER_TOUCH", "TRIGGER", "SCOTT"}}));
}

TEST_F(DictionaryTest, a_disabled_constraint_reports_so_and_is_not_enforced_until_enabled) {
  create_master_detail();
  must_run("insert into master values (1, 'a', 5, 'n')");
  const std::string status = "select status from user_constraints where constraint_name = 'DETAIL_MASTER'";
  EXPECT_EQ(single_text(status), "ENABLED");
  EXPECT_EQ(OCI_ERROR, run("insert into detail (id, master_id) values (1, 9)"));
  EXPECT_EQ(last_code(), 2291);
  must_run("alter table detail disable constraint detail_master");
  EXPECT_EQ(single_text(status), "DISABLED");
  must_run("insert into detail (id, master_id) values (1, 9)");
  must_run("alter table detail enable constraint detail_master");
  EXPECT_EQ(single_text(status), "ENABLED");
  EXPECT_EQ(OCI_ERROR, run("insert into detail (id, master_id) values (2, 8)"));
  EXPECT_EQ(last_code(), 2291);
  // The same for a check constraint, twice over: disabling twice is harmless.
  const std::string check = "select constraint_name from user_constraints where table_name = 'MASTER' and "
                            "search_condition = 'amount >= 0'";
  const std::string name = single_text(check);
  must_run("alter table master disable constraint " + name);
  must_run("alter table master disable constraint " + name);
  must_run("insert into master values (2, 'b', -1, 'n')");
  must_run("alter table master enable constraint " + name);
  EXPECT_EQ(OCI_ERROR, run("insert into master values (3, 'c', -1, 'n')"));
  EXPECT_EQ(last_code(), 2290);
  EXPECT_EQ(OCI_ERROR, run("alter table master disable constraint no_such"));
  EXPECT_EQ(last_error(), "ORA-02431: cannot disable constraint (NO_SUCH) - no such constraint\n");
}

}  // namespace
}  // namespace ociemu::testing
