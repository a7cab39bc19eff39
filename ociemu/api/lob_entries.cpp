// The LOB and BFILE entries: reads and writes in one piece, by polling and
// by callback, the 4- and 8-byte amount forms, length, trim, erase, copy,
// append, temporary LOBs, open/close and the BFILE calls. Amounts and
// offsets count characters for CLOBs and bytes otherwise; offsets are 1-based.
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

#include "ociemu/api/entry.h"
#include "ociemu/api/lob_store.h"

using namespace ociemu;

namespace {

constexpr int kIllegalParameter = 24801;
constexpr int kCallbackFailed = 24802;
constexpr int kTrimTooLong = 22926;
constexpr int kUnopenedFile = 22289;
constexpr int kAlreadyOpen = 22293;
constexpr int kNotOpen = 22289;
constexpr ub4 kChunkSize = 8132;  // an 8 KB block less its header, as Oracle reports it

#define OCIEMU_ERRORS(errhp)                             \
  bool bad_handle = false;                               \
  ErrorHandle* errors = error_handle(errhp, bad_handle); \
  if (bad_handle) return OCI_INVALID_HANDLE

Session& session_of(OCISvcCtx* svchp) {
  auto* svc = live<ServiceContext>(svchp);
  if (svc == nullptr) fail(kIllegalParameter);
  Session& session = svc->live_session();
  session.check_alive();
  return session;
}

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the prefix that ends on a whole UTF-8 character.
size_t complete_prefix(std::string_view text) {
  size_t end = text.size();
  size_t back = 0;
  while (back < 4 && back < end && continuation(text[end - 1 - back])) ++back;
  if (back == end) return end;
  auto lead = static_cast<unsigned char>(text[end - 1 - back]);
  size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return back + 1 >= needed ? end : end - 1 - back;
}

bool file_is_open(const Session& session, const LobLocator& locator) {
  return locator.file_open && locator.file_generation == session.lobs.file_generation;
}

uint64_t length_of(Session& session, LobLocator& locator) {
  if (locator.kind == LobLocator::Kind::File) return bfile_length(session.connection->db(), locator);
  return session.lobs.content(*session.connection, locator)->length();
}

struct Piece {
  uint64_t bytes = 0;
  uint64_t units = 0;
  bool at_end = false;
};

// Reads up to `units` (0: no limit) from a 0-based position into at most `capacity` bytes of buf.
Piece read_piece(Session& session, LobLocator& locator, uint64_t position, uint64_t units, void* buf,
                 uint64_t capacity) {
  Piece piece;
  uint64_t wanted = units ? units : std::numeric_limits<uint64_t>::max();
  if (locator.kind == LobLocator::Kind::File) {
    if (!file_is_open(session, locator)) fail(kUnopenedFile, {"FILEREAD"});
    uint64_t length = bfile_length(session.connection->db(), locator);
    uint64_t count = position < length ? std::min<uint64_t>({wanted, capacity, length - position}) : 0;
    std::string bytes = bfile_read(session.connection->db(), locator, position, count);
    if (!bytes.empty()) std::memcpy(buf, bytes.data(), bytes.size());
    piece.bytes = piece.units = bytes.size();
    piece.at_end = position + bytes.size() >= length;
    return piece;
  }
  LobState::RowRead row;
  if (session.lobs.read_from_row(*session.connection, locator, position, units, buf, capacity, row)) {
    return Piece{row.bytes, row.units, row.at_end};
  }
  auto content = session.lobs.content(*session.connection, locator);
  size_t taken = 0;
  std::string_view slice = content->slice(static_cast<size_t>(position), static_cast<size_t>(std::min<uint64_t>(wanted, SIZE_MAX)),
                                          static_cast<size_t>(std::min<uint64_t>(capacity, SIZE_MAX)), taken);
  if (!slice.empty()) std::memcpy(buf, slice.data(), slice.size());
  piece.bytes = slice.size();
  piece.units = taken;
  piece.at_end = static_cast<size_t>(slice.data() - content->bytes.data()) + slice.size() >= content->bytes.size();
  return piece;
}

// Writes bytes at a 0-based position; returns the units written. A character
// LOB keeps an incomplete trailing character in `carry` for the next piece.
uint64_t write_bytes(LobContent& content, uint64_t position, std::string_view data, std::string* carry) {
  std::string joined;
  if (content.character && carry) {
    joined = *carry;
    joined.append(data);
    size_t whole = complete_prefix(joined);
    *carry = joined.substr(whole);
    joined.resize(whole);
    data = joined;
  }
  content.write(static_cast<size_t>(position), data);
  return content.character ? utf8_length(data) : data.size();
}

uint64_t position_of(uint64_t offset) {
  if (offset == 0) fail(kIllegalParameter);
  return offset - 1;
}

// One read call in the polling protocol: NEED_DATA while more remains for the caller's buffer.
sword polled_read(Session& session, LobLocator& locator, uint64_t offset, uint64_t amount, bool restart, void* buf,
                  uint64_t capacity, Piece& piece) {
  LobLocator::Stream& stream = locator.read_stream;
  if (restart || !stream.active || stream.start_offset != offset) {
    stream = {};
    stream.start_offset = offset;
    stream.position = position_of(offset);
    stream.remaining = amount;
  }
  piece = read_piece(session, locator, stream.position, stream.remaining, buf, capacity);
  stream.position += piece.units;
  bool bounded = stream.remaining != 0;
  if (bounded) stream.remaining -= std::min(stream.remaining, piece.units);
  bool more = !piece.at_end && (!bounded || stream.remaining > 0) && piece.units > 0;
  stream.active = more;
  return more ? OCI_NEED_DATA : OCI_SUCCESS;
}

// Callback reads: every piece of the range goes to the callback.
template <class Deliver>
void streamed_read(Session& session, LobLocator& locator, uint64_t offset, uint64_t amount, void* buf,
                   uint64_t capacity, uint64_t& bytes, uint64_t& units, Deliver&& deliver) {
  if (buf == nullptr || capacity == 0) fail(kIllegalParameter);
  uint64_t position = position_of(offset);
  bool first = true;
  for (;;) {
    Piece piece = read_piece(session, locator, position, amount ? amount - units : 0, buf, capacity);
    position += piece.units;
    units += piece.units;
    bytes += piece.bytes;
    bool last = piece.at_end || piece.units == 0 || (amount && units >= amount);
    ub1 code = last ? (first ? OCI_ONE_PIECE : OCI_LAST_PIECE) : (first ? OCI_FIRST_PIECE : OCI_NEXT_PIECE);
    if (deliver(piece.bytes, code) != OCI_CONTINUE) fail(kCallbackFailed, {"read"});
    if (last) return;
    first = false;
  }
}

struct WriteResult {
  uint64_t bytes = 0, units = 0;
  sword status = OCI_SUCCESS;
};

// One write call: a whole value, a piece of a polled write, or a callback-fed stream.
template <class NextPiece>
WriteResult write_call(Session& session, LobLocator& locator, uint64_t offset, bool append, const void* buf,
                       uint64_t length, ub1 piece, bool has_callback, NextPiece&& next_piece) {
  auto content = writable_content(session, locator);
  LobLocator::Stream& stream = locator.write_stream;
  if (piece == OCI_ONE_PIECE || piece == OCI_FIRST_PIECE || !stream.active) {
    stream = {};
    stream.position = append ? content->length() : position_of(offset);
  }
  WriteResult result;
  std::string_view data(static_cast<const char*>(buf), buf ? static_cast<size_t>(length) : 0);
  auto put = [&](std::string_view bytes) {
    uint64_t units = write_bytes(*content, stream.position, bytes, &stream.carry);
    stream.position += units;
    stream.done += units;
    result.bytes += bytes.size();
  };
  put(data);
  if (has_callback && piece != OCI_ONE_PIECE) {
    for (ub1 next = OCI_NEXT_PIECE; next != OCI_LAST_PIECE;) {
      std::string_view more;
      if (next_piece(next, more) != OCI_CONTINUE) fail(kCallbackFailed, {"write"});
      put(more);
    }
  } else if (piece == OCI_FIRST_PIECE || piece == OCI_NEXT_PIECE) {
    stream.active = true;
    result.units = stream.done;
    result.status = OCI_NEED_DATA;
    return result;
  }
  if (!stream.carry.empty()) {
    content->write(static_cast<size_t>(stream.position), stream.carry);  // a cut character is written as it came
    stream.done += utf8_length(stream.carry);
  }
  result.units = stream.done;
  stream = {};
  return result;
}

LobLocator& assign_target(LobLocator** dst) {
  LobLocator* target = dst ? live_locator(*dst) : nullptr;
  if (target == nullptr) fail(kIllegalParameter);
  return *target;
}

uint64_t erase_units(Session& session, LobLocator& locator, uint64_t amount, uint64_t offset) {
  return writable_content(session, locator)->erase(static_cast<size_t>(position_of(offset)), static_cast<size_t>(amount));
}

void trim_to(Session& session, LobLocator& locator, uint64_t new_length) {
  if (new_length > length_of(session, locator)) fail(kTrimTooLong);
  writable_content(session, locator)->trim(static_cast<size_t>(new_length));
}

// Source units [src_offset, +amount) into dst at dst_offset.
void copy_range(Session& session, LobLocator& dst, LobLocator& src, uint64_t amount, uint64_t dst_offset,
                uint64_t src_offset) {
  std::string bytes;
  uint64_t position = position_of(src_offset);
  if (src.kind == LobLocator::Kind::File) {
    if (!file_is_open(session, src)) fail(kUnopenedFile, {"LOBLOADFROMFILE"});
    bytes = bfile_read(session.connection->db(), src, position, amount);
  } else {
    auto source = session.lobs.content(*session.connection, src);
    size_t taken = 0;
    bytes = std::string(source->slice(static_cast<size_t>(position), static_cast<size_t>(amount), SIZE_MAX, taken));
  }
  write_bytes(*writable_content(session, dst), position_of(dst_offset), bytes, nullptr);
}

void append_all(Session& session, LobLocator& dst, LobLocator& src) {
  std::string bytes = session.lobs.content(*session.connection, src)->bytes;
  auto target = writable_content(session, dst);
  target->write(target->length(), bytes);
}

// A locator never initialised that the application writes becomes a temporary
// LOB, as with Oracle's client (a string bound as a CLOB is written into the
// bind's fresh locator); the first write's character set form tells a CLOB
// (nonzero) from a BLOB.
LobLocator& written_locator(Session& session, const OCILobLocator* locp, std::optional<ub1> csfrm) {
  LobLocator* fresh = live_locator(locp);
  if (fresh && fresh->pristine && !fresh->initialized() && fresh->type() == OCI_DTYPE_LOB) {
    fresh->kind = LobLocator::Kind::Temporary;
    fresh->lob_type = kClobType;
    fresh->session_id = session.id;
    fresh->temporary = session.lobs.create_temporary(true);
    fresh->implicit = true;
  }
  LobLocator& locator = initialized_locator(locp);
  if (locator.implicit && csfrm) {
    auto content = locator.temporary.lock();
    if (content && content->bytes.empty()) {
      content->character = *csfrm != 0;
      locator.lob_type = content->character ? kClobType : kBlobType;
      locator.charset_form = *csfrm;
    }
    locator.implicit = false;
  }
  return locator;
}

// The common frame of a call on one initialised locator of a logged-on session.
template <class Body>
sword lob_call(const char* name, OCISvcCtx* svchp, OCIError* errhp, const OCILobLocator* locp, bool arguments_ok,
               Body&& body) {
  bool bad = false;
  ErrorHandle* errors = error_handle(errhp, bad);
  if (bad || !live_locator(locp) || !arguments_ok) return OCI_INVALID_HANDLE;
  return guarded(name, errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    body(session, initialized_locator(locp));
    return OCI_SUCCESS;
  });
}

