// Shared pieces of the dataset editing benchmarks: a table of numbered rows
// to edit, and one pass over a dataset that edits and posts every record.
// Thread-safe: no.
#pragma once

#include <cstdint>
#include <string>

#include "oracle/dataset/oracle_dataset.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"

namespace kvell::bench {

// Creates `table` (id, amount and, with `named`, name) holding `rows`
// numbered rows, committed.
inline void CreateNumberedRows(TOracleSession& session, const std::string& table, int rows, bool named) {
  session.ExecuteInternal("create table " + table + " (id number(9), amount number" +
                              (named ? ", name varchar2(30))" : ")"),
                          false);
  TOracleQuery insert;
  insert.SetSession(&session);
  insert.SQL().SetText("insert into " + table + " values (:id, :amount" + (named ? ", :name)" : ")"));
  insert.DeclareVariable("id", 3);
  insert.DeclareVariable("amount", 4);
  if (named) insert.DeclareVariable("name", 5);
  for (int i = 0; i < rows; ++i) {
    insert.SetVariable("id", i);
    insert.SetVariable("amount", i * 1.5);
    if (named) insert.SetVariable("name", "name " + std::to_string(i));
    insert.Execute();
  }
  session.Commit();
}

// Adds `bump` to the AMOUNT of every record, one edit and post each; the
// number of posts. Out of line so that a profile can collect it alone.
[[gnu::noinline]] inline int64_t BumpEveryAmount(TDataSet& dataset, double bump) {
  TField* amount = dataset.FieldByName("AMOUNT");
  int64_t posts = 0;
  for (dataset.First(); !dataset.Eof(); dataset.Next()) {
    dataset.Edit();
    amount->SetAsFloat(amount->AsFloat() + bump);
    dataset.Post();
    ++posts;
  }
  return posts;
}

}  // namespace kvell::bench
