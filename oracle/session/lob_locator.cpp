#include "oracle/session/lob_locator.h"

#include <algorithm>
#include <atomic>
#include <limits>

#include "oracle/binding/entry_tables.h"
#include "oracle/binding/oci_entries.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/session_preferences.h"
#include "oracle/session/sql_scan.h"

namespace kvell {

namespace {

constexpr ub1 kTempBLOB = 1;
constexpr ub1 kTempCLOB = 2;
constexpr ub1 kFileReadOnly = 1;
constexpr ub1 kOnePiece = 0;
constexpr const char* kFeature = "A TLOBLocator instance";
constexpr const char* kMonitorPrefix = "LOBLocator";
constexpr const char* kReportLength = "LOB.Length";
constexpr const char* kReportTrim = "LOB.Trim";
constexpr const char* kReportFileIsOpen = "LOB.FileIsOpen";
constexpr const char* kReportOpenFile = "LOB.OpenFile";
constexpr const char* kReportCloseFile = "LOB.CloseFile";

std::atomic<int> next_locator_id{1};

// A report text that needs no building.
auto fixed(const char* text) {
  return [text] { return std::string(text); };
}

// "LOB.Read(" + count + ")" and the like.
auto counted(const char* call, int64_t count) {
  return [call, count] { return std::string(call) + "(" + std::to_string(count) + ")"; };
}

bool valid_type(int type) { return type == otCLOB || type == otBLOB || type == otBFile; }

// The most bytes a client character set (AL32UTF8, GB18030) spends on one
// character: the smallest buffer in which any character fits.
constexpr int64_t kWidestCharacter = 4;
// The scratch buffer for the pieces of a polled read that nobody will keep.
constexpr int64_t kDiscardPiece = 8192;

// LOB offsets and amounts are 32-bit on the client interface.
ub4 as_ub4(int64_t value) {
  return static_cast<ub4>(std::clamp<int64_t>(value, 0, std::numeric_limits<ub4>::max()));
}

}  // namespace

TLOBLocator::TLOBLocator(TOracleSession* session, int lob_type)
    : session_(session), locator_ref_(&locator_), lob_type_(lob_type),
      monitor_(NewMonitorData(next_locator_id, kMonitorPrefix)) {
  RequireOCI8Session(session, kFeature);
  if (lob_type_ == otNCLOB) {
    charset_form_ = SQLCS_NCHAR;
    lob_type_ = otCLOB;
  }
  session_->AttachClient(skLOBLocator, this);
  try {
    if (!session_->Connected()) throw Exception(kLOBNotLoggedOn);
    if (!valid_type(lob_type_)) throw Exception(kLOBBadType);
    descriptor_type_ = lob_type_ == otBFile ? OCI_DTYPE_FILE : OCI_DTYPE_LOB;
    check(OCIDescriptorAlloc(environment(), reinterpret_cast<void**>(&locator_), descriptor_type_, 0, nullptr));
    check(OCIHandleAlloc(environment(), reinterpret_cast<void**>(&error_), OCI_HTYPE_ERROR, 0, nullptr));
  } catch (...) {
    destroy();
    throw;
  }
}

TLOBLocator* TLOBLocator::CreateTemporary(TOracleSession* session, int lob_type, bool cache) {
  RequireOCI8Session(session, kFeature);
  if (!OCI81Available) throw Exception(kLOBNoTemporary);
  auto* locator = new TLOBLocator(session, lob_type);
  try {
    const ub1 temp_type = locator->lob_type_ == otCLOB ? kTempCLOB : kTempBLOB;
    locator->check(OCILobCreateTemporary(locator->service(), locator->error_, locator->locator_, 0,
                                         locator->charset_form_, temp_type, cache ? 1 : 0, OCI_DURATION_SESSION));
  } catch (...) {
    delete locator;
    throw;
  }
  return locator;
}

TLOBLocator::~TLOBLocator() {
  try {
    CloseFile();
  } catch (const Exception&) {
    // A destructor must not throw; the server closes the file with the session.
  }
  destroy();
}

void TLOBLocator::destroy() {
  if (locator_ && session_ && session_->Connected()) {
    locator_ref_ = &locator_;
    try {
      if (IsTemporary()) OCILobFreeTemporary(service(), error_, locator_);
    } catch (const Exception&) {
      // The temporary LOB ends with the session anyway.
    }
  }
  if (locator_) OCIDescriptorFree(locator_, descriptor_type_);
  locator_ = nullptr;
  locator_ref_ = &locator_;
  forget_initialised();
  if (error_) OCIHandleFree(error_, OCI_HTYPE_ERROR);
  error_ = nullptr;
  if (session_) session_->DetachClient(skLOBLocator, this);
  session_ = nullptr;
  MonitorLifeEnd(monitor_);
}

OCISvcCtx* TLOBLocator::service() const { return session_ ? session_->ServiceContext() : nullptr; }

OCIEnv* TLOBLocator::environment() const { return session_ ? session_->EnvironmentHandle() : nullptr; }

void TLOBLocator::require_session() const {
  if (!session_ || !session_->Connected()) throw Exception(kLOBNotLoggedOn);
}

void TLOBLocator::check(sword status) {
  if (status == OCI_INVALID_HANDLE) throw Exception(kLOBInvalidHandle);
  if (status != OCI_ERROR) return;
  OracleErrorSource source;
  source.Handle = error_;
  RaiseOracleError(session_, source, nullptr);
}

void TLOBLocator::ensure_slot() {
  if (*locator_ref_) return;
  require_session();
  check(OCIObjectNew(environment(), error_, service(), static_cast<OCITypeCode>(lob_type_), nullptr, nullptr,
                     OCI_DURATION_SESSION, 1, reinterpret_cast<void**>(locator_ref_)));
}

bool TLOBLocator::initialised() const {
  if (!*locator_ref_ || !session_) return false;
  if (init_slot_ == locator_ref_ && init_locator_ == *locator_ref_) return true;
  boolean is_init = 0;
  const sword status = OCILobLocatorIsInit(environment(), error_, *locator_ref_, &is_init);
  if (status != OCI_SUCCESS || is_init == 0) return false;
  init_slot_ = locator_ref_;
  init_locator_ = *locator_ref_;
  return true;
}

bool TLOBLocator::IsNull() {
  if (null_indicator_ && *null_indicator_ != 0) return true;
  return !initialised();
}

bool TLOBLocator::IsNullValue() const {
  if (null_indicator_ && *null_indicator_ != 0) return true;
  return !initialised();
}

void TLOBLocator::Attach(OCILobLocator** slot, sb2* indicator) {
  if (FileIsOpen()) CloseFile();
  locator_ref_ = slot ? slot : &locator_;
  forget_initialised();
  null_indicator_ = indicator;
  position_ = 0;
}

void TLOBLocator::SetOwner(TAttributeOwner* owner, std::string attribute_name) {
  owner_ = owner;
  attribute_name_ = std::move(attribute_name);
}

int64_t TLOBLocator::Read(void* buffer, int64_t count) {
  if (count < 1 || IsNull()) return 0;
  OpenFile();
  return Monitored(monitor_, counted("LOB.Read", count), [&] {
    return lob_type_ == otCLOB ? read_characters_into(buffer, count) : read_bytes(buffer, count);
  });
}

sword TLOBLocator::read_call(int64_t amount, void* buffer, int64_t size, int64_t& bytes) {
  ub4 amount_read = as_ub4(amount);
  const sword status = OCILobRead(service(), error_, *locator_ref_, &amount_read, as_ub4(position_ + 1), buffer,
                                  as_ub4(size), nullptr, nullptr, 0, charset_form_);
  check(status);
  // Bytes for a BLOB, a BFILE and any CLOB read by a client whose character
  // set is single-byte or of varying width, as Oracle documents it.
  bytes = amount_read;
  return status;
}

// Continuation calls repeat the first call's offset and amount, which the
// client ignores while the poll runs.
void TLOBLocator::finish_polling(int64_t amount, const std::function<void(const char*, int64_t)>& take) {
  std::string piece(static_cast<size_t>(kDiscardPiece), '\0');
  sword status = OCI_NEED_DATA;
  while (status == OCI_NEED_DATA) {
    int64_t bytes = 0;
    status = read_call(amount, piece.data(), kDiscardPiece, bytes);
    take(piece.data(), bytes);
    if (bytes == 0) break;  // nothing more comes
  }
}

int64_t TLOBLocator::read_bytes(void* buffer, int64_t count) {
  int64_t bytes = 0;
  if (read_call(count, buffer, count, bytes) == OCI_NEED_DATA) finish_polling(count, [](const char*, int64_t) {});
  position_ += bytes;
  return bytes;
}

// Asks `count` characters into `count` bytes. When they need more bytes, the
// poll is run out and fewer are asked, in proportion to the bytes they took,
// until the characters asked fit.
int64_t TLOBLocator::read_characters_into(void* buffer, int64_t count) {
  int64_t requested = count;
  int64_t bytes = 0;
  while (read_call(requested, buffer, count, bytes) == OCI_NEED_DATA) {
    int64_t needed = bytes;
    finish_polling(requested, [&](const char*, int64_t more) { needed += more; });
    requested = std::min(requested - 1, requested * count / std::max<int64_t>(needed, 1));
    if (requested < 1) throw Exception(kLOBCharacterDoesNotFit);
  }
  advance_by_characters(requested, bytes);
  return bytes;
}

// A whole read of `requested` characters took them all or ran to the end of
// the LOB; the server's length says which, in its own count of characters.
void TLOBLocator::advance_by_characters(int64_t requested, int64_t bytes_read) {
  if (read_length_ < 0) read_length_ = LOBLength();
  const int64_t left = std::max<int64_t>(read_length_ - position_, 0);
  if (bytes_read == 0 && left > 0) throw Exception(kLOBCharacterDoesNotFit);
  position_ += std::min(requested, left);
}

std::string TLOBLocator::read_characters(int64_t count) {
  if (count < 1 || IsNull()) return {};
  const int64_t per_character = session_ ? session_->ResolvedBytesPerCharacter() : 1;
  const int64_t budget = count * per_character;
  std::string text;
  Monitored(monitor_, counted("LOB.Read", budget), [&] {
    std::string piece(static_cast<size_t>(std::max(budget, kWidestCharacter)), '\0');
    int64_t bytes = 0;
    const sword status = read_call(count, piece.data(), static_cast<int64_t>(piece.size()), bytes);
    text.assign(piece.data(), static_cast<size_t>(bytes));
    if (status == OCI_NEED_DATA) {
      finish_polling(count, [&](const char* more, int64_t size) { text.append(more, static_cast<size_t>(size)); });
    }
    advance_by_characters(count, static_cast<int64_t>(text.size()));
  });
  return text;
}

int64_t TLOBLocator::Write(const void* buffer, int64_t count) {
  if (count <= 0) return count;
  require_session();
  read_length_ = -1;
  ub4 amount = as_ub4(count);
  Monitored(monitor_, counted("LOB.Write", count), [&] {
    check(OCILobWrite(service(), error_, *locator_ref_, &amount, as_ub4(position_ + 1), const_cast<void*>(buffer),
                      as_ub4(count), kOnePiece, nullptr, nullptr, 0, charset_form_));
  });
  // The client answers with the characters it wrote to a CLOB; the caller's
  // stream counts the bytes it handed over, all of which one piece takes.
  position_ += amount;
  return lob_type_ == otCLOB ? count : static_cast<int64_t>(amount);
}

int64_t TLOBLocator::Seek(int64_t offset, int origin) {
  switch (origin) {
    case soBeginning: position_ = offset; break;
    case soCurrent: position_ += offset; break;
    case soEnd: position_ = offset + LOBLength(); break;
    default: break;
  }
  return position_;
}

void TLOBLocator::SetSize(int64_t new_size) {
  const int64_t current = Size();
  if (new_size < current) {
    require_session();
    read_length_ = -1;
    Monitored(monitor_, fixed(kReportTrim),
              [&] { check(OCILobTrim(service(), error_, *locator_ref_, as_ub4(new_size))); });
  } else if (new_size > current) {
    const char filler = lob_type_ == otCLOB ? ' ' : '\0';
    Seek(new_size - 1, soBeginning);
    Write(&filler, 1);
  }
}

int64_t TLOBLocator::LOBLength() {
  if (IsNull()) return 0;
  ub4 length = 0;
  Monitored(monitor_, fixed(kReportLength), [&] { check(OCILobGetLength(service(), error_, *locator_ref_, &length)); });
  return length;
}

void TLOBLocator::Clear() {
  require_session();
  forget_initialised();
  if (owner_) {
    if (*locator_ref_) check(OCIObjectFree(environment(), error_, *locator_ref_, 0));
    *locator_ref_ = nullptr;
    ensure_slot();
  } else {
    if (*locator_ref_) OCIDescriptorFree(*locator_ref_, descriptor_type_);
    *locator_ref_ = nullptr;
    check(OCIDescriptorAlloc(environment(), reinterpret_cast<void**>(locator_ref_), descriptor_type_, 0, nullptr));
  }
  if (null_indicator_) *null_indicator_ = static_cast<sb2>(initialised() ? 0 : -1);
  if (owner_) owner_->AttributeChanged(attribute_name_);
  if (null_indicator_) *null_indicator_ = -1;
  position_ = 0;
}

std::string TLOBLocator::ReadAsString(int64_t count) {
  Seek(0, soBeginning);
  if (lob_type_ != otCLOB) {
    std::string bytes(static_cast<size_t>(std::max<int64_t>(count, 0)), '\0');
    bytes.resize(static_cast<size_t>(Read(bytes.data(), count)));
    return bytes;
  }
  const std::string text = read_characters(count);
  if (!session_ || session_->Preferences().ConvertCRLF) return NormalizeLineBreaks(text);
  return text;
}

void TLOBLocator::SetNCLOB(bool value) {
  if (lob_type_ != otCLOB) throw Exception(kLOBNCLOBOnlyForCLOB);
  charset_form_ = value ? SQLCS_NCHAR : SQLCS_IMPLICIT;
}

bool TLOBLocator::IsTemporary() {
  if (!OCI81Available || !*locator_ref_ || !session_) return false;
  boolean temporary = 0;
  check(OCILobIsTemporary(environment(), error_, *locator_ref_, &temporary));
  return temporary != 0;
}

bool TLOBLocator::FileIsOpen() {
  if (lob_type_ != otBFile || !initialised()) return false;
  boolean open = 0;
  Monitored(monitor_, fixed(kReportFileIsOpen),
            [&] { check(OCILobFileIsOpen(service(), error_, *locator_ref_, &open)); });
  return open != 0;
}

void TLOBLocator::OpenFile() {
  if (lob_type_ != otBFile || FileIsOpen()) return;
  Monitored(monitor_, fixed(kReportOpenFile),
            [&] { check(OCILobFileOpen(service(), error_, *locator_ref_, kFileReadOnly)); });
}

void TLOBLocator::CloseFile() {
  if (lob_type_ != otBFile || !FileIsOpen()) return;
  Monitored(monitor_, fixed(kReportCloseFile), [&] { check(OCILobFileClose(service(), error_, *locator_ref_)); });
}

}  // namespace kvell
