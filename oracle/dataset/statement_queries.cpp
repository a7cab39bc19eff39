#include "oracle/dataset/statement_queries.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "oracle/session/oracle_query.h"
#include "runtime/ansi_case.h"
#include "runtime/exception.h"

namespace kvell {

// ---- StatementBinds ----

namespace {

// Shapes are told apart across all binds, so that a query can remember which binds it matched.
uint64_t new_shape_id() {
  static std::atomic<uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace

const StatementBinds::Entry* StatementBinds::find(std::string_view name) const {
  // Generated names come spelled alike; folding case is only the fallback.
  for (const Entry& entry : *this)
    if (entry.Name == name) return &entry;
  for (const Entry& entry : *this)
    if (AnsiSameText(entry.Name, name)) return &entry;
  return nullptr;
}

StatementBinds::Entry& StatementBinds::entry(std::string_view name) {
  const Entry* found = find(name);
  if (!found) throw Exception("Variable " + std::string(name) + " is not declared");
  return const_cast<Entry&>(*found);
}

int StatementBinds::Declare(std::string_view name, int type) {
  // The same statement again, post after post. An entry is made only after
  // the entries before it, which stay as they were until it goes: none of
  // them can have its name.
  if (count_ < entries_.size() && entries_[count_].Name == name && entries_[count_].Type == type)
    return static_cast<int>(count_++);
  if (count_ != 0) {
    if (const Entry* found = find(name)) return static_cast<int>(found - entries_.data());
  }
  entries_.resize(count_);
  // Generated statements declare a few variables: one allocation, not one per growth.
  if (entries_.capacity() == 0) entries_.reserve(4);
  Entry& added = entries_.emplace_back();
  added.Name = name;
  added.Type = type;
  shape_id_ = new_shape_id();
  return static_cast<int>(count_++);
}

StatementBinds::Entry& StatementBinds::at(int position) {
  if (position < 0 || static_cast<size_t>(position) >= count_) throw std::out_of_range("StatementBinds position");
  return entries_[static_cast<size_t>(position)];
}

void StatementBinds::Clear() {
  for (size_t i = 0; i < count_; ++i) forget_value(entries_[i]);
  count_ = 0;
}

void StatementBinds::forget_value(Entry& target) {
  target.Value = Variant();
  target.Object = nullptr;
  target.IsObject = false;
  target.Text = {};
  target.IsText = false;
}

void StatementBinds::Set(std::string_view name, Variant value) { set_value(entry(name), std::move(value)); }

void StatementBinds::Set(int position, Variant value) {
  set_value(at(position), std::move(value));
}

void StatementBinds::set_value(Entry& target, Variant value) {
  target.Value = std::move(value);
  target.IsText = false;
}

void StatementBinds::SetText(std::string_view name, std::string_view text) { set_text(entry(name), text); }

void StatementBinds::SetText(int position, std::string_view text) {
  set_text(at(position), text);
}

void StatementBinds::set_text(Entry& target, std::string_view text) {
  target.Text = text;
  target.IsText = true;
}

void StatementBinds::SetObject(std::string_view name, TComplexValue* object) {
  Entry& target = entry(name);
  target.Object = object;
  target.IsObject = true;
}

bool StatementBinds::Has(std::string_view name) const { return find(name) != nullptr; }

int StatementBinds::Position(std::string_view name) const {
  const Entry* found = find(name);
  return found ? static_cast<int>(found - entries_.data()) : -1;
}

// ---- TStatementQueries ----

TStatementQueries::~TStatementQueries() = default;

bool TStatementQueries::declared_alike(const Entry& entry, const StatementBinds& binds) {
  return std::equal(entry.Declared.begin(), entry.Declared.end(), binds.begin(), binds.end(),
                    [](const auto& held, const StatementBinds::Entry& wanted) {
                      return held.first == wanted.Name && held.second == wanted.Type;
                    });
}

TStatementQueries::Entry& TStatementQueries::entry_for(std::string_view text) {
  for (Entry& entry : entries_)
    if (entry.Text == text) return entry;
  if (entries_.size() >= kLimit) {
    // The last generated statement's query stays: DMLQuery() answers it.
    auto oldest = std::min_element(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
      const bool a_kept = a.Query.get() == last_, b_kept = b.Query.get() == last_;
      return a_kept != b_kept ? b_kept : a.LastUse < b.LastUse;
    });
    entries_.erase(oldest);
  }
  Entry& made = entries_.emplace_back();
  made.Text = std::string(text);
  made.Query = std::make_unique<TOracleQuery>();
  made.Query->SetName("DMLQuery");
  made.Query->SQL().SetText(made.Text);
  return made;
}

TOracleQuery& TStatementQueries::Bind(std::string_view text, const StatementBinds& binds, bool remember) {
  Entry& entry = entry_for(text);
  entry.LastUse = ++uses_;
  TOracleQuery& query = *entry.Query;
  if (entry.BoundShape.Id == 0 || entry.BoundShape != binds.shape()) {
    if (!declared_alike(entry, binds)) {
      query.DeleteVariables();
      entry.Declared.clear();
      for (const StatementBinds::Entry& bind : binds) {
        query.DeclareVariable(bind.Name, bind.Type);
        entry.Declared.emplace_back(bind.Name, bind.Type);
      }
    }
    entry.BoundShape = binds.shape();
  }
  for (size_t i = 0; i < binds.count_; ++i) {
    const StatementBinds::Entry& bind = binds.entries_[i];
    if (bind.IsObject) {
      query.SetComplexVariable(bind.Name, bind.Object);
    } else if (bind.IsText) {
      query.SetVariableText(static_cast<int>(i), bind.Text);
    } else {
      query.SetVariable(static_cast<int>(i), bind.Value);
    }
  }
  if (remember) last_ = &query;
  return query;
}

void TStatementQueries::Reparse(TOracleQuery& query) { query.SQL().SetText(query.SQL().Text()); }

void TStatementQueries::DetachObjects() {
  for (Entry& entry : entries_) {
    TOracleQuery& query = *entry.Query;
    for (int i = 0; i < query.VariableCount(); ++i) {
      const int type = query.VariableType(i);
      if (type == 112 || type == 113 || type == 114) query.SetComplexVariable(query.VariableName(i), nullptr);
    }
  }
}

void TStatementQueries::Clear() {
  last_ = nullptr;
  entries_.clear();
}

}  // namespace kvell
