// Oracle's own outer join: "FROM emp e, dept d WHERE e.deptno = d.deptno(+)" keeps every EMP
// row, with nulls for DEPT where none matches. A table whose columns a WHERE term marks with (+)
// is LEFT JOINed on every term that marks it, after the tables those terms read; the other
// terms stay in the WHERE, where they filter the joined rows as Oracle's do.
#include <algorithm>

#include "ociemu/sql/translator.h"

namespace ociemu::sql {
namespace {

constexpr int kTwoTablesJoinedToEachOther = 1416, kTwoMarkedTables = 1468, kMarkUnderOr = 1719;
constexpr int kMarkWithAnsiJoins = 25156, kMarkNotHere = 30563;

// One WHERE term that marks columns with (+).
struct MarkedTerm {
  int begin = 0, end = 0;
  size_t marked = 0;           // the table whose columns it marks, by index into the scope
  std::vector<size_t> reads;   // the tables of the scope it reads, the marked one included
};

bool starts_subquery(const Translator& t, int index) {
  return t.token(index).is_op("(") && (t.word_at(index + 1, "SELECT") || t.word_at(index + 1, "WITH"));
}

}  // namespace

std::vector<int> Translator::outer_join_marks(int begin, int end, const Scope& scope, const FromParts& from,
                                              std::string& from_sql) {
  // Where the WHERE marks columns, outside the sub-queries, which answer for their own.
  std::vector<int> marks;
  for (int k = begin; k < end; ++k) {
    if (starts_subquery(*this, k)) k = matching(k);
    else if (marks_outer_join(k)) marks.push_back(k);
  }
  if (marks.empty()) return {};
  if (from.ansi_joins) fail(kMarkWithAnsiJoins, marks.front());
  const auto conjuncts = top_level_conjuncts(begin, end);
  if (!conjuncts) fail(kMarkUnderOr, marks.front());

  // The table of the scope that the identifier chain ending at `last` names; nullopt for none.
  const auto table_named = [&](int last) -> std::optional<size_t> {
    const TableRef* table = nullptr;
    if (token(last - 1).is_op(".")) {
      const Token& qualifier = token(last - 2);
      if (qualifier.kind == TokenKind::Word || qualifier.kind == TokenKind::QuotedName) table = scope.find_alias(qualifier.text);
    } else {
      table = column_table(scope, "", identifier(last));
    }
    for (size_t k = 0; k < scope.tables.size(); ++k) {
      if (&scope.tables[k] == table) return k;
    }
    return std::nullopt;
  };
  std::vector<MarkedTerm> terms;
  for (const auto& [first, last] : *conjuncts) {
    MarkedTerm term;
    term.begin = first, term.end = last;
    bool marked = false;
    for (int k = first; k < last; ++k) {
      if (starts_subquery(*this, k)) {
        k = matching(k);
        continue;
      }
      const Token& t = token(k);
      const bool name = t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Word && !is_reserved_word(t.text));
      if (!name || token(k + 1).is_op(".") || (token(k + 1).is_op("(") && !marks_outer_join(k + 1))) continue;
      const std::optional<size_t> table = table_named(k);
      if (!table) continue;
      if (std::find(term.reads.begin(), term.reads.end(), *table) == term.reads.end()) term.reads.push_back(*table);
      if (!marks_outer_join(k + 1)) continue;
      if (marked && term.marked != *table) fail(kTwoMarkedTables, k + 1);
      term.marked = *table;
      marked = true;
    }
    if (!marked) {
      for (int mark : marks) {
        if (mark >= first && mark < last) fail(kMarkNotHere, mark);  // (+) on no column of this query's tables
      }
      continue;
    }
    terms.push_back(std::move(term));
  }

  // Tables that some term joins to another are outer-joined; terms that only filter a marked table
  // stay in the WHERE, as Oracle reads them then.
  std::vector<bool> outer(scope.tables.size(), false);
  for (const MarkedTerm& term : terms) outer[term.marked] = outer[term.marked] || term.reads.size() > 1;
  std::vector<bool> placed(scope.tables.size(), false);
  std::string tables;
  for (size_t k = 0; k < scope.tables.size(); ++k) {
    if (outer[k]) continue;
    tables += (tables.empty() ? "" : ", ") + from.tables[k];
    placed[k] = true;
  }
  if (tables.empty()) fail(kTwoTablesJoinedToEachOther, marks.front());
  // Each outer-joined table comes after every table its terms read, so that its ON reads only those.
  const auto ready = [&](size_t table) {
    return std::all_of(terms.begin(), terms.end(), [&](const MarkedTerm& term) {
      return term.marked != table ||
             std::all_of(term.reads.begin(), term.reads.end(), [&](size_t read) { return read == table || placed[read]; });
    });
  };
  std::vector<int> moved;
  outer_join_marks_allowed_ = true;
  while (std::find(placed.begin(), placed.end(), false) != placed.end()) {
    size_t next = 0;
    while (next < placed.size() && (placed[next] || !ready(next))) ++next;
    if (next == placed.size()) fail(kTwoTablesJoinedToEachOther, marks.front());
    std::string on;
    for (const MarkedTerm& term : terms) {
      if (term.marked != next) continue;
      on += (on.empty() ? "(" : " AND (") + rewrite(term.begin, term.end, scope) + ")";
      moved.push_back(term.begin);
    }
    tables += " LEFT JOIN " + from.tables[next] + " ON " + on;
    placed[next] = true;
  }
  from_sql = tables;
  return moved;
}

}  // namespace ociemu::sql
