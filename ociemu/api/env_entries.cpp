// Entries for environments, handles, descriptors, error records and attributes.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "ociemu/api/entry.h"
#include "ociemu/api/lob_store.h"
#include "ociemu/api/nls.h"
#include "ociemu/api/object_codes.h"
#include "ociemu/api/object_describe.h"
#include "ociemu/api/pool.h"
#include "ociemu/sql/lexer.h"
#include "ociemu/sql/types.h"

using namespace ociemu;

namespace {

template <class T>
sword put(void* attributep, ub4* sizep, T value) {
  if (attributep == nullptr) fail(24315);
  std::memcpy(attributep, &value, sizeof value);
  if (sizep) *sizep = sizeof value;
  return OCI_SUCCESS;
}

sword put_text(void* attributep, ub4* sizep, const std::string& text) {
  if (attributep == nullptr) fail(24315);
  *static_cast<const OraText**>(attributep) = reinterpret_cast<const OraText*>(text.c_str());
  if (sizep) *sizep = static_cast<ub4>(text.size());
  return OCI_SUCCESS;
}

[[noreturn]] void unknown_attribute() { fail(24315); }

constexpr ub4 kMaxOpenCursors = 300;  // Oracle's default OPEN_CURSORS
// The session's texts an application sets and reads back; nullptr for other attributes.
std::string* session_text(Session& session, ub4 attribute) {
  switch (attribute) {
    case OCI_ATTR_MODULE: return &session.context.module;
    case OCI_ATTR_ACTION: return &session.context.action;
    case OCI_ATTR_CLIENT_INFO: return &session.context.client_info;
    case OCI_ATTR_CLIENT_IDENTIFIER: return &session.context.client_identifier;
    case OCI_ATTR_CURRENT_SCHEMA: return &session.context.current_schema;
    default: return nullptr;
  }
}

// The database's names a server handle reports.
const std::string* server_text(ub4 attribute) {
  static const std::string kDatabaseName = "OCIEMU";
  static const std::string kNoDomain;
  switch (attribute) {
    case OCI_ATTR_DBNAME:
    case OCI_ATTR_INSTNAME:
    case OCI_ATTR_SERVICENAME: return &kDatabaseName;
    case OCI_ATTR_DBDOMAIN: return &kNoDomain;
    default: return nullptr;
  }
}

bool is_named_column(const sql::OracleType& t) {
  return (t.type_code == sql::kObjectColumnType || t.type_code == sql::kRefColumnType) &&
         t.type_name.find('.') != std::string::npos;
}

// The text from `from` on, or its first `length` bytes; the pointer stays valid as long as text does.
sword put_text_part(void* attributep, ub4* sizep, const std::string& text, size_t from) {
  if (attributep == nullptr) fail(24315);
  *static_cast<const OraText**>(attributep) = reinterpret_cast<const OraText*>(text.c_str() + from);
  if (sizep) *sizep = static_cast<ub4>(text.size() - from);
  return OCI_SUCCESS;
}

sword put_text_prefix(void* attributep, ub4* sizep, const std::string& text, size_t length) {
  put_text_part(attributep, sizep, text, 0);
  if (sizep) *sizep = static_cast<ub4>(length);
  return OCI_SUCCESS;
}

Handle* allocate(Environment& env, ub4 type) {
  switch (type) {
    case OCI_HTYPE_ERROR: return env.make<ErrorHandle>(&env);
    case OCI_HTYPE_SVCCTX: return env.make<ServiceContext>(&env);
    case OCI_HTYPE_STMT: return env.make<Statement>(&env);
    case OCI_HTYPE_SERVER: return env.make<Server>(&env);
    case OCI_HTYPE_SESSION: return env.make<Session>(&env);
    case OCI_HTYPE_SPOOL: return env.make<SessionPool>(&env);
    case OCI_HTYPE_DESCRIBE: return env.make<DescribeHandle>(&env);
    case OCI_DTYPE_ROWID: return env.make<RowidDescriptor>(&env);
    case OCI_DTYPE_DATE:
    case OCI_DTYPE_TIMESTAMP:
    case OCI_DTYPE_TIMESTAMP_TZ:
    case OCI_DTYPE_TIMESTAMP_LTZ: return env.make<DateTimeDescriptor>(type, &env);
    case OCI_DTYPE_INTERVAL_YM:
    case OCI_DTYPE_INTERVAL_DS: return env.make<IntervalDescriptor>(type, &env);
    case OCI_DTYPE_LOB:
    case OCI_DTYPE_FILE: return env.make<LobLocator>(type, &env);
    default:
      if (is_handle_type(type) && type != OCI_HTYPE_BIND && type != OCI_HTYPE_DEFINE) {
        return env.make<PlainHandle>(type, &env);
      }
      if (is_descriptor_type(type) && type != OCI_DTYPE_PARAM) return env.make<PlainDescriptor>(type, &env);
      return nullptr;
  }
}

sword new_environment(const char* entry_name, OCIEnv** envp, ub4 mode) {
  if (envp == nullptr) return OCI_INVALID_HANDLE;
  if (take_injected_failure(entry_name)) {
    *envp = nullptr;
    return OCI_ERROR;
  }
  try {
    *envp = reinterpret_cast<OCIEnv*>(new Environment(mode));
    return OCI_SUCCESS;
  } catch (...) {
    *envp = nullptr;
    return OCI_ERROR;
  }
}

// Oracle's form of a statement's id: 13 characters of base 32 from a hash of the text.
std::string sql_id_of(const std::string& text) {
  static constexpr char kDigits[] = "0123456789abcdfghjkmnpqrstuvwxyz";
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  std::string id(13, '0');
  for (size_t i = 0; i < id.size(); ++i, hash >>= 5) id[id.size() - 1 - i] = kDigits[hash & 31];
  return id;
}

// DML with a RETURNING ... INTO clause.
bool is_returning(const Statement& s) {
  if (s.statement_type != OCI_STMT_INSERT && s.statement_type != OCI_STMT_UPDATE &&
      s.statement_type != OCI_STMT_DELETE) {
    return false;
  }
  // RETURN is Oracle's other spelling of RETURNING; a word, not part of a name such as RETURN_DATE.
  try {
    const std::vector<sql::Token> tokens = sql::tokenize(s.text);
    return std::any_of(tokens.begin(), tokens.end(),
                       [](const sql::Token& t) { return t.is_word("RETURNING") || t.is_word("RETURN"); });
  } catch (const sql::OracleException&) {
    return false;  // text that does not even split into tokens fails at execute instead
  }
}

sword get_statement_attribute(Statement& s, void* attributep, ub4* sizep, ub4 attribute) {
  switch (attribute) {
    case OCI_ATTR_ROW_COUNT: return put<ub4>(attributep, sizep, static_cast<ub4>(s.row_count));
    case OCI_ATTR_IMPLICIT_RESULT_COUNT: return put<ub4>(attributep, sizep, s.implicit_result_count());
    case OCI_ATTR_UB8_ROW_COUNT: return put<ub8>(attributep, sizep, s.row_count);
    case OCI_ATTR_DML_ROW_COUNT_ARRAY:
      // The client's pointer is set to the statement's array; the size is the number of iterations.
      *static_cast<ub8**>(attributep) = s.row_counts.data();
      if (sizep) *sizep = static_cast<ub4>(s.row_counts.size());
      return OCI_SUCCESS;
    case OCI_ATTR_SQLFNCODE: return put<ub2>(attributep, sizep, s.sql_function_code);
    case OCI_ATTR_PREFETCH_ROWS: return put<ub4>(attributep, sizep, s.prefetch_rows);
    case OCI_ATTR_PREFETCH_MEMORY: return put<ub4>(attributep, sizep, 0);
    case OCI_ATTR_PARAM_COUNT:
      if (s.unopened()) fail(24338);
      return put<ub4>(attributep, sizep, s.column_count());
    case OCI_ATTR_STMT_TYPE: return put<ub2>(attributep, sizep, s.statement_type);
    case OCI_ATTR_PARSE_ERROR_OFFSET: return put<ub2>(attributep, sizep, s.parse_error_offset);
    case OCI_ATTR_STATEMENT: return put_text(attributep, sizep, s.text);
    case OCI_ATTR_CURRENT_POSITION: return put<ub4>(attributep, sizep, static_cast<ub4>(s.current_position));
    case OCI_ATTR_BIND_COUNT: return put<ub4>(attributep, sizep, static_cast<ub4>(s.placeholder_names().size()));
    case OCI_ATTR_ROWS_FETCHED: return put<ub4>(attributep, sizep, s.rows_fetched);
    case OCI_ATTR_NUM_DML_ERRORS: return put<ub4>(attributep, sizep, static_cast<ub4>(s.row_errors.size()));
    case OCI_ATTR_ENV: return put<void*>(attributep, sizep, s.env());
    case OCI_ATTR_STMT_IS_RETURNING: return put<ub1>(attributep, sizep, is_returning(s) ? 1 : 0);
    case OCI_ATTR_SQL_ID: return put_text(attributep, sizep, s.sql_id = sql_id_of(s.text));
    case OCI_ATTR_ROWID: {
      auto* rowid = live<RowidDescriptor>(attributep);
      if (rowid == nullptr) fail(24315);
      rowid->assign(s.rowid_text);
      if (sizep) *sizep = s.rowid_text.empty() ? 0 : static_cast<ub4>(sizeof(void*));
      return OCI_SUCCESS;
    }
    default: unknown_attribute();
  }
}

// A column flag that clients of release 19 read after the type attributes; no column here has it set.
constexpr ub4 kAttrColumnFlags534 = 534;

// Datetime, interval and rowid columns describe with the codes the client reports, not the server's.
ub2 external_type_code(int internal) {
  switch (internal) {
    case 69:
    case 208: return SQLT_RDD;
    case sql::kRefColumnType: return SQLT_REF;
    default: return builtin_data_type(internal);
  }
}

sword get_param_attribute(Param& p, void* attributep, ub4* sizep, ub4 attribute) {
  const sql::OracleType& t = p.column.type;
  switch (attribute) {
    case OCI_ATTR_DATA_SIZE: return put<ub2>(attributep, sizep, static_cast<ub2>(t.data_size));
    case OCI_ATTR_DATA_TYPE: return put<ub2>(attributep, sizep, external_type_code(t.type_code));
    case OCI_ATTR_DISP_SIZE: return put<ub2>(attributep, sizep, static_cast<ub2>(t.type_code == 2 ? 40 : t.data_size));
    case OCI_ATTR_NAME: return put_text(attributep, sizep, p.column.name);
    case OCI_ATTR_PRECISION: return put<sb2>(attributep, sizep, static_cast<sb2>(t.precision));
    case OCI_ATTR_SCALE: return put<sb1>(attributep, sizep, static_cast<sb1>(t.scale));
    case OCI_ATTR_IS_NULL: return put<ub1>(attributep, sizep, p.column.nullable ? 1 : 0);
    // Named types keep "OWNER.NAME": the describe hands out each part.
    case OCI_ATTR_TYPE_NAME:
      if (is_named_column(t)) return put_text_part(attributep, sizep, t.type_name, t.type_name.find('.') + 1);
      return put_text(attributep, sizep, t.type_name);
    case OCI_ATTR_SCHEMA_NAME: {
      static const std::string empty;
      if (is_named_column(t)) return put_text_prefix(attributep, sizep, t.type_name, t.type_name.find('.'));
      return put_text(attributep, sizep, empty);
    }
    case OCI_ATTR_CHARSET_ID: return put<ub2>(attributep, sizep, t.charset_form == 2 ? kNationalCharsetId : kDatabaseCharsetId);
    case OCI_ATTR_CHARSET_FORM: return put<ub1>(attributep, sizep, static_cast<ub1>(t.charset_form));
    case OCI_ATTR_CHAR_USED: return put<ub1>(attributep, sizep, 0);
    case OCI_ATTR_CHAR_SIZE: return put<ub2>(attributep, sizep, static_cast<ub2>(t.char_size));
    case 123: return put<ub1>(attributep, sizep, 9);  // OCI_ATTR_PTYPE: a column
    case kAttrColumnFlags534: return put<ub1>(attributep, sizep, 0);
    case kAttrRefTdo: return get_column_type_ref(p, attributep, sizep);
    default: unknown_attribute();
  }
}

sword get_attribute(const void* target, ub4 type, void* attributep, ub4* sizep, ub4 attribute) {
  switch (type) {
    case OCI_HTYPE_ENV: {
      auto* env = live<Environment>(target);
      if (!env) return OCI_INVALID_HANDLE;
      switch (attribute) {
        case OCI_ATTR_OBJECT: return put<boolean>(attributep, sizep, (env->mode & OCI_OBJECT) != 0);
        case OCI_ATTR_CHARSET_ID:
        case OCI_ATTR_ENV_CHARSET_ID: return put<ub2>(attributep, sizep, kDatabaseCharsetId);
        case OCI_ATTR_NCHARSET_ID:
        case OCI_ATTR_ENV_NCHARSET_ID: return put<ub2>(attributep, sizep, kNationalCharsetId);
        case OCI_ATTR_ENV_UTF16: return put<ub1>(attributep, sizep, 0);
        default: unknown_attribute();
      }
    }
    case OCI_HTYPE_SVCCTX: {
      auto* svc = live<ServiceContext>(target);
      if (!svc) return OCI_INVALID_HANDLE;
      switch (attribute) {
        case OCI_ATTR_SERVER: return put<void*>(attributep, sizep, svc->server);
        case OCI_ATTR_SESSION: return put<void*>(attributep, sizep, svc->session);
        case OCI_ATTR_TRANS: return put<void*>(attributep, sizep, svc->trans);
        case OCI_ATTR_STMTCACHESIZE: return put<ub4>(attributep, sizep, svc->stmt_cache_size);
        case OCI_ATTR_ENV: return put<void*>(attributep, sizep, svc->env());
        case OCI_ATTR_CALL_TIMEOUT: return put<ub4>(attributep, sizep, svc->call_timeout_ms);
        default: unknown_attribute();
      }
    }
    case OCI_HTYPE_SERVER: {
      auto* server = live<Server>(target);
      if (!server) return OCI_INVALID_HANDLE;
      if (attribute == OCI_ATTR_SERVER_STATUS) {
        return put<ub4>(attributep, sizep, server->database ? OCI_SERVER_NORMAL : OCI_SERVER_NOT_CONNECTED);
      }
      if (attribute == OCI_ATTR_ENV) return put<void*>(attributep, sizep, server->env());
      if (attribute == OCI_ATTR_CHARSET_ID) return put<ub2>(attributep, sizep, kDatabaseCharsetId);
      if (attribute == OCI_ATTR_NCHARSET_ID) return put<ub2>(attributep, sizep, kNationalCharsetId);
      if (const std::string* text = server_text(attribute)) return put_text(attributep, sizep, *text);
      unknown_attribute();
    }
    case OCI_HTYPE_SESSION: {
      auto* session = live<Session>(target);
      if (!session) return OCI_INVALID_HANDLE;
      if (attribute == OCI_ATTR_USERNAME) return put_text(attributep, sizep, session->username);
      if (attribute == OCI_ATTR_TRANSACTION_IN_PROGRESS) return put<ub1>(attributep, sizep, session->in_transaction);
      if (attribute == OCI_ATTR_PASSWORD) return put_text(attributep, sizep, session->password);
      if (attribute == OCI_ATTR_MAX_OPEN_CURSORS) return put<ub4>(attributep, sizep, kMaxOpenCursors);
      if (attribute == OCI_ATTR_CURRENT_SCHEMA && session->requested_schema) {
        return put_text(attributep, sizep, *session->requested_schema);
      }
      if (std::string* text = session_text(*session, attribute)) return put_text(attributep, sizep, *text);
      unknown_attribute();
    }
    case OCI_HTYPE_STMT: {
      auto* statement = live<Statement>(target);
      if (!statement) return OCI_INVALID_HANDLE;
      return get_statement_attribute(*statement, attributep, sizep, attribute);
    }
    case OCI_HTYPE_DESCRIBE:  // clients read column parameters under the describe handle type too
    case OCI_DTYPE_PARAM: {
      // Parameters first, in one lookup: a describe reads some eight attributes of every column.
      if (Handle* handle = find_live(target, OCI_DTYPE_PARAM)) {
        if (auto* type_param = as_type_param(handle)) return get_type_param_attribute(*type_param, attributep, sizep, attribute);
        return get_param_attribute(*static_cast<Param*>(handle), attributep, sizep, attribute);
      }
      if (auto* describe = live<DescribeHandle>(target)) return get_describe_attribute(*describe, attributep, sizep, attribute);
      return OCI_INVALID_HANDLE;
    }
    case OCI_HTYPE_BIND: {
      auto* bind = live<Bind>(target);
      if (!bind) return OCI_INVALID_HANDLE;
      if (attribute == OCI_ATTR_ROWS_RETURNED) return put<ub4>(attributep, sizep, bind->rows_returned);
      unknown_attribute();
    }
    case OCI_HTYPE_SPOOL: {
      auto* pool = live<SessionPool>(target);
      if (!pool) return OCI_INVALID_HANDLE;
      uint32_t value = pool->attribute(attribute);
      if (attribute == OCI_ATTR_SPOOL_GETMODE) return put<ub1>(attributep, sizep, static_cast<ub1>(value));
      return put<ub4>(attributep, sizep, value);
    }
    case OCI_HTYPE_ERROR: {
      auto* errors = live<ErrorHandle>(target);
      if (!errors) return OCI_INVALID_HANDLE;
      if (attribute == OCI_ATTR_DML_ROW_OFFSET) return put<ub4>(attributep, sizep, errors->dml_row_offset);
      // No error here is one a retry on a fresh connection would cure.
      if (attribute == OCI_ATTR_ERROR_IS_RECOVERABLE) return put<ub1>(attributep, sizep, 0);
      unknown_attribute();
    }
    default:
      if (!find_live(target, type)) return OCI_INVALID_HANDLE;
      unknown_attribute();
  }
}

std::string text_of(const void* attributep, ub4 size) {
  if (attributep == nullptr) return {};
  return std::string(static_cast<const char*>(attributep), size);
}

sword set_attribute(void* target, ub4 type, void* attributep, ub4 size, ub4 attribute) {
  switch (type) {
    case OCI_HTYPE_SVCCTX: {
      auto* svc = live<ServiceContext>(target);
      if (!svc) return OCI_INVALID_HANDLE;
      switch (attribute) {
        case OCI_ATTR_SERVER: svc->server = static_cast<Server*>(attributep); break;
        case OCI_ATTR_SESSION: svc->session = static_cast<Session*>(attributep); break;
        case OCI_ATTR_TRANS: svc->trans = attributep; break;
        case OCI_ATTR_STMTCACHESIZE:
          if (!attributep) fail(24315);
          std::memcpy(&svc->stmt_cache_size, attributep, sizeof(ub4));
          if (auto* session = live<Session>(svc->session)) {
            session->cache_enabled = svc->stmt_cache_size > 0;
            session->cache_capacity = svc->stmt_cache_size;
          }
          break;
        case OCI_ATTR_CALL_TIMEOUT:
          if (!attributep) fail(24315);
          std::memcpy(&svc->call_timeout_ms, attributep, sizeof(ub4));
          break;
        default: break;
      }
      return OCI_SUCCESS;
    }
    case OCI_HTYPE_SESSION: {
      auto* session = live<Session>(target);
      if (!session) return OCI_INVALID_HANDLE;
      if (attribute == OCI_ATTR_USERNAME) session->username = text_of(attributep, size);
      if (attribute == OCI_ATTR_PASSWORD) session->password = text_of(attributep, size);
      if (attribute == OCI_ATTR_CURRENT_SCHEMA) {
        session->requested_schema = text_of(attributep, size);
      } else if (std::string* text = session_text(*session, attribute)) {
        *text = text_of(attributep, size);
      }
      return OCI_SUCCESS;
    }
    case OCI_HTYPE_STMT: {
      auto* statement = live<Statement>(target);
      if (!statement) return OCI_INVALID_HANDLE;
      if (attribute == OCI_ATTR_PREFETCH_ROWS && attributep) {
        std::memcpy(&statement->prefetch_rows, attributep, 4);
        statement->prefetch_set = true;
      }
      return OCI_SUCCESS;
    }
    case OCI_HTYPE_SPOOL: {
      auto* pool = live<SessionPool>(target);
      if (!pool) return OCI_INVALID_HANDLE;
      switch (attribute) {
        case OCI_ATTR_SPOOL_GETMODE:
          if (attributep == nullptr) fail(24315);
          pool->set_attribute(attribute, *static_cast<const ub1*>(attributep));
          break;
        case OCI_ATTR_SPOOL_TIMEOUT:
        case OCI_ATTR_SPOOL_WAIT_TIMEOUT:
        case OCI_ATTR_SPOOL_MAX_LIFETIME_SESSION:
        case OCI_ATTR_SPOOL_STMTCACHESIZE: {
          if (attributep == nullptr) fail(24315);
          ub4 value = 0;
          std::memcpy(&value, attributep, sizeof value);
          pool->set_attribute(attribute, value);
          break;
        }
        default: break;  // connection classes, the pool's auth handle...: nothing to do here
      }
      return OCI_SUCCESS;
    }
    case OCI_HTYPE_BIND: {
      auto* bind = live<Bind>(target);
      if (!bind) return OCI_INVALID_HANDLE;
      if (attribute == OCI_ATTR_MAXCHAR_SIZE && attributep) bind->max_chars = static_cast<uint32_t>(*static_cast<const sb4*>(attributep));
      return OCI_SUCCESS;
    }
    default:
      // Other settings (prefetch memory, charset forms, client info...) do not change what the emulator does.
      return find_live(target, type) ? OCI_SUCCESS : OCI_INVALID_HANDLE;
  }
}

}  // namespace

