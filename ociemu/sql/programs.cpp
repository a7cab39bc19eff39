#include "ociemu/sql/programs.h"

#include <vector>

#include "ociemu/sql/catalogue.h"
#include "ociemu/sql/dictionary.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/lexer.h"
#include "ociemu/sql/sqlite_query.h"

namespace ociemu::sql {
namespace {

std::string key_sql(const ProgramKey& key) {
  return " WHERE OWNER = " + quote_literal(key.owner) + " AND NAME = " + quote_literal(key.name);
}

}  // namespace

std::string session_schema(const SessionContext& session) { return default_schema(session); }

std::optional<std::string> object_type(sqlite3* db, std::string_view owner, std::string_view name) {
  std::optional<SchemaObject> object = find_object(db, owner, name);
  if (!object) return std::nullopt;
  return object->type;
}

std::optional<std::string> stored_function(sqlite3* db, const SessionContext& session,
                                           const std::vector<std::string>& parts) {
  if (parts.empty() || parts.size() > 3) return std::nullopt;
  // [owner.]package.function: the package's member, found when called.
  const std::optional<std::string> package("PACKAGE");
  if (parts.size() == 3 && object_type(db, parts[0], parts[1]) == package) return parts[0] + "." + parts[1] + "." + parts[2];
  if (parts.size() == 2 && object_type(db, parts[0], parts[1]) != std::optional<std::string>("FUNCTION") &&
      object_type(db, session_schema(session), parts[0]) == package) {
    return session_schema(session) + "." + parts[0] + "." + parts[1];
  }
  if (parts.size() == 3) return std::nullopt;
  std::string owner = parts.size() == 2 ? parts[0] : session_schema(session);
  const std::string& name = parts.back();
  if (object_type(db, owner, name) != std::optional<std::string>("FUNCTION")) return std::nullopt;
  if (parts.size() == 1) {
    Query builtin(db, "SELECT 1 FROM pragma_function_list WHERE name = lower(?1)");
    builtin.bind(1, name);
    if (builtin.step()) return std::nullopt;
  }
  return owner + "." + name;
}

std::optional<std::string> function_return_type(sqlite3* db, std::string_view key) {
  size_t dot = key.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  std::optional<StoredProgramText> program = stored_program(db, key.substr(0, dot), key.substr(dot + 1));
  if (!program || program->type != "FUNCTION") return std::nullopt;
  std::vector<Token> tokens;
  try {
    tokens = tokenize(program->text);
  } catch (const OracleException&) {
    return std::nullopt;
  }
  // FUNCTION name [(parameters)] RETURN type {IS | AS | DETERMINISTIC | ...}
  size_t i = 0;
  while (i < tokens.size() && !tokens[i].is_word("RETURN")) {
    if (tokens[i].is_op("(")) {
      for (int depth = 0; i < tokens.size(); ++i) {
        depth += tokens[i].is_op("(") ? 1 : tokens[i].is_op(")") ? -1 : 0;
        if (depth == 0) break;
      }
    }
    ++i;
  }
  std::string type;
  for (++i; i < tokens.size() && tokens[i].kind != TokenKind::End; ++i) {
    const Token& t = tokens[i];
    if (t.is_word("IS") || t.is_word("AS") || t.is_word("DETERMINISTIC") || t.is_word("PIPELINED") ||
        t.is_word("PARALLEL_ENABLE") || t.is_word("RESULT_CACHE") || t.is_word("AUTHID")) {
      break;
    }
    bool tight = t.kind != TokenKind::Word || (!type.empty() && type.back() == '(');
    type += (type.empty() || tight ? "" : " ") + t.text;
  }
  if (type.empty()) return std::nullopt;
  return type;
}

std::optional<StoredProgramText> stored_program(sqlite3* db, std::string_view owner, std::string_view name) {
  std::optional<std::string> type = object_type(db, owner, name);
  if (!type || (*type != "PROCEDURE" && *type != "FUNCTION")) return std::nullopt;
  StoredProgramText program;
  program.type = *type;
  program.text = program_source(db, owner, name, *type).value_or("");
  Query errors(db, "SELECT 1 FROM \"OCIEMU$ERRORS\" WHERE OWNER = ?1 AND NAME = ?2");
  errors.bind(1, owner).bind(2, name);
  program.invalid = errors.step();
  return program;
}

std::optional<std::string> program_source(sqlite3* db, std::string_view owner, std::string_view name,
                                          std::string_view type) {
  Query lines(db, "SELECT TEXT FROM \"OCIEMU$SOURCE\" WHERE OWNER = ?1 AND NAME = ?2 AND TYPE = ?3 ORDER BY LINE");
  lines.bind(1, owner).bind(2, name).bind(3, type);
  std::optional<std::string> text;
  while (lines.step()) text = text.value_or("") + lines.text(0);
  return text;
}

void store_program(sqlite3* db, const ProgramKey& key, std::string_view source, const std::optional<ProgramError>& error) {
  std::vector<std::string> statements;
  if (!object_type(db, key.owner, key.name)) statements.push_back(register_object_sql(key.owner, key.name, key.type));
  for (std::string& line : store_source_sql(key.owner, key.name, key.type, source)) statements.push_back(std::move(line));
  // A package's declaration and body keep their own errors.
  statements.push_back("DELETE FROM \"OCIEMU$ERRORS\"" + key_sql(key) + " AND TYPE = " + quote_literal(key.type));
  if (error) {
    statements.push_back("INSERT INTO \"OCIEMU$ERRORS\" VALUES (" + quote_literal(key.owner) + ", " +
                         quote_literal(key.name) + ", " + quote_literal(key.type) + ", 1, " +
                         std::to_string(error->line) + ", " + std::to_string(error->column) + ", " +
                         quote_literal(error->text) + ")");
  }
  execute(db, "SAVEPOINT ociemu_store_program");
  try {
    for (const std::string& statement : statements) execute(db, statement);
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK TO ociemu_store_program; RELEASE ociemu_store_program", nullptr, nullptr, nullptr);
    throw;
  }
  execute(db, "RELEASE ociemu_store_program");
}

}  // namespace ociemu::sql
