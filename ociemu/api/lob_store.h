// LOB locators and the values they name. A persistent locator names one
// row's LOB column (table, column, rowid); a session reads that value once
// into its LOB cache and keeps writes there until its next statement or
// commit flushes them into the row, so streaming a large LOB in pieces costs
// one copy instead of one per piece, and a rollback simply drops them.
// Temporary LOBs live in the session and end with it; BFILE locators name
// a directory alias and a file read straight from disk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ociemu/api/handles.h"
#include "ociemu/sql/lob_content.h"

struct sqlite3;
struct sqlite3_blob;

namespace ociemu {

class Connection;
struct Session;

inline constexpr int kClobType = 112;
inline constexpr int kBlobType = 113;
inline constexpr int kBfileType = 114;

using sql::LobContent;
using sql::utf8_length;

struct LobLocator : Handle {
  LobLocator(uint32_t type, Environment* env) : Handle(type, env) {}

  enum class Kind : uint8_t { None, Persistent, Temporary, File };
  Kind kind = Kind::None;
  int lob_type = 0;       // 112, 113 or 114
  uint8_t charset_form = 1;
  // Persistent: the SQLite table, column and rowid of the value; for a LOB inside a
  // stored object also the JSON path of the attribute in that column ("$[2][0]").
  std::string table, column, path;
  int64_t rowid = 0;
  uint64_t session_id = 0;  // owner of a temporary value
  std::weak_ptr<LobContent> temporary;
  // A temporary value that belongs to the locator rather than the session: the LOB
  // attribute of an object instance built from a computed value lives as long as it.
  std::shared_ptr<LobContent> owned;
  // BFILE
  std::string directory, file_name;
  uint64_t file_generation = 0;  // equals the session's while opened through this locator
  bool file_open = false;
  bool open = false;  // OCILobOpen
  bool implicit = false;  // made a temporary LOB by a write; its kind is the first write's
  bool pristine = true;   // never filled by a fetch, so a write may make it a temporary LOB
  // A piecewise read or write in progress (polling or callback mode).
  struct Stream {
    bool active = false;
    uint64_t start_offset = 0;  // the 1-based offset the first piece named
    uint64_t position = 0;      // next 0-based position
    uint64_t remaining = 0;     // units still wanted; 0 = up to the end
    uint64_t done = 0;          // units moved so far
    std::string carry;          // trailing bytes of an incomplete UTF-8 character
  };
  Stream read_stream, write_stream;

  bool initialized() const { return kind != Kind::None; }
  bool character() const { return lob_type == kClobType; }
  void copy_from(const LobLocator& other);
  // Makes the locator name a temporary value of its own holding bytes.
  void own_temporary(std::string_view bytes);
};

// The live LOB or BFILE locator at p, or nullptr.
LobLocator* live_locator(const void* p);
// Throws ORA-22275 for a pointer that is no initialised locator.
LobLocator& initialized_locator(const void* p);

// A session's LOB values. Thread-safe: no (one thread uses a session at a time).
class LobState {
 public:
  LobState() = default;
  ~LobState() { close_reader(); }
  LobState(const LobState&) = delete;
  LobState& operator=(const LobState&) = delete;

  // The value a persistent or temporary locator names (ORA-22922 when it is gone).
  std::shared_ptr<LobContent> content(Connection& connection, const LobLocator& locator);
  // Keeps a value just fetched for its locator, so that reading it does not fetch it again.
  // Bounded: beyond the budget the values are read from their rows when needed.
  void seed(const LobLocator& locator, std::string_view bytes);
  // Writes every changed persistent value into its row; the cache is then empty.
  void flush(Connection& connection);
  // Forgets cached and changed values (after rollback the rows hold the truth).
  void discard() {
    cache_.clear();
    seeded_bytes_ = 0;
    close_reader();
  }
  // A persistent value the session holds no copy of is read from its row in place,
  // through one incremental-blob handle kept open while the reads stay in that value.
  // Reads up to `units` (bytes, or characters for a CLOB) from the 0-based position into
  // at most `capacity` bytes of buf; false when the value is cached or cannot be read so
  // (then content() serves it).
  struct RowRead {
    uint64_t bytes = 0, units = 0;
    bool at_end = false;
  };
  bool read_from_row(Connection& connection, const LobLocator& locator, uint64_t position, uint64_t units, void* buf,
                     uint64_t capacity, RowRead& read);
  // The handle holds a read of the file open: closed before any SQL or write runs.
  void close_reader();
  std::shared_ptr<LobContent> create_temporary(bool character);
  void free_temporary(LobLocator& locator);
  void end();  // frees every temporary value