extern "C" {

sword OCIInitialize(ub4, void*, OCIMallocCallback, OCIReallocCallback, OCIFreeCallback) { return OCI_SUCCESS; }

sword OCIEnvInit(OCIEnv** envp, ub4 mode, size_t, void** usrmempp) {
  if (usrmempp) *usrmempp = nullptr;
  return new_environment("OCIEnvInit", envp, mode);
}

sword OCIEnvCreate(OCIEnv** envp, ub4 mode, void*, OCIMallocCallback, OCIReallocCallback, OCIFreeCallback, size_t,
                   void** usrmempp) {
  if (usrmempp) *usrmempp = nullptr;
  return new_environment("OCIEnvCreate", envp, mode);
}

// Every text is UTF-8 here whatever the application names, so the ids only need to be known ones.
sword OCIEnvNlsCreate(OCIEnv** envp, ub4 mode, void*, OCIMallocCallback, OCIReallocCallback, OCIFreeCallback, size_t,
                      void** usrmempp, ub2, ub2) {
  if (usrmempp) *usrmempp = nullptr;
  return new_environment("OCIEnvNlsCreate", envp, mode);
}

sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t, void** usrmempp) {
  auto* env = live<Environment>(parenth);
  if (env == nullptr || hndlpp == nullptr) return OCI_INVALID_HANDLE;
  if (usrmempp) *usrmempp = nullptr;
  if (int code = take_injected_failure("OCIHandleAlloc")) {
    // Without an error handle yet, the environment carries the diagnostic.
    env->records.assign(ErrorRecord{code, full_message(code, message_text(code))});
    return OCI_ERROR;
  }
  try {
    if (type == OCI_HTYPE_ENV) return OCI_INVALID_HANDLE;
    Handle* handle = allocate(*env, type);
    *hndlpp = handle ? handle->address() : nullptr;
    return handle ? OCI_SUCCESS : OCI_INVALID_HANDLE;
  } catch (...) {
    return OCI_ERROR;
  }
}