// The same for a call that writes: a locator never initialised becomes a temporary LOB.
template <class Body>
sword lob_write_call(const char* name, OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, Body&& body) {
  bool bad = false;
  ErrorHandle* errors = error_handle(errhp, bad);
  if (bad || !live_locator(locp)) return OCI_INVALID_HANDLE;
  return guarded(name, errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    body(session, written_locator(session, locp, std::nullopt));
    return OCI_SUCCESS;
  });
}

sword buffering(OCIError* errhp, OCILobLocator* locp) {
  bool bad = false;
  error_handle(errhp, bad);
  return bad || !live_locator(locp) ? OCI_INVALID_HANDLE : OCI_SUCCESS;
}

}  // namespace

extern "C" {

sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 bufl,
                 void* ctxp, OCICallbackLobRead cbfp, ub2, ub1) {
  OCIEMU_ERRORS(errhp);
  if (!live_locator(locp) || amtp == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobRead", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    LobLocator& locator = initialized_locator(locp);
    // The amount asked counts characters of a CLOB; the amount read counts bytes, as
    // Oracle reports it to a client of a varying-width character set such as AL32UTF8.
    if (cbfp) {
      uint64_t bytes = 0, units = 0;
      streamed_read(session, locator, offset, *amtp, bufp, bufl, bytes, units, [&](uint64_t n, ub1 piece) {
        return cbfp(ctxp, bufp, static_cast<ub4>(n), piece);
      });
      *amtp = static_cast<ub4>(bytes);
      return OCI_SUCCESS;
    }
    Piece piece;
    sword status = polled_read(session, locator, offset, *amtp, false, bufp, bufl, piece);
    *amtp = static_cast<ub4>(piece.bytes);
    return status;
  });
}

