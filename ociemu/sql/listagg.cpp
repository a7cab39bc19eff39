// LISTAGG([ALL | DISTINCT] value [, separator] [ON OVERFLOW ...]) [WITHIN GROUP (ORDER BY ...)]
// [OVER (PARTITION BY ...)]. SQLite's group_concat cannot order its input, so OCIEMU_LISTAGG
// gathers each row's value with its order keys and sorts them when the group is complete.
#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "ociemu/sql/errors.h"
#include "ociemu/sql/exact_number.h"
#include "ociemu/sql/functions.h"
#include "ociemu/sql/lexer.h"
#include "ociemu/sql/sqlite_query.h"
#include "ociemu/sql/translator.h"

namespace ociemu::sql {
namespace {

constexpr const char* kListaggFunction = "OCIEMU_LISTAGG";
constexpr size_t kLongestResult = 4000;  // VARCHAR2's limit in SQL
constexpr int kTooLong = 1489;

// The options argument: [0] '1' for DISTINCT; [1] 'E' (overflow is an error), 'T' (truncate
// with the count), 'W' (truncate without it); then per key 'A' or 'D' and 'F' or 'L' (nulls).
struct Options {
  bool distinct = false;
  char overflow = 'E';
  std::string keys;  // two characters per key
};

}  // namespace

std::string Translator::listagg_call(int open, const Scope& scope, Expression& result) {
  const int close = matching(open);
  Options options;
  int i = open + 1;
  if (word_at(i, "DISTINCT") || word_at(i, "UNIQUE")) {
    options.distinct = true;
    ++i;
  } else if (word_at(i, "ALL")) {
    ++i;
  }
  const int overflow = find_top_level(*this, i, close, {"ON"});
  Expression value, separator{"NULL"}, indicator{"'...'"};
  if (!starts_operand(i)) fail(936, i);
  int next = expression(i, overflow, scope, value);
  if (next < overflow && token(next).is_op(",")) {
    if (!starts_operand(next + 1)) fail(936, next + 1);
    next = expression(next + 1, overflow, scope, separator);
  }
  if (next != overflow) fail(907, next);
  if (overflow < close) {
    int at = overflow + 1;
    expect_word(at, "OVERFLOW");
    if (word_at(at, "TRUNCATE")) {
      options.overflow = 'T';
      ++at;
      if (token(at).kind == TokenKind::String) at = expression(at, close, scope, indicator);
      if (word_at(at, "WITHOUT")) options.overflow = 'W';
      if (word_at(at, "WITHOUT") || word_at(at, "WITH")) {
        ++at;
        expect_word(at, "COUNT");
      }
    } else {
      expect_word(at, "ERROR");
    }
    if (at != close) fail(907, at);
  }
  std::string keys;
  int after = close + 1;
  if (word_at(after, "WITHIN")) {
    int at = after + 1;
    expect_word(at, "GROUP");
    if (!token(at).is_op("(")) fail(906, at);
    const int group_close = matching(at);
    ++at;
    expect_word(at, "ORDER");
    expect_word(at, "BY");
    while (at < group_close) {
      Expression key;
      if (!starts_operand(at)) fail(936, at);
      at = expression(at, group_close, scope, key);
      const bool descending = word_at(at, "DESC");
      if (descending || word_at(at, "ASC")) ++at;
      bool nulls_first = descending;
      if (word_at(at, "NULLS")) {
        if (!word_at(at + 1, "FIRST") && !word_at(at + 1, "LAST")) fail(905, at + 1);
        nulls_first = word_at(at + 1, "FIRST");
        at += 2;
      }
      options.keys += descending ? 'D' : 'A';
      options.keys += nulls_first ? 'F' : 'L';
      keys += ", " + key.text;
      if (at < group_close && !token(at).is_op(",")) fail(907, at);
      if (at < group_close) ++at;
    }
    after = group_close + 1;
  }
  analytic_end_ = after;
  result.type = ValueType::Text;
  const std::string flags = std::string(options.distinct ? "1" : "0") + options.overflow + options.keys;
  return std::string(kListaggFunction) + "(" + value.text + ", " + separator.text + ", " + quote_literal(flags) + ", " +
         indicator.text + keys + ")";
}

namespace {

// One row of the group: its value as text (absent for NULL, which LISTAGG skips) and its keys.
struct Entry {
  std::optional<std::string> value;
  std::vector<sqlite3_value*> keys;  // owned (sqlite3_value_dup)
};

// The rows gathered so far. A window frame drops its oldest rows first, so removal is from the front.
struct Gathered {
  std::vector<Entry> entries;
  size_t first = 0;  // entries before it left the frame
  std::string separator, flags, indicator;

