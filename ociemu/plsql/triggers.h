// User triggers: CREATE [OR REPLACE] TRIGGER stores the trigger (its row,
// source and any compile error) and gives its table the row hooks; a
// TriggerRuntime on each session's connection runs the bodies for the rows
// those hooks and the translated INSERT and UPDATE statements hand it, with
// :NEW, :OLD, INSERTING, UPDATING and DELETING. An error leaving a body fails
// the row's statement with ORA-04088 after the body's own error lines.
//
// Thread-safe: no; a runtime serves its session's connection, one call at a time.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ociemu/plsql/host.h"
#include "ociemu/plsql/interpreter.h"
#include "ociemu/sql/dialect.h"
#include "ociemu/sql/triggers.h"

namespace ociemu::plsql {

struct Unit;

// Runs CREATE [OR REPLACE] TRIGGER; false when the body does not compile (it is stored all the same).
bool create_trigger(std::string_view text, sqlite3* db, sql::SessionContext& session);

class TriggerRuntime final : public Host {
 public:
  // Registers the trigger functions on db; output and enabled are the session's DBMS_OUTPUT state.
  TriggerRuntime(sqlite3* db, sql::SessionContext& context, std::vector<std::string>& output, bool& enabled);
  ~TriggerRuntime() override;
  TriggerRuntime(const TriggerRuntime&) = delete;
  TriggerRuntime& operator=(const TriggerRuntime&) = delete;

  // Runs the enabled row triggers of table for timing 'B' or 'A' on row.
  void fire(const std::string& table, char timing, TriggerRow& row);
  // BEFORE triggers of an INSERT or UPDATE row: keeps the row they leave; returns its key.
  int64_t keep_before(const std::string& table, TriggerRow& row, const std::string& set_list);
  // Column index of a kept row; the row is forgotten after `reads` reads.
  const Value* kept_value(int64_t key, size_t index, size_t reads);

  // A trigger function failed: the statement that called it ends.
  void statement_failed();

  // True while a trigger body runs (its own DML is not the statement's).
  bool firing() const { return depth_ > 0; }

  // ---- Host: a trigger body has no binds and may not end the transaction ----
  sqlite3* db() override { return db_; }
  sql::SessionContext& context() override { return context_; }
  bool has_bind(const std::string&) override { return false; }
  void bind_to(const std::string&, sqlite3_stmt*, int, int) override;
  void write_bind(const std::string&, const Value&, const std::optional<sql::OracleType>&, int) override;
  bool is_table_bind(const std::string&) override { return false; }
  int table_length(const std::string&) override { return 0; }
  int table_capacity(const std::string&) override { return 0; }
  void set_table_length(const std::string&, int) override {}
  void open_bind_cursor(const std::string&, sqlite3_stmt*, const std::vector<std::string>&,
                        const std::vector<std::optional<sql::OracleType>>&) override;
  // LOB work inside a trigger body is not offered: no LOB binds, no temporary LOBs.
  std::optional<Value> bind_lob(const std::string&, int) override { return std::nullopt; }
  bool is_character_lob_bind(const std::string&) override { return false; }
  sql::LobContent& lob_content(const Value&, bool) override;
  void lob_changed(const Value&) override {}
  Value create_temporary_lob(bool) override;
  void free_temporary_lob(const Value&) override {}
  bool is_temporary_lob(const Value&) override { return false; }
  void start_write() override {}
  void commit() override;
  void rollback() override;
  void savepoint(const std::string&) override;
  void rollback_to(const std::string&) override;
  void schema_changed() override {}
  std::vector<std::string>& output_lines() override { return output_; }
  bool& output_enabled() override { return output_enabled_; }
  // The session's stored programs and calls running, shared with its blocks.
  CallState* calls() override { return call_state; }
  CallState* call_state = nullptr;

 private:
  struct Compiled {
    int64_t version = 0;
    int64_t schema = 0;  // PRAGMA schema_version it was compiled under
    std::unique_ptr<Unit> unit;
    bool running = false;
  };
  struct Kept {
    std::vector<Value> values;
    size_t reads = 0;
  };
  std::vector<sql::FiringTrigger> candidates(const std::string& table, char timing, const TriggerRow& row);
  Unit& unit_for(const sql::FiringTrigger& trigger, const std::string& table);
  void run(const sql::FiringTrigger& trigger, const std::string& table, TriggerRow& row);

  sqlite3* db_;
  sql::SessionContext& context_;
  std::vector<std::string>& output_;
  bool& output_enabled_;
  std::map<std::string, Compiled> units_;           // by OWNER.NAME
  std::unordered_map<int64_t, Kept> kept_;          // rows between BEFORE and their insert or update
  std::map<std::string, std::vector<std::string>> updated_;  // by table: the columns its last UPDATE sets
  int64_t next_key_ = 0;
  int depth_ = 0;     // trigger bodies running, nested ones included
  Value last_value_;  // the value kept_value() handed out last
};

}  // namespace ociemu::plsql