sword OCILobRead2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* byte_amtp, oraub8* char_amtp,
                  oraub8 offset, void* bufp, oraub8 bufl, ub1 piece, void* ctxp, OCICallbackLobRead2 cbfp, ub2, ub1) {
  OCIEMU_ERRORS(errhp);
  if (!live_locator(locp) || (byte_amtp == nullptr && char_amtp == nullptr)) return OCI_INVALID_HANDLE;
  return guarded("OCILobRead2", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    LobLocator& locator = initialized_locator(locp);
    // Characters when asked in characters; otherwise the byte amount caps the buffer.
    bool in_chars = locator.character() && char_amtp && *char_amtp;
    uint64_t amount = in_chars ? *char_amtp : locator.character() ? 0 : (byte_amtp ? *byte_amtp : 0);
    uint64_t capacity = !in_chars && locator.character() && byte_amtp && *byte_amtp ? std::min(bufl, *byte_amtp) : bufl;
    uint64_t bytes = 0, units = 0;
    sword status = OCI_SUCCESS;
    if (cbfp) {
      streamed_read(session, locator, offset, amount, bufp, capacity, bytes, units, [&](uint64_t n, ub1 code) {
        return cbfp(ctxp, bufp, n, code, nullptr, nullptr);
      });
    } else {
      Piece got;
      status = polled_read(session, locator, offset, amount, piece != OCI_NEXT_PIECE, bufp, capacity, got);
      if (piece == OCI_ONE_PIECE && status == OCI_NEED_DATA) {
        locator.read_stream = {};
        status = OCI_SUCCESS;
      }
      bytes = got.bytes;
      units = got.units;
    }
    if (byte_amtp) *byte_amtp = bytes;
    if (char_amtp) *char_amtp = locator.character() ? units : 0;
    return status;
  });
}

sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp,
                  ub4 buflen, ub1 piece, void* ctxp, OCICallbackLobWrite cbfp, ub2, ub1 csfrm) {
  OCIEMU_ERRORS(errhp);
  if (!live_locator(locp) || amtp == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobWrite", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    LobLocator& locator = written_locator(session, locp, csfrm);
    uint64_t length = !locator.character() && *amtp && *amtp < buflen && piece == OCI_ONE_PIECE ? *amtp : buflen;
    WriteResult result = write_call(session, locator, offset, false, bufp, length, piece, cbfp != nullptr,
                                    [&](ub1& next, std::string_view& more) {
                                      ub4 n = buflen;
                                      sb4 rc = cbfp(ctxp, bufp, &n, &next);
                                      more = std::string_view(static_cast<const char*>(bufp), n);
                                      return rc;
                                    });
    *amtp = static_cast<ub4>(result.units);
    return result.status;
  });
}

namespace {
sword write2(const char* name, OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* byte_amtp,
             oraub8* char_amtp, oraub8 offset, bool append, void* bufp, oraub8 buflen, ub1 piece, void* ctxp,
             OCICallbackLobWrite2 cbfp, ub1 csfrm) {
  OCIEMU_ERRORS(errhp);
  if (!live_locator(locp)) return OCI_INVALID_HANDLE;
  return guarded(name, errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    LobLocator& locator = written_locator(session, locp, csfrm);
    uint64_t length = buflen;
    if (!locator.character() && byte_amtp && *byte_amtp && *byte_amtp < buflen && piece == OCI_ONE_PIECE) length = *byte_amtp;
    WriteResult result = write_call(session, locator, offset, append, bufp, length, piece, cbfp != nullptr,
                                    [&](ub1& next, std::string_view& more) {
                                      oraub8 n = buflen;
                                      sb4 rc = cbfp(ctxp, bufp, &n, &next, nullptr, nullptr);
                                      more = std::string_view(static_cast<const char*>(bufp), static_cast<size_t>(n));
                                      return rc;
                                    });
    if (byte_amtp) *byte_amtp = result.bytes;
    if (char_amtp) *char_amtp = locator.character() ? result.units : 0;
    return result.status;
  });
}
}  // namespace

