// DBMS_LOB in a PL/SQL unit: its procedure calls, ISTEMPORARY and its constants.
#include "ociemu/plsql/compiler_internal.h"
#include "ociemu/plsql/dbms_lob.h"

namespace ociemu::plsql {

void Compiler::parse_lob_arguments(Stmt& stmt, int at, int end) {
  const LobProcedure* procedure = find_lob_procedure(std::string_view(stmt.name).substr(kLobPackage.size()));
  if (procedure == nullptr) undeclared(at, stmt.name);
  if (accept_op("(")) {
    int close = find_top(pos_, end, [&](int i) { return op(i, ")"); });
    while (pos_ < close) {
      int comma = find_top(pos_, close, [&](int i) { return op(i, ","); });
      bool written = procedure->written & (1u << stmt.values.size());
      stmt.values.push_back(compile_expr(pos_, comma));
      stmt.targets.push_back(written ? parse_target(pos_, comma) : Target{});
      pos_ = comma < close ? comma + 1 : close;
    }
    pos_ = close + 1;
  }
  if (stmt.values.size() < procedure->min_arguments || stmt.values.size() > procedure->max_arguments) {
    error_at(at, format(kPlsWrongArguments, stmt.name), kStatementIgnored);
  }
}

int Compiler::after_lob_package(int i) const {
  if (word(i, "SYS") && op(i + 1, ".")) i += 2;
  return word(i, "DBMS_LOB") && op(i + 1, ".") ? i + 2 : -1;
}

std::optional<Ref> Compiler::lob_ref(int member, int end, int& next) {
  Ref ref;
  const std::string name = name_at(member);
  if (name == "ISTEMPORARY" && op(member + 1, "(")) {
    int close = find_top(member + 2, end, [&](int k) { return op(k, ")"); });
    ref.kind = Ref::LobIsTemporary;
    ref.index = compile_expr(member + 2, close);
    next = close + 1;
    return ref;
  }
  auto constant = lob_constant(name);
  if (!constant || op(member + 1, "(")) return std::nullopt;
  ref.kind = Ref::Constant;
  ref.value = *constant;
  next = member + 1;
  return ref;
}

}  // namespace ociemu::plsql