  Gathered() = default;
  Gathered(const Gathered&) = delete;
  Gathered& operator=(const Gathered&) = delete;
  ~Gathered() {
    for (Entry& entry : entries) {
      for (sqlite3_value* key : entry.keys) sqlite3_value_free(key);
    }
  }
};

std::string text_of(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  return text ? std::string(text, static_cast<size_t>(sqlite3_value_bytes(value))) : std::string();
}

Gathered* gathered(sqlite3_context* context, bool create) {
  auto** slot = static_cast<Gathered**>(sqlite3_aggregate_context(context, create ? sizeof(Gathered*) : 0));
  if (slot == nullptr) return nullptr;
  if (*slot == nullptr && create) *slot = new Gathered;
  return *slot;
}

void listagg_step(sqlite3_context* context, int count, sqlite3_value** arguments) {
  Gathered* state = gathered(context, true);
  if (state == nullptr) return sqlite3_result_error_nomem(context);
  if (state->entries.empty()) {
    state->separator = text_of(arguments[1]);
    state->flags = text_of(arguments[2]);
    state->indicator = text_of(arguments[3]);
  }
  Entry entry;
  if (sqlite3_value_type(arguments[0]) != SQLITE_NULL) entry.value = text_of(arguments[0]);
  for (int k = 4; k < count; ++k) {
    entry.keys.push_back(sqlite3_value_dup(arguments[k]));
    if (entry.keys.back() == nullptr) {
      for (sqlite3_value* key : entry.keys) sqlite3_value_free(key);
      return sqlite3_result_error_nomem(context);
    }
  }
  state->entries.push_back(std::move(entry));
}

void listagg_inverse(sqlite3_context* context, int, sqlite3_value**) {
  Gathered* state = gathered(context, false);
  if (state == nullptr || state->first == state->entries.size()) return;
  Entry& gone = state->entries[state->first++];
  for (sqlite3_value* key : gone.keys) sqlite3_value_free(key);
  gone.keys.clear();
}

// Whether a sorts before b under the keys' directions and NULL placements.
bool sorts_before(const Entry& a, const Entry& b, const std::string& flags) {
  for (size_t k = 0; k < a.keys.size(); ++k) {
    const bool descending = flags[2 + 2 * k] == 'D', nulls_first = flags[3 + 2 * k] == 'F';
    const bool a_null = sqlite3_value_type(a.keys[k]) == SQLITE_NULL, b_null = sqlite3_value_type(b.keys[k]) == SQLITE_NULL;
    if (a_null || b_null) {
      if (a_null == b_null) continue;
      return a_null == nulls_first;
    }
    const int order = compare_values(a.keys[k], b.keys[k]);
    if (order != 0) return descending ? order > 0 : order < 0;
  }
  return false;
}

// The values in order, DISTINCT applied.
std::vector<const std::string*> ordered_values(const Gathered& state) {
  std::vector<const Entry*> rows;
  for (size_t k = state.first; k < state.entries.size(); ++k) {
    if (state.entries[k].value) rows.push_back(&state.entries[k]);
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [&](const Entry* a, const Entry* b) { return sorts_before(*a, *b, state.flags); });
  std::vector<const std::string*> values;
  std::set<std::string_view> seen;
  const bool distinct = state.flags[0] == '1';
  for (const Entry* row : rows) {
    if (!distinct || seen.insert(*row->value).second) values.push_back(&*row->value);
  }
  return values;
}

// As many whole values as fit with the separator, the indicator and, WITH COUNT, "(n)" for those left out.
std::string truncated(const std::vector<const std::string*>& values, const Gathered& state) {
  const bool with_count = state.flags[1] == 'T';
  auto tail = [&](size_t kept) {
    return state.separator + state.indicator + (with_count ? "(" + std::to_string(values.size() - kept) + ")" : "");
  };
  size_t kept = 0, length = 0;
  while (kept < values.size()) {
    const size_t longer = length + (kept ? state.separator.size() : 0) + values[kept]->size();
    if (longer + tail(kept + 1).size() > kLongestResult) break;
    length = longer;
    ++kept;
  }
  std::string text;
  for (size_t k = 0; k < kept; ++k) text += (k ? state.separator : "") + *values[k];
  return text + tail(kept);
}

void listagg_value(sqlite3_context* context) {
  Gathered* state = gathered(context, false);
  if (state == nullptr) return sqlite3_result_null(context);
  const std::vector<const std::string*> values = ordered_values(*state);
  if (values.empty()) return sqlite3_result_null(context);
  std::string text;
  for (size_t k = 0; k < values.size(); ++k) text += (k ? state->separator : "") + *values[k];
  if (text.size() > kLongestResult) {
    if (state->flags[1] == 'E') return result_oracle_error(context, kTooLong);
    text = truncated(values, *state);
  }
  sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void listagg_final(sqlite3_context* context) {
  listagg_value(context);
  auto** slot = static_cast<Gathered**>(sqlite3_aggregate_context(context, 0));
  if (slot != nullptr) {
    delete *slot;
    *slot = nullptr;
  }
}

}  // namespace

void register_listagg(sqlite3* db) {
  sqlite3_create_window_function(db, kListaggFunction, -1, SQLITE_UTF8, nullptr, listagg_step, listagg_final,
                                 listagg_value, listagg_inverse, nullptr);
}

}  // namespace ociemu::sql