sword OCILobWrite2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* byte_amtp, oraub8* char_amtp,
                   oraub8 offset, void* bufp, oraub8 buflen, ub1 piece, void* ctxp, OCICallbackLobWrite2 cbfp, ub2,
                   ub1 csfrm) {
  return write2("OCILobWrite2", svchp, errhp, locp, byte_amtp, char_amtp, offset, false, bufp, buflen, piece, ctxp,
                cbfp, csfrm);
}

sword OCILobWriteAppend2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* byte_amtp,
                         oraub8* char_amtp, void* bufp, oraub8 buflen, ub1 piece, void* ctxp,
                         OCICallbackLobWrite2 cbfp, ub2, ub1 csfrm) {
  return write2("OCILobWriteAppend2", svchp, errhp, locp, byte_amtp, char_amtp, 1, true, bufp, buflen, piece, ctxp,
                cbfp, csfrm);
}

sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp) {
  return lob_call("OCILobGetLength", svchp, errhp, locp, lenp != nullptr,
                  [&](Session& session, LobLocator& locator) { *lenp = static_cast<ub4>(length_of(session, locator)); });
}

sword OCILobGetLength2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* lenp) {
  return lob_call("OCILobGetLength2", svchp, errhp, locp, lenp != nullptr,
                  [&](Session& session, LobLocator& locator) { *lenp = length_of(session, locator); });
}

sword OCILobTrim(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 newlen) {
  return lob_write_call("OCILobTrim", svchp, errhp, locp,
                  [&](Session& session, LobLocator& locator) { trim_to(session, locator, newlen); });
}

sword OCILobTrim2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8 newlen) {
  return lob_write_call("OCILobTrim2", svchp, errhp, locp,
                  [&](Session& session, LobLocator& locator) { trim_to(session, locator, newlen); });
}

sword OCILobErase(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amount, ub4 offset) {
  return lob_call("OCILobErase", svchp, errhp, locp, amount != nullptr, [&](Session& session, LobLocator& locator) {
    *amount = static_cast<ub4>(erase_units(session, locator, *amount, offset));
  });
}

sword OCILobErase2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* amount, oraub8 offset) {
  return lob_call("OCILobErase2", svchp, errhp, locp, amount != nullptr, [&](Session& session, LobLocator& locator) {
    *amount = erase_units(session, locator, *amount, offset);
  });
}

