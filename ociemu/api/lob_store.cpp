#include "ociemu/api/lob_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <system_error>
#include <utility>
#include <filesystem>

#include "ociemu/api/database.h"
#include "ociemu/api/errors.h"
#include "ociemu/api/session.h"

namespace ociemu {
namespace {

constexpr int kInvalidLocator = 22275;
constexpr int kNonexistentValue = 22922;
constexpr int kMissingDirectoryOrFile = 22285;
constexpr int kFileOperationFailed = 22288;
constexpr int kRowNotLocked = 22920;
constexpr int kReadOnlyFile = 22286;

constexpr uint64_t kUnreadable = UINT64_MAX;  // a byte offset the blob handle could not resolve

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string quoted_name(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

class Prepared {
 public:
  Prepared(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK) {
      fail(kNonexistentValue);
    }
  }
  ~Prepared() { sqlite3_finalize(stmt_); }
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
  sqlite3_stmt* get() const { return stmt_; }
  int step() { return sqlite3_step(stmt_); }
  [[noreturn]] void fail_step(int rc) const {
    throw OracleException{sql::map_sqlite_error(db_, rc)};
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// A large BLOB goes in as SQLite's zero-filled placeholder and is then written into its pages,
// so that the value is not copied whole into a record first.
constexpr size_t kIncrementalFlushBytes = size_t{1} << 20;

void write_blob_in_place(sqlite3* db, const std::string& table, const std::string& column, int64_t rowid,
                         const std::string& bytes) {
  Prepared update(db, "UPDATE " + quoted_name(table) + " SET " + quoted_name(column) + " = zeroblob(?1) WHERE rowid = ?2");
  sqlite3_bind_int64(update.get(), 1, static_cast<sqlite3_int64>(bytes.size()));
  sqlite3_bind_int64(update.get(), 2, rowid);
  if (int rc = update.step(); rc != SQLITE_DONE) update.fail_step(rc);
  sqlite3_blob* blob = nullptr;
  int rc = sqlite3_blob_open(db, "main", table.c_str(), column.c_str(), rowid, 1, &blob);
  if (rc == SQLITE_OK) rc = sqlite3_blob_write(blob, bytes.data(), static_cast<int>(bytes.size()), 0);
  const int closed = sqlite3_blob_close(blob);
  if (rc == SQLITE_OK) rc = closed;
  if (rc != SQLITE_OK) throw OracleException{sql::map_sqlite_error(db, rc)};
}

}  // namespace

int read_row_value(sqlite3* db, const std::string& table, const std::string& column, const std::string& path,
                   int64_t rowid, std::string& bytes) {
  const std::string value_sql = path.empty() ? quoted_name(column) : "json_extract(" + quoted_name(column) + ", ?2)";
  Prepared query(db, "SELECT " + value_sql + " FROM " + quoted_name(table) + " WHERE rowid = ?1");
  sqlite3_bind_int64(query.get(), 1, rowid);
  if (!path.empty()) sqlite3_bind_text(query.get(), 2, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
  int rc = query.step();
  if (rc == SQLITE_DONE) return -1;
  if (rc != SQLITE_ROW) query.fail_step(rc);
  int type = sqlite3_column_type(query.get(), 0);
  const void* data = type == SQLITE_BLOB ? sqlite3_column_blob(query.get(), 0) : sqlite3_column_text(query.get(), 0);
  bytes.assign(data ? static_cast<const char*>(data) : "", data ? static_cast<size_t>(sqlite3_column_bytes(query.get(), 0)) : 0);
  return type;
}

void LobLocator::copy_from(const LobLocator& other) {
  kind = other.kind;
  lob_type = other.lob_type;
  charset_form = other.charset_form;
  table = other.table;
  column = other.column;
  path = other.path;
  rowid = other.rowid;
  session_id = other.session_id;
  temporary = other.temporary;
  owned = other.owned;
  directory = other.directory;
  file_name = other.file_name;
  file_open = false;
  open = false;
}

void LobLocator::own_temporary(std::string_view bytes) {
  owned = std::make_shared<LobContent>();
  owned->character = character();
  owned->bytes.assign(bytes);
  temporary = owned;
  kind = Kind::Temporary;
}

std::shared_ptr<LobContent> writable_content(Session& session, LobLocator& locator) {
  if (locator.kind == LobLocator::Kind::File) fail(kReadOnlyFile, {"FILEWRITE"});
  session.lobs.close_reader();  // its read must not outlive the write transaction's start
  auto content = session.lobs.content(*session.connection, locator);
  if (locator.kind == LobLocator::Kind::Persistent) {
    if (!session.may_write_row(locator.table, locator.rowid)) fail(kRowNotLocked);
    session.start_write();
    content->dirty = true;
  }
  return content;
}

LobLocator* live_locator(const void* p) {
  if (Handle* handle = find_live(p, OCI_DTYPE_LOB)) return static_cast<LobLocator*>(handle);
  if (Handle* handle = find_live(p, OCI_DTYPE_FILE)) return static_cast<LobLocator*>(handle);
  return nullptr;
}

LobLocator& initialized_locator(const void* p) {
  LobLocator* locator = live_locator(p);
  if (locator == nullptr || !locator->initialized()) fail(kInvalidLocator);
  return *locator;
}

std::string LobState::key(const LobLocator& locator) {
  return locator.table + '\x1f' + locator.column + '\x1f' + std::to_string(locator.rowid) + '\x1f' + locator.path;
}

std::shared_ptr<LobContent> LobState::content(Connection& connection, const LobLocator& locator) {
  if (locator.kind == LobLocator::Kind::Temporary) {
    auto value = locator.temporary.lock();
    if (!value) fail(kNonexistentValue);
    return value;
  }
  if (locator.kind != LobLocator::Kind::Persistent) fail(kInvalidLocator);
  std::string name = key(locator);
  auto found = cache_.find(name);
  if (found != cache_.end()) return found->second;
  auto value = fresh_value(locator.character());
  if (read_row_value(connection.db(), locator.table, locator.column, locator.path, locator.rowid, value->bytes) < 0) {
    fail(kNonexistentValue);
  }
  // A LOB inside a stored object is kept in the object's text: a BLOB as hex digits.
  if (!locator.path.empty() && !value->character) value->bytes = sql::bytes_of_hex(value->bytes);
  cache_.emplace(std::move(name), value);
  return value;
}

std::shared_ptr<LobContent> LobState::fresh_value(bool character) {
  auto value = std::make_shared<LobContent>();
  value->bytes = std::exchange(spare_, std::string());
  value->character = character;
  return value;
}

void LobState::keep_spare(std::shared_ptr<LobContent>& written) {
  // As much as a session may hold in seeded values; beyond that the memory goes back.
  constexpr size_t kSpareBudget = size_t{256} << 20;
  const size_t capacity = written->bytes.capacity();
  if (written.use_count() == 1 && capacity > spare_.capacity() && capacity <= kSpareBudget) {
    spare_ = std::move(written->bytes);
    spare_.clear();
  }
}

void LobState::close_reader() {
  if (reader_.blob) sqlite3_blob_close(reader_.blob);
  reader_ = Reader{};
}

bool LobState::open_reader(Connection& connection, const LobLocator& locator) {
  if (reader_.blob && reader_.rowid == locator.rowid && reader_.table == locator.table &&
      reader_.column == locator.column) {
    return true;
  }
  // Another row of the same column: move the handle rather than open a new one.
  bool moved = reader_.blob && reader_.table == locator.table && reader_.column == locator.column &&
               sqlite3_blob_reopen(reader_.blob, locator.rowid) == SQLITE_OK;
  if (!moved) {
    close_reader();
    // Fails for a NULL or non-text value and for a row that is gone; content() answers those.
    if (sqlite3_blob_open(connection.db(), "main", locator.table.c_str(), locator.column.c_str(), locator.rowid, 0,
                          &reader_.blob) != SQLITE_OK) {
      close_reader();
      return false;
    }
    reader_.table = locator.table;
    reader_.column = locator.column;
  }
  reader_.rowid = locator.rowid;
  reader_.size = static_cast<uint64_t>(sqlite3_blob_bytes(reader_.blob));
  reader_.hint_char = reader_.hint_byte = 0;
  return true;
}

uint64_t LobState::reader_byte_offset(uint64_t position) {
  if (position == 0) return 0;
  uint64_t chars = 0, at = 0;
  if (position >= reader_.hint_char) {
    chars = reader_.hint_char;
    at = reader_.hint_byte;
  }
  char block[16384];
  while (at < reader_.size && chars < position) {
    int n = static_cast<int>(std::min<uint64_t>(sizeof block, reader_.size - at));
    if (sqlite3_blob_read(reader_.blob, block, n, static_cast<int>(at)) != SQLITE_OK) return kUnreadable;
    int i = 0;
    // Stop on the lead byte of character `position`.
    for (; i < n; ++i) {
      if (continuation(block[i])) continue;
      if (chars == position) break;
      ++chars;
    }
    at += static_cast<uint64_t>(i);
    if (i < n) break;
  }
  reader_.hint_char = chars;
  reader_.hint_byte = at;
  return at;
}

bool LobState::read_from_row(Connection& connection, const LobLocator& locator, uint64_t position, uint64_t units,
                             void* buf, uint64_t capacity, RowRead& read) {
  if (locator.kind != LobLocator::Kind::Persistent || !locator.path.empty() || cache_.count(key(locator)) != 0) {
    return false;
  }
  // SQLite's handle offsets are ints: larger values are read through content().
  constexpr uint64_t kMaxHandleBytes = 0x7fffffff;
  uint64_t begin = 0, count = 0;
  int rc = SQLITE_ABORT;
  // A handle whose row changed since it opened aborts: open it again once, on the present value.
  for (int attempt = 0; attempt < 2 && rc == SQLITE_ABORT; ++attempt) {
    if (attempt) close_reader();
    if (!open_reader(connection, locator) || reader_.size > kMaxHandleBytes) {
      close_reader();
      return false;
    }
    begin = locator.character() ? reader_byte_offset(position) : std::min(position, reader_.size);
    if (begin == kUnreadable) continue;
    count = std::min(capacity, reader_.size - begin);
    if (!locator.character() && units) count = std::min(count, units);
    rc = count ? sqlite3_blob_read(reader_.blob, buf, static_cast<int>(count), static_cast<int>(begin)) : SQLITE_OK;
  }
  if (rc != SQLITE_OK) fail(kNonexistentValue);
  read.bytes = read.units = count;
  if (locator.character()) {
    size_t taken = 0;
    read.bytes = sql::whole_characters(std::string_view(static_cast<const char*>(buf), static_cast<size_t>(count)),
                                  units ? static_cast<size_t>(units) : SIZE_MAX, taken);
    read.units = taken;
    reader_.hint_char = position + taken;
    reader_.hint_byte = begin + read.bytes;
  }
  read.at_end = begin + read.bytes >= reader_.size;
  return true;
}

void LobState::seed(const LobLocator& locator, std::string_view bytes) {
  constexpr size_t kSeedBudget = size_t{256} << 20;
  if (seeded_bytes_ + bytes.size() > kSeedBudget) return;
  auto [slot, fresh] = cache_.try_emplace(key(locator));
  if (!fresh) return;
  slot->second = fresh_value(locator.character());
  slot->second->bytes.assign(bytes);
  seeded_bytes_ += bytes.size();
}

void LobState::flush(Connection& connection) {
  close_reader();
  std::vector<std::shared_ptr<LobContent>*> written;
  for (auto& [name, value] : cache_) {
    if (!value->dirty) continue;
    size_t first = name.find('\x1f'), second = name.find('\x1f', first + 1), third = name.find('\x1f', second + 1);
    std::string table = name.substr(0, first), column = name.substr(first + 1, second - first - 1);
    std::string path = name.substr(third + 1);
    const std::string target = quoted_name(column);
    Prepared update(connection.db(), "UPDATE " + quoted_name(table) + " SET " + target + " = " +
                                         (path.empty() ? "?1" : "json_set(" + target + ", ?3, ?1)") + " WHERE rowid = ?2");
    std::string hex;
    if (!path.empty()) {
      sqlite3_bind_text(update.get(), 3, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
      if (!value->character) hex = sql::hex_of(value->bytes);
    }
    int size = static_cast<int>(value->bytes.size());
    const int64_t rowid = std::stoll(name.substr(second + 1, third - second - 1));
    if (path.empty() && !value->character && value->bytes.size() >= kIncrementalFlushBytes) {
      write_blob_in_place(connection.db(), table, column, rowid, value->bytes);
      value->dirty = false;
      written.push_back(&value);
      continue;
    }
    if (!path.empty() && !value->character) {
      sqlite3_bind_text(update.get(), 1, hex.data(), static_cast<int>(hex.size()), SQLITE_STATIC);
    } else if (value->character) {
      sqlite3_bind_text(update.get(), 1, value->bytes.data(), size, SQLITE_STATIC);
    } else {
      sqlite3_bind_blob(update.get(), 1, value->bytes.data(), size, SQLITE_STATIC);
    }
    sqlite3_bind_int64(update.get(), 2, rowid);
    int rc = update.step();
    if (rc != SQLITE_DONE) update.fail_step(rc);
    value->dirty = false;
    written.push_back(&value);
  }
  // After the loop, so that a flush failing part way leaves every cached value whole.
  for (auto* value : written) keep_spare(*value);
  discard();
}

std::shared_ptr<LobContent> LobState::create_temporary(bool character) {
  auto value = std::make_shared<LobContent>();
  value->character = character;
  temporaries_.emplace(value.get(), value);
  return value;
}

void LobState::free_temporary(LobLocator& locator) {
  if (auto value = locator.temporary.lock()) temporaries_.erase(value.get());
  locator.temporary.reset();
  locator.kind = LobLocator::Kind::None;
}

void LobState::end() {
  close_reader();
  cache_.clear();
  spare_ = std::string();
  temporaries_.clear();
  changed_.clear();
  last_changed_ = nullptr;
}

void LobState::note_changed(const char* table, int64_t rowid) {
  if (last_changed_ == nullptr || last_changed_table_ != table) {
    last_changed_table_ = table;
    last_changed_ = &changed_[last_changed_table_];
  }
  std::vector<int64_t>& rowids = last_changed_->rowids;
  // Rows usually arrive in ascending order, which keeps the vector sorted as it grows.
  if (last_changed_->sorted == rowids.size() && (rowids.empty() || rowids.back() < rowid)) ++last_changed_->sorted;
  rowids.push_back(rowid);
}

bool LobState::changed(const std::string& table, int64_t rowid) const {
  auto found = changed_.find(table);
  if (found == changed_.end()) return false;
  ChangedRows& rows = found->second;
  if (rows.sorted != rows.rowids.size()) {
    std::sort(rows.rowids.begin(), rows.rowids.end());
    rows.rowids.erase(std::unique(rows.rowids.begin(), rows.rowids.end()), rows.rowids.end());
    rows.sorted = rows.rowids.size();
  }
  return std::binary_search(rows.rowids.begin(), rows.rowids.end(), rowid);
}

std::string bfile_storage(std::string_view directory, std::string_view file_name) {
  return std::string(directory) + '/' + std::string(file_name);
}

void bfile_from_storage(std::string_view storage, LobLocator& locator) {
  size_t slash = storage.find('/');
  locator.directory = std::string(storage.substr(0, slash));
  locator.file_name = slash == std::string_view::npos ? std::string() : std::string(storage.substr(slash + 1));
}

std::string bfile_path(sqlite3* db, const LobLocator& locator) {
  Prepared query(db, "SELECT PATH FROM \"OCIEMU$DIRECTORIES\" WHERE NAME = ?1");
  sqlite3_bind_text(query.get(), 1, locator.directory.c_str(), static_cast<int>(locator.directory.size()),
                    SQLITE_TRANSIENT);
  if (query.step() != SQLITE_ROW) fail(kMissingDirectoryOrFile, {"FILEOPEN"});
  std::string path = reinterpret_cast<const char*>(sqlite3_column_text(query.get(), 0));
  return (std::filesystem::path(path) / locator.file_name).string();
}

bool bfile_exists(sqlite3* db, const LobLocator& locator) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(bfile_path(db, locator), ignored);
}

uint64_t bfile_length(sqlite3* db, const LobLocator& locator) {
  std::error_code error;
  auto size = std::filesystem::file_size(bfile_path(db, locator), error);
  if (error) fail(kFileOperationFailed, {"FILEOPEN", "No such file or directory"});
  return size;
}

std::string bfile_read(sqlite3* db, const LobLocator& locator, uint64_t offset, uint64_t count) {
  std::ifstream file(bfile_path(db, locator), std::ios::binary);
  if (!file) fail(kFileOperationFailed, {"FILEOPEN", "No such file or directory"});
  file.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(count, '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
  return bytes;
}

}  // namespace ociemu
