// Each input is a script of executions over cached statements: before each one
// some placeholders are bound anew (by name or by position, as a number, text,
// double or OCINumber) and the buffers they replace are freed at once, as a
// statement cache's client does; LOB RETURNING goes through callbacks that hand
// over client locators. Any sanitizer report is a fault of the emulator.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/ociemu_fuzz_session.h"

namespace {

constexpr int kRows = 3;  // array rows a DML execution may use

struct Script {
  const char* sql;
  std::vector<std::string> placeholders;  // each occurs once, so name and position agree
  bool block;
};

const std::array<Script, 5> kScripts{{
    {"begin :a := :b * 2; :c := 'n' || :b; end;", {":a", ":b", ":c"}, true},
    {"insert into fz (id, name) values (:id, :name) returning id, name into :rid, :rname",
     {":id", ":name", ":rid", ":rname"}, false},
    {"update fz set name = :name where id = :id returning name into :out", {":name", ":id", ":out"}, false},
    {"select id, name from fz where id > :lo", {":lo"}, false},
    {"insert into fzl (id, body) values (:id, empty_clob()) returning body into :body", {":id", ":body"}, false},
}};

// Reads the script's bytes; zero once they run out.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
  bool done() const { return at_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// The buffer of one bind: kRows elements of 32 bytes, indicators and lengths.
struct Buffer {
  std::array<char, kRows * 32> values{};
  std::array<sb2, kRows> indicators{};
  std::array<ub2, kRows> lengths{};
};

// Client locators handed over by the RETURNING callback, freed with the input.
struct Locators {
  OCIEnv* env = nullptr;
  std::vector<OCILobLocator*> made;
  sb2 indicator = 0;
  ub4 length = 0;
  ub2 code = 0;
};

sb4 no_input(void*, OCIBind*, ub4, ub4, void** buffer, ub4* length, ub1* piece, void** indicator) {
  static sb2 null_indicator = -1;
  *buffer = nullptr;
  *length = 0;
  *piece = OCI_ONE_PIECE;
  *indicator = &null_indicator;
  return OCI_CONTINUE;
}

sb4 locator_output(void* context, OCIBind*, ub4, ub4, void** buffer, ub4** length, ub1* piece, void** indicator,
                   ub2** code) {
  auto& out = *static_cast<Locators*>(context);
  void* locator = nullptr;
  if (OCIDescriptorAlloc(out.env, &locator, OCI_DTYPE_LOB, 0, nullptr) != OCI_SUCCESS) return OCI_ERROR;
  out.made.push_back(static_cast<OCILobLocator*>(locator));
  *buffer = locator;
  out.length = sizeof(void*);
  *length = &out.length;
  *piece = OCI_ONE_PIECE;
  *indicator = &out.indicator;
  *code = &out.code;
  return OCI_CONTINUE;
}

const ub2 kTypes[] = {SQLT_INT, SQLT_STR, SQLT_FLT, SQLT_VNU, SQLT_CHR};

class Run {
 public:
  Run(OciemuFuzzSession& app, Bytes& bytes) : app_(app), bytes_(bytes) { locators_.env = app.env; }

  ~Run() {
    for (auto& held : statements_) {
      if (held.stmt) OCIStmtRelease(held.stmt, app_.err, nullptr, 0, OCI_DEFAULT);
    }
    for (OCILobLocator* locator : locators_.made) OCIDescriptorFree(locator, OCI_DTYPE_LOB);
  }

  void step() {
    const size_t which = bytes_.next() % kScripts.size();
    Held& held = statements_[which];
    const Script& script = kScripts[which];
    if (held.stmt == nullptr) {
      // A cached handle still carries the binds of an earlier input: bind every placeholder.
      OCIStmtPrepare2(app_.svc, &held.stmt, app_.err, reinterpret_cast<const OraText*>(script.sql),
                      static_cast<ub4>(std::strlen(script.sql)), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT);
      held.buffers.resize(script.placeholders.size());
      for (size_t i = 0; i < script.placeholders.size(); ++i) rebind(held, script, i);
    } else {
      const uint8_t mask = bytes_.next();
      for (size_t i = 0; i < script.placeholders.size(); ++i) {
        if (mask & (1u << i)) rebind(held, script, i);
      }
    }
    execute(held, script, which);
  }

 private:
  struct Held {
    OCIStmt* stmt = nullptr;
    std::vector<std::unique_ptr<Buffer>> buffers;
  };

  void rebind(Held& held, const Script& script, size_t i) {
    const uint8_t choice = bytes_.next();
    auto fresh = std::make_unique<Buffer>();
    for (size_t row = 0; row < kRows; ++row) {
      fresh->lengths[row] = static_cast<ub2>(std::snprintf(&fresh->values[row * 32], 32, "%d", bytes_.next() % 7));
      fresh->indicators[row] = (bytes_.next() & 7) == 0 ? -1 : 0;
    }
    held.buffers[i] = std::move(fresh);  // the replaced buffer is freed here, before the new bind is made
    Buffer& buffer = *held.buffers[i];
    const bool locator = script.placeholders[i] == ":body";
    const ub2 type = locator ? SQLT_CLOB : kTypes[choice % std::size(kTypes)];
    const sb4 size = locator ? sb4{sizeof(void*)} : type == SQLT_INT ? 4 : type == SQLT_FLT ? 8 : type == SQLT_VNU ? 22 : 32;
    if (type == SQLT_INT || type == SQLT_FLT || type == SQLT_VNU) std::memset(buffer.values.data(), 0, buffer.values.size());
    if (type == SQLT_VNU) {
      for (size_t row = 0; row < kRows; ++row) buffer.values[row * 32] = 1, buffer.values[row * 32 + 1] = '\x80';
    }
    const ub4 mode = locator ? OCI_DATA_AT_EXEC : OCI_DEFAULT;
    void* values = locator ? nullptr : buffer.values.data();
    OCIBind* bind = nullptr;
    const std::string& name = script.placeholders[i];
    // A block counts its placeholder names once each; these scripts name each once.
    if (choice & 0x80) {
      OCIBindByName(held.stmt, &bind, app_.err, reinterpret_cast<const OraText*>(name.c_str()),
                    static_cast<sb4>(name.size()), values, size, type, buffer.indicators.data(), buffer.lengths.data(),
                    nullptr, 0, nullptr, mode);
    } else {
      OCIBindByPos(held.stmt, &bind, app_.err, static_cast<ub4>(i + 1), values, size, type, buffer.indicators.data(),
                   buffer.lengths.data(), nullptr, 0, nullptr, mode);
    }
    if (bind == nullptr) return;
    if (size != 32 || locator) OCIBindArrayOfStruct(bind, app_.err, 32, sizeof(sb2), sizeof(ub2), 0);
    if (locator) OCIBindDynamic(bind, app_.err, nullptr, no_input, &locators_, locator_output);
  }

  void execute(Held& held, const Script& script, size_t which) {
    if (which == 3) {
      std::array<char, 64> name{};
      int id = 0;
      OCIDefine* defines[2] = {};
      OCIDefineByPos(held.stmt, &defines[0], app_.err, 1, &id, sizeof id, SQLT_INT, nullptr, nullptr, nullptr, 0);
      OCIDefineByPos(held.stmt, &defines[1], app_.err, 2, name.data(), name.size(), SQLT_STR, nullptr, nullptr,
                     nullptr, 0);
      if (OCIStmtExecute(app_.svc, held.stmt, app_.err, 0, 0, nullptr, nullptr, OCI_DEFAULT) == OCI_SUCCESS) {
        for (int n = 0; n < 5 && OCIStmtFetch2(held.stmt, app_.err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT) == OCI_SUCCESS; ++n) {
        }
      }
      return;
    }
    const ub4 iters = script.block ? 1 : 1 + bytes_.next() % kRows;
    const ub4 mode = (bytes_.next() & 1) ? OCI_BATCH_ERRORS : OCI_DEFAULT;
    OCIStmtExecute(app_.svc, held.stmt, app_.err, iters, 0, nullptr, nullptr, mode);
  }

  OciemuFuzzSession& app_;
  Bytes& bytes_;
  Locators locators_;
  std::array<Held, kScripts.size()> statements_{};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static OciemuFuzzSession app = [] {
    OciemuFuzzSession session("ociemu_binds_fuzz.db");
    for (const char* ddl : {"create table fz (id number, name varchar2(20))", "create table fzl (id number, body clob)"}) {
      OCIStmt* stmt = nullptr;
      OCIHandleAlloc(session.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
      OCIStmtPrepare(stmt, session.err, reinterpret_cast<const OraText*>(ddl), static_cast<ub4>(std::strlen(ddl)),
                     OCI_NTV_SYNTAX, OCI_DEFAULT);
      OCIStmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
      OCIHandleFree(stmt, OCI_HTYPE_STMT);
    }
    return session;
  }();
  Bytes bytes(data, size);
  {
    Run run(app, bytes);
    for (int steps = 0; steps < 16 && !bytes.done(); ++steps) run.step();
  }
  OCITransRollback(app.svc, app.err, OCI_DEFAULT);
  return 0;
}
