// Turns a filter text into an expression tree. Names that are no keyword or
// built-in function go to the caller's resolver (the dataset answers with
// column nodes). Thread-safe: yes, parses on different threads are independent.
#pragma once

#include <string>

#include "oracle/filter/expression.h"
#include "db/filter_options.h"

namespace kvell {

// The root of the tree, or null when the text holds no expression. Raises
// EExpression on any error and leaves nothing allocated behind. The resolver
// may be empty: every column name is then an unknown identifier.
TExpressionPtr ParseFilterExpression(const std::string& text, TFilterOptions options,
                                     const TGetColumnExpression& get_column);

}  // namespace kvell
