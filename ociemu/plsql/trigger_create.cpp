// CREATE [OR REPLACE] TRIGGER: reads the header, compiles the body against the
// table's columns and stores the trigger.
#include <cctype>

#include "ociemu/plsql/compiler.h"
#include "ociemu/plsql/stored.h"
#include "ociemu/plsql/triggers.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/lexer.h"
#include "ociemu/sql/programs.h"
#include "ociemu/sql/triggers.h"

namespace ociemu::plsql {
namespace {

constexpr int kNameInUse = 955, kNoTable = 942, kNoColumn = 904, kUnimplemented = 3001, kMissingKeyword = 905;
constexpr int kInvalidTriggerClause = 4079;

using sql::Token;

struct Header {
  sql::TriggerRecord record;
  bool or_replace = false;
  std::string new_name = "NEW", old_name = "OLD";
  size_t source_offset = 0;  // where TRIGGER starts
  int when_begin = -1, when_end = -1;  // token range of the WHEN condition, inside its parentheses
  int body = -1;                       // first token of the body
};

class HeaderReader {
 public:
  HeaderReader(std::string_view text, const std::vector<Token>& tokens, const sql::SessionContext& session)
      : text_(text), tokens_(tokens), session_(session) {}

  Header read() {
    Header h;
    ++i_;  // CREATE
    if (word("OR")) {
      ++i_;
      expect("REPLACE");
      h.or_replace = true;
    }
    h.source_offset = static_cast<size_t>(tok().offset);
    expect("TRIGGER");
    int description_begin = i_;
    name(h.record.owner, h.record.name);
    if (word("INSTEAD")) sql::throw_oracle(kUnimplemented);
    if (!word("BEFORE") && !word("AFTER")) sql::throw_oracle(kInvalidTriggerClause);
    h.record.timing = tok().text;
    ++i_;
    events(h.record);
    expect("ON");
    name(h.record.table_owner, h.record.table_name);
    if (word("REFERENCING")) referencing(h);
    h.record.referencing = "REFERENCING NEW AS " + h.new_name + " OLD AS " + h.old_name;
    h.record.row_level = word("FOR");
    if (h.record.row_level) {
      ++i_;
      expect("EACH");
      expect("ROW");
    }
    if (word("ENABLE")) ++i_;
    h.record.description = span(description_begin, i_);
    if (word("WHEN")) {
      ++i_;
      if (!tok().is_op("(")) sql::throw_oracle(kMissingKeyword);
      h.when_begin = i_ + 1;
      h.when_end = matching(i_);
      h.record.when_clause = span(h.when_begin, h.when_end);
      i_ = h.when_end + 1;
    }
    h.body = i_;
    if (!h.record.row_level) sql::throw_oracle(kUnimplemented);
    return h;
  }

 private:
  const Token& tok(int at = -1) const {
    size_t index = static_cast<size_t>(at < 0 ? i_ : at);
    return tokens_[std::min(index, tokens_.size() - 1)];
  }
  bool word(std::string_view w) const { return tok().is_word(w); }
  void expect(std::string_view w) {
    if (!word(w)) sql::throw_oracle(kInvalidTriggerClause);
    ++i_;
  }
  std::string identifier() {
    const Token& t = tok();
    if (t.kind != sql::TokenKind::Word && t.kind != sql::TokenKind::QuotedName) sql::throw_oracle(kInvalidTriggerClause);
    ++i_;
    return t.text;
  }
  void name(std::string& owner, std::string& object) {
    object = identifier();
    if (tok().is_op(".")) {
      ++i_;
      owner = object;
      object = identifier();
    }
    if (owner.empty()) owner = sql::session_schema(session_);
  }
  void events(sql::TriggerRecord& record) {
    for (;;) {
      if (word("INSERT") || word("DELETE")) {
        record.events += (record.events.empty() ? "" : " OR ") + tok().text;
        ++i_;
      } else if (word("UPDATE")) {
        record.events += record.events.empty() ? "UPDATE" : " OR UPDATE";
        ++i_;
        if (word("OF")) {
          ++i_;
          do {
            if (tok().is_op(",")) ++i_;
            record.columns += (record.columns.empty() ? "" : ",") + identifier();
          } while (tok().is_op(","));
        }
      } else {
        sql::throw_oracle(kInvalidTriggerClause);
      }
      if (!word("OR")) return;
      ++i_;
    }
  }
  void referencing(Header& h) {
    ++i_;
    while (word("NEW") || word("OLD") || word("PARENT")) {
      std::string which = tok().text;
      ++i_;
      if (word("AS")) ++i_;
      std::string alias = identifier();
      if (which == "NEW") h.new_name = alias;
      if (which == "OLD") h.old_name = alias;
    }
  }
  int matching(int open) const {
    int depth = 0;
    for (int k = open; tok(k).kind != sql::TokenKind::End; ++k) {
      if (tok(k).is_op("(")) ++depth;
      if (tok(k).is_op(")") && --depth == 0) return k;
    }
    sql::throw_oracle(kMissingKeyword);
  }
  std::string span(int begin, int end) const {
    if (begin >= end) return {};
    size_t from = static_cast<size_t>(tok(begin).offset);
    size_t to = static_cast<size_t>(tok(end - 1).offset + tok(end - 1).length);
    return std::string(text_.substr(from, to - from));
  }

