// The statements the dataset sends to the server's data dictionary, each as
// its lines, so that tests can compare them and ociemu runs them as written.
// Thread-safe: constants only.
#pragma once

namespace kvell::dictionary_text {

// Owner and object name of a name without a dot.
inline constexpr const char* ResolveBlock =
    "begin\r\n"
    "  begin\r\n"
    "    select user, table_name into :table_owner, :table_name\r\n"
    "      from sys.user_tables where table_name = :name;\r\n"
    "  exception when no_data_found then\r\n"
    "    begin\r\n"
    "      select user, view_name into :table_owner, :table_name\r\n"
    "        from sys.user_views where view_name = :name;\r\n"
    "    exception when no_data_found then\r\n"
    "      begin\r\n"
    "        select table_owner, table_name into :table_owner, :table_name\r\n"
    "          from sys.user_synonyms where synonym_name = :name;\r\n"
    "      exception when no_data_found then\r\n"
    "        begin\r\n"
    "          select table_owner, table_name into :table_owner, :table_name\r\n"
    "            from sys.all_synonyms where owner = 'PUBLIC' and synonym_name = :name;\r\n"
    "        exception when no_data_found then\r\n"
    "          :table_owner := null; :table_name := null;\r\n"
    "        end;\r\n"
    "      end;\r\n"
    "    end;\r\n"
    "  end;\r\n"
    "end;";
// The same on an ODBC bridge session, one query after the other.
inline constexpr const char* BridgeResolveTable =
    "select owner, table_name from all_tables\r\n"
    "where owner = user and table_name = :name";
inline constexpr const char* BridgeResolveSynonym =
    "select table_owner, table_name from all_synonyms\r\n"
    "where owner = user and synonym_name = :name;";
inline constexpr const char* BridgeResolvePublicSynonym =
    "select table_owner, table_name from all_synonyms\r\n"
    "where owner = 'PUBLIC' and synonym_name = :name;";

inline constexpr const char* KeyConstraint =
    "select constraint_name from all_constraints\r\n"
    "where owner = :owner and table_name = :table_name\r\n"
    "and constraint_type in ('P', 'U')\r\n"
    "order by constraint_type";
inline constexpr const char* KeyColumns =
    "select column_name from all_cons_columns\r\n"
    "where owner = :owner and table_name = :table_name\r\n"
    "and constraint_name = :constraint_name\r\n"
    "order by position";

inline constexpr const char* ConstraintColumnsHead =
    "select constraint_name, column_name from sys.all_cons_columns\r\n"
    "where owner = :owner and table_name = :table_name\r\n";
inline constexpr const char* ConstraintColumnsNoSystemNames = "and constraint_name not like 'SYS_C%'\r\n";
inline constexpr const char* ConstraintColumnsOrder = "order by constraint_name, position";

inline constexpr const char* ConstraintDetailsHead =
    "select constraint_type, r_constraint_name, r_owner, search_condition\r\n"
    "  from sys.all_constraints\r\n"
    " where constraint_name = :constraint_name and owner = :owner\r\n";
inline constexpr const char* ConstraintDetailsEnabled = "   and status = 'ENABLED'";
inline constexpr const char* ConstraintDetailsBridge = "   and constraint_type != 'C'";
inline constexpr const char* ReferencedColumns =
    "select table_name, column_name from sys.all_cons_columns\r\n"
    " where owner = :owner and constraint_name = :constraint_name\r\n"
    " order by position";

inline constexpr const char* DescribeTable = "select * from ";
inline constexpr const char* ColumnDefaults =
    "select column_name, data_default from sys.all_tab_columns\r\n"
    "where owner = :owner and table_name = :table_name\r\n"
    "and data_default is not null";

inline constexpr const char* MasterDetailForeignKeys =
    "select fk.constraint_name fkname, pk.constraint_name pkname\r\n"
    "  from sys.all_constraints fk, sys.all_constraints pk\r\n"
    " where fk.constraint_type = 'R'\r\n"
    "   and fk.owner = :fk_owner and fk.table_name = :fk_table_name\r\n"
    "   and pk.constraint_name = fk.r_constraint_name\r\n"
    "   and pk.owner = :pk_owner and pk.table_name = :pk_table_name";
inline constexpr const char* ConstraintColumnNames =
    "select column_name from sys.all_cons_columns\r\n"
    " where owner = :owner and constraint_name = :constraint_name\r\n"
    " order by position";

}  // namespace kvell::dictionary_text
