#include "ociemu/plsql/dbms_lob.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "ociemu/plsql/messages.h"
#include "ociemu/sql/errors.h"

namespace ociemu::plsql {
namespace {

constexpr int kInvalidArgument = 21560;  // ORA-21560: argument n is null, invalid, or out of range
constexpr int kLobTooLarge = 22925;
constexpr int kTrimTooLong = 22926;
constexpr int64_t kMaxBufferUnits = 32767;  // a PL/SQL RAW or VARCHAR2 buffer
constexpr std::string_view kInvalidLocatorDetail = ": invalid LOB locator specified: ORA-22275";

constexpr unsigned kFirst = 1u << 0, kSecond = 1u << 1, kFourth = 1u << 3;

constexpr std::array<LobProcedure, 11> kProcedures{{
    {"APPEND", 2, 2, kFirst},
    {"CLOSE", 1, 1, kFirst},
    {"COPY", 3, 5, kFirst},
    {"CREATETEMPORARY", 2, 3, kFirst},
    {"ERASE", 2, 3, kFirst | kSecond},
    {"FREETEMPORARY", 1, 1, kFirst},
    {"OPEN", 2, 2, kFirst},
    {"READ", 4, 4, kSecond | kFourth},
    {"TRIM", 2, 2, kFirst},
    {"WRITE", 4, 4, kFirst},
    {"WRITEAPPEND", 3, 3, kFirst},
}};

struct Constant {
  std::string_view name;
  int64_t value;
};
constexpr std::array<Constant, 6> kConstants{{
    {"CALL", 12}, {"SESSION", 10}, {"LOB_READONLY", 0}, {"LOB_READWRITE", 1}, {"FILE_READONLY", 0},
    {"DEFAULT_CSID", 0},
}};

[[noreturn]] void invalid_argument(size_t index) { sql::throw_oracle(kInvalidArgument, {std::to_string(index + 1)}); }

class Call {
 public:
  Call(std::vector<Value>& arguments, bool character, Host& host, const sql::SessionContext& session)
      : args_(arguments), character_(character), host_(host), session_(session) {}

  void run(std::string_view name) {
    if (name == "APPEND") return append();
    if (name == "WRITE") return write(false);
    if (name == "WRITEAPPEND") return write(true);
    if (name == "TRIM") return trim();
    if (name == "ERASE") return erase();
    if (name == "COPY") return copy();
    if (name == "READ") return read();
    if (name == "CREATETEMPORARY") {
      args_[0] = host_.create_temporary_lob(character_);
      return;
    }
    if (name == "FREETEMPORARY") {
      if (args_[0].kind == Value::Lob) host_.free_temporary_lob(args_[0]);
      args_[0] = Value{};
      return;
    }
    lob(0);  // OPEN and CLOSE only check their locator
  }

 private:
  // A whole-number argument (`otherwise` when not given); NULL is invalid.
  int64_t whole(const std::vector<Value>& arguments, size_t index, int64_t otherwise) const {
    if (index >= arguments.size()) return otherwise;
    const Value& value = arguments[index];
    if (value.is_null()) invalid_argument(index);
    if (value.kind == Value::Integer) return value.integer;
    Value number = coerce(value, type_of_declaration("NUMBER"), session_);
    if (number.kind == Value::Integer) return number.integer;
    if (!std::isfinite(number.real) || std::fabs(number.real) > 9.2e18) invalid_argument(index);
    return static_cast<int64_t>(number.real);
  }

  // The LOB argument `index` names; a string held by a CLOB or BLOB variable becomes a temporary LOB, as in Oracle.
  Value& lob(size_t index) {
    Value& value = args_[index];
    if (value.is_null()) sql::throw_oracle(kValueErrorCode, {kInvalidLocatorDetail});
    if (value.kind == Value::Lob) return value;
    std::string bytes = value.kind == Value::Blob || value.kind == Value::Text ? value.bytes : to_text(value, session_);
    Value created = host_.create_temporary_lob(value.kind != Value::Blob && character_);
    host_.lob_content(created, true).bytes = std::move(bytes);
    value = created;
    return value;
  }

  // Bytes of a source argument: a LOB's value, or a string or raw given directly.
  std::string bytes_of(size_t index, bool lob_only) {
    const Value& value = args_[index];
    if (value.is_null()) {
      if (lob_only) sql::throw_oracle(kValueErrorCode, {kInvalidLocatorDetail});
      invalid_argument(index);
    }
    if (value.kind == Value::Lob) return host_.lob_content(value, false).bytes;
    if (value.kind == Value::Blob || value.kind == Value::Text) return value.bytes;
    return to_text(value, session_);
  }

  sql::LobContent& target(size_t index) { return host_.lob_content(lob(index), true); }

  // Refuses a value that would outgrow what a row can hold.
  void check_size(const sql::LobContent& content, uint64_t position, size_t bytes) const {
    auto limit = static_cast<uint64_t>(sqlite3_limit(host_.db(), SQLITE_LIMIT_LENGTH, -1));
    uint64_t current = content.bytes.size();
    uint64_t end = position > current ? position + bytes : current + bytes;
    if (end > limit) sql::throw_oracle(kLobTooLarge);
  }

