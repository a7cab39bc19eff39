// The benchmarks' table of five columns (id, amount, name, day, note),
// created and filled through array inserts. Thread-safe: no.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"

namespace kvell::bench {

inline void CreateAndFillTable(TOracleSession& session, const std::string& table, int rows) {
  constexpr int kBatch = 1000;
  TOracleQuery create;
  create.SetSession(&session);
  create.SQL().SetText("create table " + table +
                       " (id number(9), amount number, name varchar2(30), day date, note varchar2(100))");
  create.Execute();
  TOracleQuery insert;
  insert.SetSession(&session);
  insert.SQL().SetText("insert into " + table + " values (:id, :amount, :name, :day, :note)");
  insert.DeclareVariable("id", 3);
  insert.DeclareVariable("amount", 4);
  insert.DeclareVariable("name", 5);
  insert.DeclareVariable("day", 12);
  insert.DeclareVariable("note", 5);
  for (int first = 0; first < rows; first += kBatch) {
    std::vector<Variant> ids, amounts, names, days, notes;
    for (int id = first; id < first + kBatch; ++id) {
      ids.emplace_back(id);
      amounts.emplace_back(id * 0.25);
      names.emplace_back("name " + std::to_string(id));
      days.push_back(Variant::FromDateTime(45000.0 + id % 3650));
      notes.emplace_back("a somewhat longer note for row " + std::to_string(id % 1000));
    }
    insert.SetVariable("id", Variant::FromArray(std::move(ids)));
    insert.SetVariable("amount", Variant::FromArray(std::move(amounts)));
    insert.SetVariable("name", Variant::FromArray(std::move(names)));
    insert.SetVariable("day", Variant::FromArray(std::move(days)));
    insert.SetVariable("note", Variant::FromArray(std::move(notes)));
    insert.ExecuteArray(0, kBatch);
  }
  session.Commit();
}

}  // namespace kvell::bench