sword OCILobCopy(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst, OCILobLocator* src, ub4 amount,
                 ub4 dst_offset, ub4 src_offset) {
  return OCILobCopy2(svchp, errhp, dst, src, amount, dst_offset, src_offset);
}

sword OCILobCopy2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst, OCILobLocator* src, oraub8 amount,
                  oraub8 dst_offset, oraub8 src_offset) {
  return lob_call("OCILobCopy2", svchp, errhp, dst, live_locator(src) != nullptr,
                  [&](Session& session, LobLocator& target) {
                    copy_range(session, target, initialized_locator(src), amount, dst_offset, src_offset);
                  });
}

sword OCILobLoadFromFile(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst, OCILobLocator* src, ub4 amount,
                         ub4 dst_offset, ub4 src_offset) {
  return OCILobCopy2(svchp, errhp, dst, src, amount, dst_offset, src_offset);
}

sword OCILobLoadFromFile2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst, OCILobLocator* src, oraub8 amount,
                          oraub8 dst_offset, oraub8 src_offset) {
  return OCILobCopy2(svchp, errhp, dst, src, amount, dst_offset, src_offset);
}

sword OCILobAppend(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* dst, OCILobLocator* src) {
  return lob_call("OCILobAppend", svchp, errhp, dst, live_locator(src) != nullptr,
                  [&](Session& session, LobLocator& target) { append_all(session, target, initialized_locator(src)); });
}

sword OCILobIsEqual(OCIEnv*, const OCILobLocator* x, const OCILobLocator* y, boolean* is_equal) {
  LobLocator* a = live_locator(x);
  LobLocator* b = live_locator(y);
  if (a == nullptr || b == nullptr || is_equal == nullptr) return OCI_INVALID_HANDLE;
  bool same = a->kind == b->kind && a->kind != LobLocator::Kind::None;
  if (same && a->kind == LobLocator::Kind::Persistent) {
    same = a->table == b->table && a->column == b->column && a->rowid == b->rowid && a->path == b->path;
  } else if (same && a->kind == LobLocator::Kind::Temporary) {
    same = a->temporary.lock() == b->temporary.lock();
  } else if (same) {
    same = a->directory == b->directory && a->file_name == b->file_name;
  }
  *is_equal = same ? 1 : 0;
  return OCI_SUCCESS;
}

sword OCILobLocatorIsInit(OCIEnv*, OCIError* errhp, const OCILobLocator* locp, boolean* is_initialized) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(locp);
  if (locator == nullptr || is_initialized == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobLocatorIsInit", errors, [&]() -> sword {
    *is_initialized = locator->initialized() ? 1 : 0;
    return OCI_SUCCESS;
  });
}

sword OCILobAssign(OCIEnv*, OCIError* errhp, const OCILobLocator* src, OCILobLocator** dst) {
  OCIEMU_ERRORS(errhp);
  LobLocator* source = live_locator(src);
  if (source == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobAssign", errors, [&]() -> sword {
    assign_target(reinterpret_cast<LobLocator**>(dst)).copy_from(*source);
    return OCI_SUCCESS;
  });
}

sword OCILobLocatorAssign(OCISvcCtx* svchp, OCIError* errhp, const OCILobLocator* src, OCILobLocator** dst) {
  OCIEMU_ERRORS(errhp);
  LobLocator* source = live_locator(src);
  if (source == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobLocatorAssign", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    LobLocator& target = assign_target(reinterpret_cast<LobLocator**>(dst));
    target.copy_from(*source);
    if (source->kind == LobLocator::Kind::Temporary) {
      // A temporary LOB is copied by value: the two locators then change independently.
      auto copy = session.lobs.create_temporary(source->character());
      copy->bytes = session.lobs.content(*session.connection, *source)->bytes;
      target.temporary = copy;
    }
    return OCI_SUCCESS;
  });
}

sword OCILobCharSetForm(OCIEnv*, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(locp);
  if (locator == nullptr || csfrm == nullptr) return OCI_INVALID_HANDLE;
  *csfrm = locator->character() ? locator->charset_form : 0;
  (void)errors;
  return OCI_SUCCESS;
}

