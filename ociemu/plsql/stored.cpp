#include "ociemu/plsql/stored.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "ociemu/plsql/compiler.h"
#include "ociemu/plsql/messages.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/lexer.h"
#include "ociemu/sql/programs.h"

namespace ociemu::plsql {
namespace {

constexpr int kNameInUse = 955;
constexpr int kNoSuchObject = 4043;

struct Header {
  std::string owner, name, type;
  bool or_replace = false;
  size_t source_offset = 0;  // where PROCEDURE/FUNCTION starts
};

Header read_header(std::string_view text, const sql::SessionContext& session) {
  std::vector<sql::Token> tokens = sql::tokenize(text);
  Header header;
  size_t i = 1;  // past CREATE
  if (i + 1 < tokens.size() && tokens[i].is_word("OR") && tokens[i + 1].is_word("REPLACE")) {
    header.or_replace = true;
    i += 2;
  }
  if (i + 1 >= tokens.size()) sql::throw_oracle(900);
  header.type = tokens[i].text;
  header.source_offset = static_cast<size_t>(tokens[i].offset);
  if (header.type == "PACKAGE" && i + 2 < tokens.size() && tokens[i + 1].is_word("BODY")) {
    header.type = "PACKAGE BODY";
    ++i;
  }
  header.name = tokens[i + 1].text;
  if (i + 3 < tokens.size() && tokens[i + 2].is_op(".")) {
    header.owner = header.name;
    header.name = tokens[i + 3].text;
  }
  if (header.owner.empty()) header.owner = sql::session_schema(session);
  return header;
}

}  // namespace

int line_count(std::string_view text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1; }

sql::OracleError counted_from_body(sql::OracleError error, int declaration_lines) {
  sql::ProgramError place = program_error(error);
  if (error.code != kCompileError || place.line <= declaration_lines) return error;
  error.message = sql::message_text(kCompileError, {std::to_string(place.line - declaration_lines),
                                                    std::to_string(place.column), place.text});
  return error;
}

sql::ProgramError program_error(const sql::OracleError& error) {
  sql::ProgramError out;
  std::sscanf(error.message.c_str(), "line %d, column %d:", &out.line, &out.column);
  size_t newline = error.message.find('\n');
  out.text = error.code == kCompileError && newline != std::string::npos ? error.message.substr(newline + 1)
                                                                           : sql::full_message(error.code, error.message);
  return out;
}

bool create_program(std::string_view text, sqlite3* db, sql::SessionContext& session) {
  Header header = read_header(text, session);
  std::string source(text.substr(header.source_offset));
  while (!source.empty() && std::isspace(static_cast<unsigned char>(source.back()))) source.pop_back();
  if (!source.empty() && source.back() != ';' && source.back() != '/') source += ';';  // the client's statement end
  std::optional<std::string> existing = sql::object_type(db, header.owner, header.name);
  std::optional<std::string> declaration;
  if (header.type == "PACKAGE BODY") {
    // The body belongs to its declaration's object.
    if (existing != std::optional<std::string>("PACKAGE")) sql::throw_oracle(kNoSuchObject, {header.name});
    declaration = sql::program_source(db, header.owner, header.name, "PACKAGE");
    if (!header.or_replace && sql::program_source(db, header.owner, header.name, header.type)) {
      sql::throw_oracle(kNameInUse);
    }
  } else if (existing && (!header.or_replace || *existing != header.type)) {
    sql::throw_oracle(kNameInUse);
  }
  std::optional<sql::ProgramError> error;
  try {
    if (header.type == "PACKAGE" || declaration) {
      compile_package(declaration ? *declaration + "\n" + source : source, db, session);
    } else {
      compile_program(source, db, session);
    }
  } catch (const sql::OracleException& e) {
    error = program_error(declaration ? counted_from_body(e.error, line_count(*declaration)) : e.error);
  }
  sql::store_program(db, sql::ProgramKey{header.owner, header.name, header.type}, source, error);
  return !error;
}

std::optional<StoredProgram> find_stored_program(sqlite3* db, const std::string& owner, const std::string& name) {
  std::optional<sql::StoredProgramText> stored = sql::stored_program(db, owner, name);
  if (!stored) return std::nullopt;
  return StoredProgram{stored->type, stored->text, stored->invalid};
}

}  // namespace ociemu::plsql