  std::string_view text_;
  const std::vector<Token>& tokens_;
  const sql::SessionContext& session_;
  int i_ = 0;
};

// The text between two offsets with :NEW/:OLD (placeholders) or NEW/OLD (words, in WHEN)
// followed by a dot spelt as the body's record names; lines stay where they were.
std::string with_records(std::string_view text, const std::vector<Token>& tokens, const Header& h, size_t from,
                         size_t to, sql::TokenKind kind) {
  std::string out;
  size_t copied = from;
  for (size_t k = 0; k + 1 < tokens.size(); ++k) {
    const Token& t = tokens[k];
    auto offset = static_cast<size_t>(t.offset);
    if (offset < from || offset >= to || t.kind != kind || !tokens[k + 1].is_op(".")) continue;
    std::string_view record = t.text == h.new_name ? kTriggerNewRecord : t.text == h.old_name ? kTriggerOldRecord : "";
    if (record.empty()) continue;
    out.append(text.substr(copied, offset - copied));
    out.append(record);
    copied = offset + static_cast<size_t>(t.length);
  }
  out.append(text.substr(copied, to - copied));
  return out;
}

// The block the engine runs: the body, inside IF <when> THEN ... END IF when there is a WHEN clause.
std::string action_text(std::string_view text, const std::vector<Token>& tokens, const Header& h) {
  size_t body_from = static_cast<size_t>(tokens[static_cast<size_t>(h.body)].offset);
  std::string body = with_records(text, tokens, h, body_from, text.size(), sql::TokenKind::Placeholder);
  while (!body.empty() && (std::isspace(static_cast<unsigned char>(body.back())) || body.back() == '/')) body.pop_back();
  if (!body.empty() && body.back() != ';') body += ';';
  if (h.when_begin < 0) return body;
  const Token& first = tokens[static_cast<size_t>(h.when_begin)];
  const Token& last = tokens[static_cast<size_t>(h.when_end - 1)];
  std::string when = with_records(text, tokens, h, static_cast<size_t>(first.offset),
                                  static_cast<size_t>(last.offset + last.length), sql::TokenKind::Word);
  for (char& c : when) {
    if (c == '\n' || c == '\r') c = ' ';  // the body's lines keep their numbers
  }
  return "BEGIN IF (" + when + ") THEN " + body + " END IF; END;";
}

TriggerShape shape_of(sqlite3* db, const sql::TriggerRecord& record) {
  TriggerShape shape;
  shape.name = record.owner + "." + record.name;
  for (const auto& column : sql::declared_columns(db, sql::table_sqlite_name(db, record.table_owner, record.table_name)))
    shape.columns.emplace_back(column.first, type_of_declaration(column.second));
  shape.new_assignable = record.timing == "BEFORE" && record.events != "DELETE";
  return shape;
}

void check_table(sqlite3* db, const sql::TriggerRecord& record, const TriggerShape& shape) {
  std::optional<std::string> type = sql::object_type(db, record.table_owner, record.table_name);
  if (!type || *type != "TABLE") sql::throw_oracle(kNoTable);
  size_t start = 0;
  while (start < record.columns.size()) {
    size_t comma = record.columns.find(',', start);
    if (comma == std::string::npos) comma = record.columns.size();
    std::string column = record.columns.substr(start, comma - start);
    bool known = false;
    for (const auto& c : shape.columns) known = known || c.first == column;
    if (!known) sql::throw_oracle(kNoColumn, {sql::in_quotes(column)});
    start = comma + 1;
  }
}

}  // namespace

bool create_trigger(std::string_view text, sqlite3* db, sql::SessionContext& session) {
  std::vector<Token> tokens = sql::tokenize(text);
  Header h = HeaderReader(text, tokens, session).read();
  sql::TriggerRecord& record = h.record;
  TriggerShape shape = shape_of(db, record);
  check_table(db, record, shape);
  std::optional<std::string> existing = sql::object_type(db, record.owner, record.name);
  if (existing && (!h.or_replace || *existing != "TRIGGER")) sql::throw_oracle(kNameInUse);
  record.action = action_text(text, tokens, h);
  record.body = std::string(text.substr(static_cast<size_t>(tokens[static_cast<size_t>(h.body)].offset)));
  std::string source(text.substr(h.source_offset));
  std::optional<sql::ProgramError> error;
  try {
    compile_trigger(record.action, db, session, shape);
  } catch (const sql::OracleException& e) {
    error = program_error(e.error);
  }
  sql::store_program(db, sql::ProgramKey{record.owner, record.name, "TRIGGER"}, source, error);
  sql::store_trigger(db, record);
  return !error;
}

}  // namespace ociemu::plsql