  // Rows the open transaction inserted or changed: they may be written through a locator.
  void note_changed(const char* table, int64_t rowid);
  bool changed(const std::string& table, int64_t rowid) const;
  void end_transaction() {
    changed_.clear();
    last_changed_ = nullptr;
  }

  uint64_t file_generation = 1;  // OCILobFileCloseAll moves it on

 private:
  static std::string key(const LobLocator& locator);
  bool open_reader(Connection& connection, const LobLocator& locator);
  // An empty value for the cache, in the spare buffer when there is one.
  std::shared_ptr<LobContent> fresh_value(bool character);
  // A value just written into its row gives up its buffer as the spare when nothing else holds it.
  void keep_spare(std::shared_ptr<LobContent>& written);
  uint64_t reader_byte_offset(uint64_t position);

  // The open incremental-blob handle, the value it reads, and for a CLOB the last
  // character position resolved in it with its byte offset (sequential reads stay linear).
  struct Reader {
    sqlite3_blob* blob = nullptr;
    std::string table, column;
    int64_t rowid = 0;
    uint64_t size = 0;  // bytes
    uint64_t hint_char = 0, hint_byte = 0;
  };
  Reader reader_;
  std::unordered_map<std::string, std::shared_ptr<LobContent>> cache_;
  // The largest buffer of a value the session wrote, for the next value it loads:
  // rewriting a large LOB in each transaction then neither grows a buffer by copying nor
  // faults in fresh memory every time.
  std::string spare_;
  size_t seeded_bytes_ = 0;
  std::unordered_map<const LobContent*, std::shared_ptr<LobContent>> temporaries_;
  // Row ids per table, appended as DML reports them (one hook call per row, so no node per row)
  // and sorted when asked; `sorted` tells how far the vector is in order.
  struct ChangedRows {
    std::vector<int64_t> rowids;
    size_t sorted = 0;
  };
  mutable std::unordered_map<std::string, ChangedRows> changed_;
  ChangedRows* last_changed_ = nullptr;  // the rows note_changed used last
  std::string last_changed_table_;
};

// The value of a row's column (or of the JSON path in it, when given) into bytes;
// its SQLite storage class, or -1 when the row is gone.
int read_row_value(sqlite3* db, const std::string& table, const std::string& column, const std::string& path,
                   int64_t rowid, std::string& bytes);

// The value a write may change: a persistent LOB needs its row locked by the
// session's transaction (ORA-22920), a BFILE is read-only (ORA-22286).
std::shared_ptr<LobContent> writable_content(Session& session, LobLocator& locator);

// BFILE access: the file a locator names (ORA-22285 without the directory).
std::string bfile_path(sqlite3* db, const LobLocator& locator);
bool bfile_exists(sqlite3* db, const LobLocator& locator);
// Bytes [offset, offset + count) of the file, 0-based.
std::string bfile_read(sqlite3* db, const LobLocator& locator, uint64_t offset, uint64_t count);
uint64_t bfile_length(sqlite3* db, const LobLocator& locator);
// BFILE column storage "DIRECTORY/file name" <-> locator fields.
std::string bfile_storage(std::string_view directory, std::string_view file_name);
void bfile_from_storage(std::string_view storage, LobLocator& locator);

}  // namespace ociemu
