// TLOBLocator: stream access to one Oracle large object (CLOB, NCLOB, BLOB
// or BFILE) through the OCI8 LOB calls of a connected session. Everything
// built on TStream (CopyFrom, memory and file streams) works on a LOB.
// Thread-safe: no; a locator is used from one thread at a time. Joining and
// leaving the session's list of locators is thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "oracle/binding/oci_types.h"
#include "oracle/session/activity_monitor.h"
#include "oracle/session/complex_value.h"
#include "oracle/session/session_client.h"
#include "runtime/stream.h"

namespace kvell {

class TOracleSession;

constexpr int otCLOB = 112;
constexpr int otBLOB = 113;
constexpr int otBFile = 114;
constexpr int otNCLOB = -112;  // requests a CLOB in the national character set

constexpr ub4 OCI_DTYPE_LOB = 50;
constexpr ub4 OCI_DTYPE_FILE = 56;
constexpr ub1 SQLCS_IMPLICIT = 1;
constexpr ub1 SQLCS_NCHAR = 2;

constexpr const char* kLOBNotLoggedOn = "Not logged on";
constexpr const char* kLOBBadType = "Type must be otCLOB, otBLOB or otBFile";
constexpr const char* kLOBNoTemporary = "A Temporary TLOBLocator requires Net8 8.1 or later";
constexpr const char* kLOBInvalidHandle = "TLOBLocator: Invalid handle";
constexpr const char* kLOBNCLOBOnlyForCLOB = "NCLOB property only applicable for CLOB";
constexpr const char* kLOBCharacterDoesNotFit = "TLOBLocator: the buffer cannot hold one character";

// What an object instance tells its LOB attributes' locators; implemented
// by TOracleObject.
class TAttributeOwner {
 public:
  virtual ~TAttributeOwner() = default;
  virtual void AttributeChanged(const std::string& path) = 0;
  virtual bool OwnsLOBSlots() const { return true; }
};

// One CLOB, NCLOB, BLOB or BFILE, read and written as a stream.
class TLOBLocator : public TStream, public TComplexValue, public TSessionClient {
 public:
  TLOBLocator(TOracleSession* session, int lob_type);
  static TLOBLocator* CreateTemporary(TOracleSession* session, int lob_type, bool cache);
  ~TLOBLocator() override;
  TLOBLocator(const TLOBLocator&) = delete;
  TLOBLocator& operator=(const TLOBLocator&) = delete;

  // TStream. Position is 0-based; seeking is not bounds-checked. Reading a
  // CLOB delivers whole characters only, as many as fit in `count` bytes (at
  // most `count`), and moves the position by the characters delivered.
  int64_t Read(void* buffer, int64_t count) override;
  // Writes `count` bytes in one piece; a CLOB's position moves by the
  // characters they hold.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  void SetSize(int64_t new_size) override;

  // Characters for a CLOB, bytes otherwise; 0 when null.
  int64_t LOBLength();
  bool IsNull();
  void Clear();
  // The first `count` characters (CLOB) or bytes, whole, however many bytes
  // the client needs for them.
  std::string ReadAsString(int64_t count);
  std::string AsString() { return ReadAsString(Size()); }
  bool NCLOB() const { return charset_form_ == SQLCS_NCHAR; }
  void SetNCLOB(bool value);
  bool IsTemporary();
  bool FileIsOpen();
  void OpenFile();
  void CloseFile();

  int LOBType() const { return lob_type_; }
  ub1 CharsetForm() const { return charset_form_; }
  TOracleSession* Session() const { return session_; }
  // The locator slot in use: the own one, or a fetch buffer's or attribute's.
  OCILobLocator** LocatorRef() const { return locator_ref_; }
  // A query or object points the locator at its slot and indicator; the
  // position starts over and an open BFILE is closed.
  void Attach(OCILobLocator** slot, sb2* indicator);
  void SetNullIndicator(sb2* indicator) { null_indicator_ = indicator; }
  void SetOwner(TAttributeOwner* owner, std::string attribute_name);
  // The identity reported to the activity monitor; the name defaults to
  // "LOBLocator" followed by the id.
  const std::string& Name() const { return monitor_.Name; }
  void SetName(std::string name) { monitor_.Name = std::move(name); }
  int Id() const { return monitor_.Id; }
  int OwnerId() const { return monitor_.OwnerId; }

  // TComplexValue
  ComplexKind Kind() const override { return ComplexKind::LOBLocator; }
  std::string ClassName() const override { return "TLOBLocator"; }
  bool IsNullValue() const override;

  // TSessionClient
  void SessionDestroyed() override { session_ = nullptr; }
  std::string ClientName() const override { return monitor_.Name; }

 private:
  void check(sword status);
  // One OCILobRead at the position into `size` bytes; `bytes` is what the
  // client put there. The status tells whether a polled read is under way.
  sword read_call(int64_t amount, void* buffer, int64_t size, int64_t& bytes);
  // Reads the pieces of the polled read under way to its end, so that no
  // later read continues it; each piece goes to `take`.
  void finish_polling(int64_t amount, const std::function<void(const char*, int64_t)>& take);
  int64_t read_bytes(void* buffer, int64_t count);
  int64_t read_characters_into(void* buffer, int64_t count);
  std::string read_characters(int64_t count);
  void advance_by_characters(int64_t requested, int64_t bytes_read);
  void require_session() const;
  bool initialised() const;
  void forget_initialised() const {
    init_slot_ = nullptr;
    init_locator_ = nullptr;
    read_length_ = -1;
  }
  void ensure_slot();
  void destroy();
  OCISvcCtx* service() const;
  OCIEnv* environment() const;

  TOracleSession* session_;           // not owned
  OCILobLocator* locator_ = nullptr;  // owned descriptor, or none
  OCILobLocator** locator_ref_;       // never null: &locator_ or an outside slot
  OCIError* error_ = nullptr;         // owned
  int64_t position_ = 0;              // 0-based, in the LOB's units
  ub4 descriptor_type_ = OCI_DTYPE_LOB;
  TAttributeOwner* owner_ = nullptr;  // not owned
  std::string attribute_name_;
  sb2* null_indicator_ = nullptr;     // not owned; -1 null, 0 value
  // The slot and locator last seen initialised: a locator stays initialised
  // until it is replaced, so a stream of reads asks the client only once.
  mutable OCILobLocator** init_slot_ = nullptr;
  mutable OCILobLocator* init_locator_ = nullptr;
  // The length that CLOB reads measured, kept until this locator writes,
  // trims or moves to another LOB; -1 when not known. (An Oracle locator
  // reads the value as of its own snapshot, which only it changes.)
  mutable int64_t read_length_ = -1;
  int lob_type_;                      // 112, 113 or 114
  ub1 charset_form_ = SQLCS_IMPLICIT;
  TMonitorData monitor_;
};

}  // namespace kvell