sword OCIHandleFree(void* hndlp, ub4 type) {
  Handle* handle = find_live(hndlp, type);
  if (handle == nullptr || type == OCI_HTYPE_BIND || type == OCI_HTYPE_DEFINE) return OCI_INVALID_HANDLE;
  try {
    if (type == OCI_HTYPE_ENV) {
      delete static_cast<Environment*>(handle);
    } else if (type == OCI_HTYPE_STMT) {
      // A statement finalises its cursor on the session's connection.
      SessionCallLock call(static_cast<Statement*>(handle)->session());
      handle->env()->destroy(handle);
    } else {
      handle->env()->destroy(handle);
    }
    return OCI_SUCCESS;
  } catch (...) {
    return OCI_ERROR;
  }
}

sword OCIDescriptorAlloc(const void* parenth, void** descpp, ub4 type, size_t xtramem_sz, void** usrmempp) {
  if (!is_descriptor_type(type)) return OCI_INVALID_HANDLE;
  return OCIHandleAlloc(parenth, descpp, type, xtramem_sz, usrmempp);
}

sword OCIDescriptorFree(void* descp, ub4 type) {
  if (!is_descriptor_type(type)) return OCI_INVALID_HANDLE;
  // Parameter descriptors belong to their statement and go with it.
  if (type == OCI_DTYPE_PARAM) return find_live(descp, type) ? OCI_SUCCESS : OCI_INVALID_HANDLE;
  Handle* handle = find_live(descp, type);
  // Oracle's client frees any timestamp kind given the plain TIMESTAMP type.
  if (handle == nullptr && type == OCI_DTYPE_TIMESTAMP) handle = live_datetime(descp);
  if (handle == nullptr) return OCI_INVALID_HANDLE;
  handle->env()->destroy(handle);
  return OCI_SUCCESS;
}

sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type) {
  const ErrorRecords* records = nullptr;
  if (type == OCI_HTYPE_ERROR) {
    if (auto* errors = live<ErrorHandle>(hndlp)) records = &errors->records;
  } else if (type == OCI_HTYPE_ENV) {
    if (auto* env = live<Environment>(hndlp)) records = &env->records;
  }
  if (records == nullptr) return OCI_INVALID_HANDLE;
  if (sqlstate) std::memcpy(sqlstate, "00000", 6);
  const std::optional<ErrorRecord> found = records->get(recordno);
  if (!found) return OCI_NO_DATA;
  const ErrorRecord& record = *found;
  if (errcodep) *errcodep = record.code;
  if (bufp && bufsiz > 0) {
    std::string text = record.text + "\n";  // Oracle's texts end with a line feed
    size_t n = std::min<size_t>(text.size(), bufsiz - 1);
    std::memcpy(bufp, text.data(), n);
    bufp[n] = 0;
  }
  return OCI_SUCCESS;
}

sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep, ub4 attrtype, OCIError* errhp) {
  bool bad = false;
  ErrorHandle* errors = error_handle(errhp, bad);
  if (bad) return OCI_INVALID_HANDLE;
  return guarded("OCIAttrGet", errors, [&] { return get_attribute(trgthndlp, trghndltyp, attributep, sizep, attrtype); });
}

sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype, OCIError* errhp) {
  bool bad = false;
  ErrorHandle* errors = error_handle(errhp, bad);
  if (bad) return OCI_INVALID_HANDLE;
  return guarded("OCIAttrSet", errors, [&] { return set_attribute(trgthndlp, trghndltyp, attributep, size, attrtype); });
}

}  // extern "C"
