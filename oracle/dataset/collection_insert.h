// Inserting into a collection through a TABLE(...) or THE(...) expression
// needs the collection to exist: a block first gives every selected
// collection column that is still null its empty value, in the rows the
// expression's inner select names.
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvell {

// The inner select of a collection expression.
struct CollectionTarget {
  std::string Table;                 // as written after FROM, alias included
  std::vector<std::string> Columns;  // the select list, one entry per column
  std::string Condition;             // after the top-level WHERE; empty without one
};

// The parts of "TABLE(select ... from ... [where ...])" (or THE); no columns
// when the text is no such expression.
CollectionTarget SplitCollectionExpression(std::string_view expression);

// "begin", for each column the update that sets it to `values[i]` where it is
// null, and "end;", lines joined by CR LF.
std::string CollectionInsertBlock(const CollectionTarget& target, const std::vector<std::string>& values);

}  // namespace kvell
