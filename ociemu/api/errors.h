// Oracle errors at the call interface: raising them (the one error type and
// message table of ociemu/sql) and the diagnostic records OCIErrorGet reads.
//
// Thread-safe: yes.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ociemu/sql/errors.h"

namespace ociemu {

using sql::full_message;
using sql::MessageArgs;
using sql::message_text;
using sql::OracleError;
using sql::OracleException;

// Throws OracleException with the table's text for code, filled from args.
[[noreturn]] void fail(int code, MessageArgs args = {});

// A diagnostic record as OCIErrorGet reports it.
struct ErrorRecord {
  int code = 0;
  std::string text;  // full "ORA-nnnnn: ..." text
};

// The records of an error handle or environment. Threads that share a handle may fail and read
// at once, so a reader always gets a whole record, whichever call it is from.
// Thread-safe: yes.
class ErrorRecords {
 public:
  // Every call clears its error handle first: without records that costs no lock.
  void clear() {
    if (!held_.load(std::memory_order_acquire)) return;
    std::lock_guard lock(mutex_);
    records_.clear();
    held_.store(false, std::memory_order_release);
  }
  void assign(ErrorRecord record) {
    std::lock_guard lock(mutex_);
    records_.assign(1, std::move(record));
    held_.store(true, std::memory_order_release);
  }
  // Record `number` (1-based); nullopt when there is none.
  std::optional<ErrorRecord> get(size_t number) const {
    std::lock_guard lock(mutex_);
    if (number == 0 || number > records_.size()) return std::nullopt;
    return records_[number - 1];
  }

 private:
  mutable std::mutex mutex_;
  std::vector<ErrorRecord> records_;
  std::atomic<bool> held_{false};  // records_ is not empty
};

}  // namespace ociemu