sword OCILobCharSetId(OCIEnv*, OCIError* errhp, const OCILobLocator* locp, ub2* csid) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(locp);
  if (locator == nullptr || csid == nullptr) return OCI_INVALID_HANDLE;
  *csid = locator->character() ? OCI_AL32UTF8ID : 0;
  (void)errors;
  return OCI_SUCCESS;
}

sword OCILobGetChunkSize(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* chunk_size) {
  OCIEMU_ERRORS(errhp);
  if (!live_locator(locp) || chunk_size == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobGetChunkSize", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    session_of(svchp);
    initialized_locator(locp);
    *chunk_size = kChunkSize;
    return OCI_SUCCESS;
  });
}

sword OCILobOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub1) {
  OCIEMU_ERRORS(errhp);
  if (!live_locator(locp)) return OCI_INVALID_HANDLE;
  return guarded("OCILobOpen", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    LobLocator& locator = initialized_locator(locp);
    if (locator.open || file_is_open(session, locator)) fail(kAlreadyOpen);
    if (locator.kind == LobLocator::Kind::File) {
      bfile_length(session.connection->db(), locator);  // ORA-22285/22288 for a missing directory or file
      locator.file_open = true;
      locator.file_generation = session.lobs.file_generation;
    }
    locator.open = true;
    return OCI_SUCCESS;
  });
}

sword OCILobClose(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp) {
  OCIEMU_ERRORS(errhp);
  if (!live_locator(locp)) return OCI_INVALID_HANDLE;
  return guarded("OCILobClose", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    session_of(svchp);
    LobLocator& locator = initialized_locator(locp);
    if (!locator.open) fail(kNotOpen, {"LOBCLOSE"});
    locator.open = locator.file_open = false;
    return OCI_SUCCESS;
  });
}

sword OCILobIsOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, boolean* flag) {
  OCIEMU_ERRORS(errhp);
  if (!live_locator(locp) || flag == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobIsOpen", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    LobLocator& locator = initialized_locator(locp);
    *flag = (locator.kind == LobLocator::Kind::File ? file_is_open(session, locator) : locator.open) ? 1 : 0;
    return OCI_SUCCESS;
  });
}

// LOB buffering is a client-side optimisation; without it every call goes straight through.
sword OCILobEnableBuffering(OCISvcCtx*, OCIError* errhp, OCILobLocator* locp) { return buffering(errhp, locp); }
sword OCILobDisableBuffering(OCISvcCtx*, OCIError* errhp, OCILobLocator* locp) { return buffering(errhp, locp); }
sword OCILobFlushBuffer(OCISvcCtx*, OCIError* errhp, OCILobLocator* locp, ub4) { return buffering(errhp, locp); }

sword OCILobCreateTemporary(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub2, ub1 csfrm, ub1 lobtype,
                            boolean, OCIDuration duration) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(locp);
  if (locator == nullptr || locator->type() != OCI_DTYPE_LOB) return OCI_INVALID_HANDLE;
  return guarded("OCILobCreateTemporary", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    if (lobtype != OCI_TEMP_BLOB && lobtype != OCI_TEMP_CLOB) fail(kIllegalParameter);
    if (duration != OCI_DURATION_SESSION && duration != OCI_DURATION_CALL && duration != 0) fail(kIllegalParameter);
    locator->kind = LobLocator::Kind::Temporary;
    locator->lob_type = lobtype == OCI_TEMP_CLOB ? kClobType : kBlobType;
    locator->charset_form = lobtype == OCI_TEMP_CLOB ? (csfrm == SQLCS_NCHAR ? SQLCS_NCHAR : SQLCS_IMPLICIT) : 0;
    locator->session_id = session.id;
    locator->temporary = session.lobs.create_temporary(lobtype == OCI_TEMP_CLOB);
    locator->open = false;
    return OCI_SUCCESS;
  });
}

sword OCILobFreeTemporary(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(locp);
  if (locator == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobFreeTemporary", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    if (locator->kind != LobLocator::Kind::Temporary) fail(kIllegalParameter);
    session.lobs.free_temporary(*locator);
    return OCI_SUCCESS;
  });
}

