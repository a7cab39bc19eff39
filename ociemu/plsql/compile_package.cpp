// Packages: a declaration and its body compiled as one unit whose block holds
// the package's variables and subprograms and whose statements are the body's
// initialisation; and what other units see of a package (pkg.name).
#include <array>

#include "ociemu/plsql/compiler_internal.h"
#include "ociemu/plsql/stored.h"
#include "ociemu/sql/programs.h"

namespace ociemu::plsql {

std::unique_ptr<Unit> Compiler::run_package() {
  begin_unit();
  const int start = pos_;
  parse_package_part(false);
  unit_->package_declaration = source(start, pos_);
  if (word(pos_, "PACKAGE") || (word(pos_, "CREATE") && word(pos_ + 4, "BODY"))) parse_package_part(true);
  return end_unit();
}

void Compiler::parse_package_part(bool body) {
  if (accept_word("CREATE") && accept_word("OR")) expect_word("REPLACE");
  expect_word("PACKAGE");
  if (body) expect_word("BODY");
  std::string owner, name = take_name();
  if (accept_op(".")) {
    owner = name;
    name = take_name();
  }
  unit_->name = (owner.empty() ? sql::session_schema(session_) : owner) + "." + name;
  while (!word(pos_, "IS") && !word(pos_, "AS")) {  // AUTHID and the like
    if (tok(pos_).kind == TokenKind::End) unexpected(pos_, "is");
    ++pos_;
  }
  ++pos_;
  if (!body) package_head_ = unit_->name;
  while (!word(pos_, "END") && !(body && word(pos_, "BEGIN"))) parse_declaration(unit_->block);
  package_head_.clear();
  if (body) require_bodies();
  if (!body) {
    for (const auto& [member, symbol] : scopes_.back()) {
      if (symbol.kind == Symbol::Subprogram) unit_->package_members[member].subprograms = symbol.overloads;
      if (symbol.kind == Symbol::Variable || symbol.kind == Symbol::Constant) unit_->package_members[member].slot = symbol.slot;
      if (symbol.kind == Symbol::Cursor) unit_->package_members[member].cursor = symbol.cursor;
      if (symbol.kind == Symbol::Type) unit_->package_types[member] = symbol.type;
    }
  }
  if (body && word(pos_, "BEGIN")) {
    push_scope();  // closed by the body's END
    parse_block_body(unit_->block);
  } else {
    expect_word("END");
    if (tok(pos_).kind == TokenKind::Word) ++pos_;  // END name
    expect_op(";");
  }
  if (op(pos_, "/")) ++pos_;
}

const Unit* Compiler::package_declaration(const std::string& owner, const std::string& package) {
  const std::string key = owner + "." + package;
  if (auto found = package_declarations_.find(key); found != package_declarations_.end()) return found->second.get();
  std::shared_ptr<const Unit> declared;
  if (std::optional<std::string> text = sql::program_source(db_, owner, package, "PACKAGE")) {
    try {
      declared = Compiler(*text, db_, session_).run_package();
    } catch (const sql::OracleException&) {
      declared = nullptr;  // an invalid declaration names nothing
    }
  }
  package_declarations_[key] = declared;
  return declared.get();
}

namespace {

// OWNER, PACKAGE and MEMBER of [owner.]package.member.
std::optional<std::array<std::string, 3>> member_parts(const std::vector<std::string>& parts,
                                                       const sql::SessionContext& session) {
  if (parts.size() == 2) return std::array<std::string, 3>{sql::session_schema(session), parts[0], parts[1]};
  if (parts.size() == 3) return std::array<std::string, 3>{parts[0], parts[1], parts[2]};
  return std::nullopt;
}

std::vector<std::string> split_name(const std::string& name) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', start)) {
    parts.push_back(name.substr(start, dot - start));
    start = dot + 1;
  }
  parts.push_back(name.substr(start));
  return parts;
}

}  // namespace