  // The first `amount` units of a buffer argument; more than it holds is out of range.
  std::string prefix(const std::string& buffer, int64_t amount, size_t amount_index, bool character) const {
    sql::LobContent view{buffer, character, false, 0, 0};
    size_t units = 0;
    std::string_view taken = view.slice(0, static_cast<size_t>(amount), buffer.size(), units);
    if (units < static_cast<size_t>(amount)) invalid_argument(amount_index);
    return std::string(taken);
  }

  void append() {
    std::string bytes = bytes_of(1, true);
    sql::LobContent& content = target(0);
    check_size(content, 0, bytes.size());
    content.write(content.length(), bytes);
    host_.lob_changed(args_[0]);
  }

  // WRITE(lob, amount, offset, buffer) or WRITEAPPEND(lob, amount, buffer).
  void write(bool at_end) {
    size_t buffer_index = at_end ? 2 : 3;
    int64_t amount = whole(args_, 1, 0);
    int64_t offset = at_end ? 1 : whole(args_, 2, 1);
    if (amount < 1 || amount > kMaxBufferUnits) invalid_argument(1);
    if (offset < 1) invalid_argument(2);
    std::string buffer = bytes_of(buffer_index, false);
    sql::LobContent& content = target(0);
    std::string data = prefix(buffer, amount, 1, content.character);
    size_t position = at_end ? content.length() : static_cast<size_t>(offset - 1);
    check_size(content, position, data.size());
    content.write(position, data);
    host_.lob_changed(args_[0]);
  }

  void trim() {
    int64_t length = whole(args_, 1, 0);
    if (length < 0) invalid_argument(1);
    sql::LobContent& content = target(0);
    if (static_cast<uint64_t>(length) > content.length()) sql::throw_oracle(kTrimTooLong);
    content.trim(static_cast<size_t>(length));
    host_.lob_changed(args_[0]);
  }

  void erase() {
    int64_t amount = whole(args_, 1, 0);
    int64_t offset = whole(args_, 2, 1);
    if (amount < 1) invalid_argument(1);
    if (offset < 1) invalid_argument(2);
    sql::LobContent& content = target(0);
    size_t erased = content.erase(static_cast<size_t>(offset - 1), static_cast<size_t>(amount));
    host_.lob_changed(args_[0]);
    args_[1] = Value::of_integer(static_cast<int64_t>(erased));
  }

  // COPY(dest, src, amount, dest_offset, src_offset).
  void copy() {
    int64_t amount = whole(args_, 2, 0);
    int64_t dest_offset = whole(args_, 3, 1);
    int64_t src_offset = whole(args_, 4, 1);
    if (amount < 1) invalid_argument(2);
    if (dest_offset < 1) invalid_argument(3);
    if (src_offset < 1) invalid_argument(4);
    sql::LobContent source{bytes_of(1, true), character_, false, 0, 0};
    if (args_[1].kind == Value::Lob) source.character = host_.lob_content(args_[1], false).character;
    size_t units = 0;
    std::string data(source.slice(static_cast<size_t>(src_offset - 1), static_cast<size_t>(amount), SIZE_MAX, units));
    sql::LobContent& content = target(0);
    check_size(content, static_cast<uint64_t>(dest_offset - 1), data.size());
    if (!data.empty()) content.write(static_cast<size_t>(dest_offset - 1), data);
    host_.lob_changed(args_[0]);
  }

  // READ(lob, amount IN OUT, offset, buffer OUT): NO_DATA_FOUND past the end.
  void read() {
    int64_t amount = whole(args_, 1, 0);
    int64_t offset = whole(args_, 2, 1);
    if (amount < 1 || amount > kMaxBufferUnits) invalid_argument(1);
    if (offset < 1) invalid_argument(2);
    sql::LobContent& content = host_.lob_content(lob(0), false);
    size_t units = 0;
    std::string_view data = content.slice(static_cast<size_t>(offset - 1), static_cast<size_t>(amount), SIZE_MAX, units);
    if (units == 0) sql::throw_oracle(kNoDataFoundCode);
    args_[1] = Value::of_integer(static_cast<int64_t>(units));
    args_[3] = content.character ? Value::of_text(std::string(data)) : Value{Value::Blob, 0, 0, std::string(data)};
  }

  std::vector<Value>& args_;
  bool character_;
  Host& host_;
  const sql::SessionContext& session_;
};

}  // namespace

const LobProcedure* find_lob_procedure(std::string_view name) {
  for (const LobProcedure& procedure : kProcedures) {
    if (procedure.name == name) return &procedure;
  }
  return nullptr;
}

std::optional<Value> lob_constant(std::string_view name) {
  for (const Constant& constant : kConstants) {
    if (constant.name == name) return Value::of_integer(constant.value);
  }
  return std::nullopt;
}

void run_lob_procedure(const LobProcedure& procedure, std::vector<Value>& arguments, bool character, Host& host,
                       const sql::SessionContext& session) {
  Call(arguments, character, host, session).run(procedure.name);
}

Value lob_is_temporary(const Value& lob, Host& host) {
  if (lob.is_null()) return Value{};
  // A CLOB or BLOB variable holding a string is an implicit temporary LOB.
  if (lob.kind != Value::Lob) return Value::of_integer(1);
  return Value::of_integer(host.is_temporary_lob(lob) ? 1 : 0);
}

}  // namespace ociemu::plsql