sword OCILobIsTemporary(OCIEnv*, OCIError* errhp, OCILobLocator* locp, boolean* is_temporary) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(locp);
  if (locator == nullptr || is_temporary == nullptr) return OCI_INVALID_HANDLE;
  (void)errors;
  *is_temporary = locator->kind == LobLocator::Kind::Temporary ? 1 : 0;
  return OCI_SUCCESS;
}

sword OCILobFileOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, ub1 mode) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(filep);
  if (locator == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobFileOpen", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    if (locator->kind != LobLocator::Kind::File || mode != OCI_FILE_READONLY) fail(kIllegalParameter);
    if (file_is_open(session, *locator)) fail(kAlreadyOpen);
    bfile_length(session.connection->db(), *locator);
    locator->file_open = true;
    locator->file_generation = session.lobs.file_generation;
    return OCI_SUCCESS;
  });
}

sword OCILobFileClose(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(filep);
  if (locator == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobFileClose", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    session_of(svchp);
    locator->file_open = locator->open = false;
    return OCI_SUCCESS;
  });
}

sword OCILobFileCloseAll(OCISvcCtx* svchp, OCIError* errhp) {
  OCIEMU_ERRORS(errhp);
  return guarded("OCILobFileCloseAll", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    ++session_of(svchp).lobs.file_generation;
    return OCI_SUCCESS;
  });
}

sword OCILobFileIsOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, boolean* flag) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(filep);
  if (locator == nullptr || flag == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobFileIsOpen", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    *flag = file_is_open(session_of(svchp), *locator) ? 1 : 0;
    return OCI_SUCCESS;
  });
}

sword OCILobFileExists(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* filep, boolean* flag) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(filep);
  if (locator == nullptr || flag == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobFileExists", errors, [&]() -> sword {
    SessionCallLock call(svchp);
    Session& session = session_of(svchp);
    if (locator->kind != LobLocator::Kind::File) fail(kIllegalParameter);
    *flag = bfile_exists(session.connection->db(), *locator) ? 1 : 0;
    return OCI_SUCCESS;
  });
}

sword OCILobFileGetName(OCIEnv*, OCIError* errhp, const OCILobLocator* filep, OraText* dir_alias, ub2* d_length,
                        OraText* filename, ub2* f_length) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = live_locator(filep);
  if (locator == nullptr || d_length == nullptr || f_length == nullptr) return OCI_INVALID_HANDLE;
  return guarded("OCILobFileGetName", errors, [&]() -> sword {
    if (locator->kind != LobLocator::Kind::File) fail(kIllegalParameter);
    auto put = [](const std::string& text, OraText* out, ub2* length) {
      if (out == nullptr || *length < text.size()) fail(kIllegalParameter);
      std::memcpy(out, text.data(), text.size());
      *length = static_cast<ub2>(text.size());
    };
    put(locator->directory, dir_alias, d_length);
    put(locator->file_name, filename, f_length);
    return OCI_SUCCESS;
  });
}

sword OCILobFileSetName(OCIEnv*, OCIError* errhp, OCILobLocator** filepp, const OraText* dir_alias, ub2 d_length,
                        const OraText* filename, ub2 f_length) {
  OCIEMU_ERRORS(errhp);
  LobLocator* locator = filepp ? live_locator(*filepp) : nullptr;
  if (locator == nullptr || locator->type() != OCI_DTYPE_FILE) return OCI_INVALID_HANDLE;
  return guarded("OCILobFileSetName", errors, [&]() -> sword {
    if (dir_alias == nullptr || filename == nullptr) fail(kIllegalParameter);
    locator->kind = LobLocator::Kind::File;
    locator->lob_type = kBfileType;
    locator->charset_form = 0;
    locator->directory.assign(reinterpret_cast<const char*>(dir_alias), d_length);
    locator->file_name.assign(reinterpret_cast<const char*>(filename), f_length);
    locator->file_open = false;
    return OCI_SUCCESS;
  });
}

}  // extern "C"