std::optional<Compiler::NamedMember> Compiler::named_member(const std::vector<std::string>& parts) {
  auto names = member_parts(parts, session_);
  if (!names) return std::nullopt;
  const auto& [owner, package, member] = *names;
  const Unit* declared = package_declaration(owner, package);
  if (declared == nullptr) return std::nullopt;
  auto found = declared->package_members.find(member);
  const Unit::PackageMember* declared_member = found == declared->package_members.end() ? nullptr : &found->second;
  return NamedMember{declared, owner + "." + package, member, declared_member};
}

std::vector<std::vector<std::string>> Compiler::member_chains(int i, int end) const {
  std::vector<std::string> parts{tok(i).text};
  for (int k = i + 1; k + 1 < end && op(k, ".") && tok(k + 1).kind == TokenKind::Word && parts.size() < 3; k += 2) {
    parts.push_back(tok(k + 1).text);
  }
  std::vector<std::vector<std::string>> chains;
  for (size_t count = parts.size(); count >= 2; --count) {
    chains.emplace_back(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(count));
  }
  return chains;
}

std::shared_ptr<const Signature> Compiler::package_signature(const std::string& name, int open,
                                                             std::optional<bool> function) {
  auto named = named_member(split_name(name));
  if (!named || !named->member || named->member->subprograms.empty()) return nullptr;
  const std::vector<int>& overloads = named->member->subprograms;
  const size_t overload = resolve_overload(*named->declared, overloads, open, function);
  Signature signature = named->declared->subprograms[static_cast<size_t>(overloads[overload])].signature;
  signature.name = named->package + "." + named->name;
  signature.overload = static_cast<int>(overload);
  return std::make_shared<const Signature>(std::move(signature));
}

std::optional<Ref> Compiler::package_variable(const std::vector<std::string>& parts) {
  auto named = named_member(parts);
  if (!named || !named->member || named->member->slot < 0) return std::nullopt;
  Ref ref;
  ref.kind = Ref::PackageVariable;
  ref.name = named->package;
  ref.slot = named->member->slot;
  return ref;
}

// owner.package.variable before package.variable
std::optional<Ref> Compiler::package_variable_ref(int i, int end, int& next) {
  for (const auto& chain : member_chains(i, end)) {
    if (auto ref = package_variable(chain)) {
      next = i + 2 * static_cast<int>(chain.size()) - 1;
      return ref;
    }
  }
  return std::nullopt;
}

std::optional<Compiler::PackageCursor> Compiler::package_cursor(const std::vector<std::string>& parts) {
  auto named = named_member(parts);
  if (!named || !named->member || named->member->cursor < 0) return std::nullopt;
  const CursorDecl& cursor = named->declared->cursors[static_cast<size_t>(named->member->cursor)];
  return PackageCursor{named->package, named->member->cursor, cursor.slot, &cursor};
}

std::optional<Compiler::PackageCursor> Compiler::package_cursor_at(int i, int& next) {
  if (tok(i).kind != TokenKind::Word || lookup(tok(i).text)) return std::nullopt;
  for (const auto& chain : member_chains(i, static_cast<int>(tokens_.size()))) {
    if (auto cursor = package_cursor(chain)) {
      next = i + 2 * static_cast<int>(chain.size()) - 1;
      return cursor;
    }
  }
  return std::nullopt;
}

std::optional<TypeSpec> Compiler::package_type(const std::vector<std::string>& parts) {
  auto named = named_member(parts);
  if (!named) return std::nullopt;
  const auto& types = named->declared->package_types;
  if (auto found = types.find(named->name); found != types.end()) return found->second;
  // pkg.variable%TYPE
  if (named->member && named->member->slot >= 0) return named->declared->slot_types[static_cast<size_t>(named->member->slot)];
  return std::nullopt;
}

std::unique_ptr<Unit> compile_package(std::string_view text, sqlite3* db, sql::SessionContext& session) {
  return Compiler(text, db, session).run_package();
}

}  // namespace ociemu::plsql
