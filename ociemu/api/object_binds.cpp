// Object values between SQL storage and client instances. A stored object is a
// JSON array of its attributes in catalogue order (embedded objects and
// collections nested, null attributes null); SQL constructors build the same
// text with json_array, and attribute access reads it with json_extract.
#include <cstdio>
#include <cstring>

#include "ociemu/api/entry.h"
#include "ociemu/api/lob_store.h"
#include "ociemu/api/object_cache.h"
#include "ociemu/api/object_codes.h"
#include "ociemu/api/session.h"
#include "ociemu/api/statement.h"
#include "ociemu/api/object_refs.h"

namespace ociemu {
namespace {

constexpr int kInconsistentTypes = 932;
constexpr int kInvalidArgument = 21560;

// ---- JSON, as far as stored objects use it ----

struct Json {
  enum class Kind : uint8_t { Null, Number, String, Array, Bool };
  Kind kind = Kind::Null;
  std::string text;  // Number, String; "1"/"0" for Bool
  std::vector<Json> items;
};

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  Json document() {
    Json value = read(0);
    skip_space();
    if (at_ != text_.size()) bad();
    return value;
  }

 private:
  static constexpr int kMaxDepth = 64;

  [[noreturn]] static void bad() { fail(kInconsistentTypes, {"an object", "unreadable stored text"}); }
  void skip_space() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\t' || text_[at_] == '\r')) ++at_;
  }
  bool take(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  Json read(int depth) {
    if (depth > kMaxDepth) bad();
    skip_space();
    if (at_ >= text_.size()) bad();
    Json value;
    const char c = text_[at_];
    if (c == '[') {
      value.kind = Json::Kind::Array;
      ++at_;
      skip_space();
      if (at_ < text_.size() && text_[at_] == ']') return ++at_, value;
      while (true) {
        value.items.push_back(read(depth + 1));
        skip_space();
        if (at_ >= text_.size()) bad();
        if (text_[at_++] == ']') return value;
        if (text_[at_ - 1] != ',') bad();
      }
    }
    if (c == '"') return read_string();
    if (take("null")) return value;
    const bool truth = take("true");
    if (truth || take("false")) {
      value.kind = Json::Kind::Bool;
      value.text.push_back(truth ? '1' : '0');
      return value;
    }
    const size_t start = at_;
    while (at_ < text_.size() && std::strchr("+-.0123456789eE", text_[at_]) != nullptr) ++at_;
    if (at_ == start) bad();
    value.kind = Json::Kind::Number;
    value.text = std::string(text_.substr(start, at_ - start));
    return value;
  }

  Json read_string() {
    Json value;
    value.kind = Json::Kind::String;
    ++at_;
    while (true) {
      if (at_ >= text_.size()) bad();
      char c = text_[at_++];
      if (c == '"') return value;
      if (c != '\\') {
        value.text += c;
        continue;
      }
      if (at_ >= text_.size()) bad();
      c = text_[at_++];
      switch (c) {
        case 'n': value.text += '\n'; break;
        case 't': value.text += '\t'; break;
        case 'r': value.text += '\r'; break;
        case 'b': value.text += '\b'; break;
        case 'f': value.text += '\f'; break;
        case 'u': append_code_point(value.text); break;
        default: value.text += c;
      }
    }
  }

  void append_code_point(std::string& out) {
    if (at_ + 4 > text_.size()) bad();
    unsigned code = 0;
    for (int k = 0; k < 4; ++k) {
      const char h = text_[at_++];
      code = code * 16 + static_cast<unsigned>(h >= '0' && h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  std::string_view text_;
  size_t at_ = 0;
};

void write_string(std::string_view text, std::string& out) {
  out += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

using sql::bytes_of_hex;
using sql::hex_of;

// ---- slots ----

int builtin_code(const sql::TypeAttribute& attribute) {
  return attribute.builtin ? attribute.builtin->type_code : 0;
}

void* pointer_at(const char* address) {
  void* value = nullptr;
  std::memcpy(&value, address, sizeof value);
  return value;
}

std::string date_text(const OCIDate& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.OCIDateYYYY, date.OCIDateMM, date.OCIDateDD,
                date.OCIDateTime.OCITimeHH, date.OCIDateTime.OCITimeMI, date.OCIDateTime.OCITimeSS);
  return text;
}

OCIDate date_of(const std::string& text) {
  int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute, &second) < 3) {
    fail(kInconsistentTypes, {"DATE", "unreadable stored text"});
  }
  OCIDate date{};
  date.OCIDateYYYY = static_cast<sb2>(year);
  date.OCIDateMM = static_cast<ub1>(month);
  date.OCIDateDD = static_cast<ub1>(day);
  date.OCIDateTime = OCITime{static_cast<ub1>(hour), static_cast<ub1>(minute), static_cast<ub1>(second)};
  return date;
}

// Reads and writes stored object text. LOB attributes are kept in the text (CLOBs as
// text, BLOBs as hex digits); a decoded LOB names its place in the row when the
// origin gives one, else it becomes a temporary value of the instance.
class Codec {
 public:
  // session: the one REFs read here came through (pins use it) and LOB contents are read from, or none.
  Codec(ObjectCache& cache, Session* session, const ObjectOrigin* origin = nullptr)
      : cache_(cache), session_(session), origin_(origin) {}

  // The stored text of an object instance at base with its null structure.
  void encode_object(const TypeDescriptor& type, const char* base, const OCIInd* nulls, std::string& out) {
    size_t index = 0;
    encode_level(type.slots, index, type.info.attributes.size(), base, nulls, out);
  }

  // An index-by table's elements go as [key, value] pairs, since its keys need not follow each other.
  void encode_coll(const ClientColl& coll, std::string& out) {
    out += '[';
    const sql::TypeAttribute& element = coll.type->info.attributes.at(0);
    for (size_t i = 0; i < coll.elements.size(); ++i) {
      if (i) out += ',';
      if (coll.keyed()) out += '[' + std::to_string(coll.keys[i]) + ',';
      if (*coll.indicators[i] != kIndicatorNotNull) {
        out += "null";
      } else if (coll.type->element && !coll.type->element->by_pointer()) {
        encode_object(*coll.type->element, static_cast<const char*>(coll.elements[i]), coll.indicators[i], out);
      } else {
        encode_value(element, coll.type->element, element_kind(element), static_cast<const char*>(coll.elements[i]),
                     out);
      }
      if (coll.keyed()) out += ']';
    }
    out += ']';
  }

  // path: where value sits in the stored column ("$" for the whole of it).
  void decode_object(const TypeDescriptor& type, const Json& value, char* base, OCIInd* nulls, const std::string& path) {
    size_t index = 0;
    nulls[0] = value.kind == Json::Kind::Null ? kIndicatorNull : kIndicatorNotNull;
    decode_level(type.slots, index, type.info.attributes.size(), value.kind == Json::Kind::Array ? &value : nullptr,
                 base, nulls, path);
  }

  void decode_coll(const Json& value, ClientColl& coll, const std::string& path) {
    cache_.trim_elements(coll, 0);
    if (value.kind != Json::Kind::Array) return;
    const sql::TypeAttribute& element = coll.type->info.attributes.at(0);
    for (size_t i = 0; i < value.items.size(); ++i) {
      const Json* pair = coll.keyed() ? &value.items[i] : nullptr;
      if (pair && (pair->kind != Json::Kind::Array || pair->items.size() != 2)) fail(kInvalidArgument, {"stored table"});
      const Json& item = pair ? pair->items[1] : value.items[i];
      const auto key = pair ? static_cast<sb4>(std::stoll(pair->items[0].text)) : 0;
      const std::string item_path = path + "[" + std::to_string(i) + "]";
      OCIInd indicator = item.kind == Json::Kind::Null ? kIndicatorNull : kIndicatorNotNull;
      if (coll.type->element && !coll.type->element->by_pointer()) {
        Instance& scratch = cache_.new_instance(*coll.type->element, nullptr);
        decode_object(*coll.type->element, item, scratch.bytes(), scratch.nulls.get(), item_path);
        add_element(coll, key, scratch.address(), scratch.nulls.get());
        cache_.free_instance(scratch.address());
        continue;
      }
      alignas(std::max_align_t) char slot[sizeof(OCINumber) + sizeof(void*)] = {};
      const SlotLayout::Kind kind = element_kind(element);
      if (kind == SlotLayout::Kind::Pointer) fill_pointer(element, slot);
      if (indicator == kIndicatorNotNull) decode_value(element, coll.type->element, kind, item, slot, item_path);
      const void* argument = kind == SlotLayout::Kind::Pointer ? pointer_at(slot) : static_cast<const void*>(slot);
      add_element(coll, key, argument, &indicator);
      if (kind != SlotLayout::Kind::Pointer) continue;
      if (LobLocator* locator = live_locator(pointer_at(slot))) {
        cache_.env()->destroy(locator);
      } else {
        cache_.free_value(pointer_at(slot));
      }
    }
  }

 private:
  void add_element(ClientColl& coll, sb4 key, const void* elem, const void* elemind) {
    if (coll.keyed()) {
      cache_.assign_keyed(coll, key, elem, elemind);
    } else {
      cache_.append_element(coll, elem, elemind);
    }
  }

  static SlotLayout::Kind element_kind(const sql::TypeAttribute& element) {
    const int code = builtin_code(element);
    if (code == 2) return SlotLayout::Kind::Number;
    if (code == 12) return SlotLayout::Kind::Date;
    if (code == kTypecodeBoolean) return SlotLayout::Kind::Boolean;
    return SlotLayout::Kind::Pointer;
  }

  // Skips the slots of `count` attributes (and their embedded attributes) from index on.
  static void skip_level(const std::vector<SlotLayout>& slots, size_t& index, size_t count) {
    for (size_t k = 0; k < count; ++k) {
      const SlotLayout& slot = slots[index++];
      if (slot.kind == SlotLayout::Kind::Embedded) skip_level(slots, index, slot.named->info.attributes.size());
    }
  }

  void encode_level(const std::vector<SlotLayout>& slots, size_t& index, size_t count, const char* base,
                    const OCIInd* nulls, std::string& out) {
    out += '[';
    for (size_t k = 0; k < count; ++k) {
      const SlotLayout& slot = slots[index++];
      if (k) out += ',';
      const bool null = nulls[slot.indicator_offset / sizeof(OCIInd)] != kIndicatorNotNull;
      if (slot.kind == SlotLayout::Kind::Embedded) {
        if (null) {
          out += "null";
          skip_level(slots, index, slot.named->info.attributes.size());
        } else {
          encode_level(slots, index, slot.named->info.attributes.size(), base, nulls, out);
        }
        continue;
      }
      if (null) {
        out += "null";
        continue;
      }
      encode_value(*slot.attribute, slot.named, slot.kind, base + slot.value_offset, out);
    }
    out += ']';
  }

  void encode_value(const sql::TypeAttribute& attribute, const TypeDescriptor* named, SlotLayout::Kind kind,
                    const char* at, std::string& out) {
    if (kind == SlotLayout::Kind::Number) {
      const auto* number = reinterpret_cast<const OCINumber*>(at);
      const ub1 length = number->OCINumberPart[0];
      out += length == 0 || length > 21 ? "null" : decode_number(number->OCINumberPart + 1, length);
      return;
    }
    if (kind == SlotLayout::Kind::Date) {
      OCIDate date;
      std::memcpy(&date, at, sizeof date);
      return write_string(date_text(date), out);
    }
    if (kind == SlotLayout::Kind::Boolean) {
      boolean flag = 0;
      std::memcpy(&flag, at, sizeof flag);
      out += flag ? "true" : "false";
      return;
    }
    void* value = pointer_at(at);
    if (ClientString* text = cache_.find_string(value)) return write_string(text->bytes, out);
    if (ClientString* raw = cache_.find_raw(value)) return write_string(hex_of(raw->bytes), out);
    if (ClientColl* coll = cache_.find_coll(value)) return encode_coll(*coll, out);
    if (DateTimeDescriptor* datetime = live_datetime(value)) return write_string(datetime_to_storage(*datetime), out);
    if (LobLocator* locator = live_locator(value)) return encode_lob(*locator, out);
    if (ClientRef* ref = attribute.is_ref ? cache_.find_ref(value) : nullptr) {
      std::optional<std::string> stored = object_ref_text(*ref);
      return stored ? write_string(*stored, out) : void(out += "null");
    }
    if (named != nullptr && !attribute.is_ref) {
      if (Instance* object = cache_.find_instance(value); object && object->coll == nullptr) {
        if (object->nulls[0] != kIndicatorNotNull) {
          out += "null";
          return;
        }
        if (object->type->info.kind == sql::TypeKind::Opaque) return write_string(object->document, out);
        return encode_object(*object->type, object->bytes(), object->nulls.get(), out);
      }
    }
    out += "null";  // REFs are not kept inside stored objects
  }

  // A LOB by its content; a locator that names no LOB stores a null attribute.
  void encode_lob(const LobLocator& locator, std::string& out) {
    if (!locator.initialized()) {
      out += "null";
      return;
    }
    if (locator.kind == LobLocator::Kind::File) return write_string(bfile_storage(locator.directory, locator.file_name), out);
    if (session_ == nullptr) fail(kInvalidArgument, {"session"});
    const std::string& bytes = session_->lobs.content(*session_->connection, locator)->bytes;
    write_string(locator.character() ? bytes : hex_of(bytes), out);
  }

  void decode_lob(const sql::TypeAttribute& attribute, const Json& value, LobLocator& locator, const std::string& path) {
    locator.lob_type = builtin_code(attribute);
    locator.charset_form = static_cast<uint8_t>(locator.lob_type == kClobType ? attribute.builtin->charset_form : 0);
    locator.file_open = locator.open = locator.pristine = false;
    locator.temporary.reset();
    locator.owned.reset();
    if (locator.lob_type == kBfileType) {
      locator.kind = LobLocator::Kind::File;
      bfile_from_storage(value.text, locator);
      return;
    }
    const std::string bytes = locator.character() ? value.text : bytes_of_hex(value.text);
    if (session_ != nullptr) locator.session_id = session_->id;
    if (origin_ != nullptr && origin_->rowid && !origin_->table.empty() && !origin_->column.empty()) {
      locator.kind = LobLocator::Kind::Persistent;
      locator.table = origin_->table;
      locator.column = origin_->column;
      locator.path = path;
      locator.rowid = *origin_->rowid;
      if (session_ != nullptr) session_->lobs.seed(locator, bytes);
      return;
    }
    locator.own_temporary(bytes);
  }

  void decode_level(const std::vector<SlotLayout>& slots, size_t& index, size_t count, const Json* values, char* base,
                    OCIInd* nulls, const std::string& path) {
    for (size_t k = 0; k < count; ++k) {
      const SlotLayout& slot = slots[index++];
      const std::string slot_path = path + "[" + std::to_string(k) + "]";
      const Json* value = values && k < values->items.size() ? &values->items[k] : nullptr;
      const bool null = value == nullptr || value->kind == Json::Kind::Null;
      nulls[slot.indicator_offset / sizeof(OCIInd)] = null ? kIndicatorNull : kIndicatorNotNull;
      if (slot.kind == SlotLayout::Kind::Embedded) {
        decode_level(slots, index, slot.named->info.attributes.size(),
                     !null && value->kind == Json::Kind::Array ? value : nullptr, base, nulls, slot_path);
        continue;
      }
      if (slot.kind == SlotLayout::Kind::Pointer && pointer_at(base + slot.value_offset) == nullptr) {
        fill_pointer(*slot.attribute, base + slot.value_offset, slot.named);
      }
      if (!null) {
        decode_value(*slot.attribute, slot.named, slot.kind, *value, base + slot.value_offset, slot_path);
      } else if (LobLocator* locator = live_locator(pointer_at(base + slot.value_offset))) {
        locator->kind = LobLocator::Kind::None;  // a null LOB attribute names no LOB
        locator->owned.reset();
      }
    }
  }

  // A value for an empty pointer slot, as far as the stored form can fill one.
  void fill_pointer(const sql::TypeAttribute& attribute, char* at, const TypeDescriptor* named = nullptr) {
    void* value = nullptr;
    const int code = builtin_code(attribute);
    if (attribute.is_ref) {
      value = cache_.new_ref();
    } else if (named && named->info.is_collection()) {
      value = cache_.new_coll(*named);
    } else if (named) {
      value = cache_.new_instance(*named, nullptr).address();
    } else if (code == 23 || code == 24) {
      value = cache_.new_raw();
    } else if (code == 1 || code == 96 || code == 8) {
      value = cache_.new_string();
    } else if (code >= kClobType && code <= kBfileType) {
      value = cache_.env()->make<LobLocator>(code == kBfileType ? OCI_DTYPE_FILE : OCI_DTYPE_LOB, cache_.env());
    } else if (code == 180 || code == 181 || code == 231) {
      value = cache_.env()->make<DateTimeDescriptor>(static_cast<uint32_t>(code == 180   ? OCI_DTYPE_TIMESTAMP
                                                                          : code == 181 ? OCI_DTYPE_TIMESTAMP_TZ
                                                                                        : OCI_DTYPE_TIMESTAMP_LTZ),
                                                      cache_.env());
    }
    std::memcpy(at, &value, sizeof value);
  }

  void decode_value(const sql::TypeAttribute& attribute, const TypeDescriptor* named, SlotLayout::Kind kind,
                    const Json& value, char* at, const std::string& path) {
    if (kind == SlotLayout::Kind::Number) {
      std::vector<ub1> bytes = encode_number(value.text);
      auto* number = reinterpret_cast<OCINumber*>(at);
      std::memset(number, 0, sizeof *number);
      number->OCINumberPart[0] = static_cast<ub1>(bytes.size());
      std::memcpy(number->OCINumberPart + 1, bytes.data(), bytes.size());
      return;
    }
    if (kind == SlotLayout::Kind::Date) {
      const OCIDate date = date_of(value.text);
      std::memcpy(at, &date, sizeof date);
      return;
    }
    if (kind == SlotLayout::Kind::Boolean) {
      // true/false, or a number where the text came from SQL (1 and 0)
      const boolean flag = value.text != "0" && value.text != "false" ? 1 : 0;
      std::memcpy(at, &flag, sizeof flag);
      return;
    }
    void* target = pointer_at(at);
    if (ClientString* text = cache_.find_string(target)) {
      text->bytes = value.text;
    } else if (ClientString* raw = cache_.find_raw(target)) {
      raw->bytes = bytes_of_hex(value.text);
    } else if (ClientColl* coll = cache_.find_coll(target)) {
      decode_coll(value, *coll, path);
    } else if (DateTimeDescriptor* datetime = live_datetime(target)) {
      storage_to_datetime(value.text, *datetime);
    } else if (LobLocator* locator = live_locator(target); locator && attribute.builtin) {
      decode_lob(attribute, value, *locator, path);
    } else if (ClientRef* ref = attribute.is_ref ? cache_.find_ref(target) : nullptr) {
      read_object_ref(value.text, session_, *ref);
    } else if (Instance* object = named && !attribute.is_ref ? cache_.find_instance(target) : nullptr) {
      if (object->type->info.kind == sql::TypeKind::Opaque) {
        object->nulls[0] = kIndicatorNotNull;
        object->document = value.text;
      } else {
        decode_object(*object->type, value, object->bytes(), object->nulls.get(), path);
      }
    }
  }

  ObjectCache& cache_;
  Session* session_;
  const ObjectOrigin* origin_;
};

}  // namespace

void fill_instance(ObjectCache& cache, Instance& instance, std::string_view stored, Session* session) {
  const Json value = JsonReader(stored).document();
  Codec(cache, session).decode_object(*instance.type, value, instance.bytes(), instance.nulls.get(), "$");
  instance.is_new = false;
}

void place_object(const ObjectArrays& objects, Environment* env, uint32_t slot, const Cell& value,
                  const ObjectOrigin& origin) {
  if (objects.type == nullptr || objects.values == nullptr) fail(kInvalidArgument, {"OCIDefineObject"});
  ObjectCache& cache = *object_cache(env);
  Instance* instance = cache.find_instance(objects.values[slot]);
  // The application's instance is refilled; an empty slot gets a new one, which the application frees.
  if (instance == nullptr || instance->type != objects.type) {
    instance = &cache.new_instance(*objects.type, nullptr);
    objects.values[slot] = instance->address();
  }
  if (objects.nulls) objects.nulls[slot] = instance->nulls.get();
  Codec codec(cache, origin.session, &origin);
  if (objects.type->info.kind == sql::TypeKind::Opaque) {
    // XMLType values are stored as their text.
    const bool null = value.kind != Cell::Text && value.kind != Cell::Blob;
    instance->nulls[0] = null ? kIndicatorNull : kIndicatorNotNull;
    instance->document = null ? std::string() : std::string(value.data, value.size);
    instance->is_new = false;
    return;
  }
  const Json stored = value.kind == Cell::Text ? JsonReader(std::string_view(value.data, value.size)).document() : Json{};
  if (instance->coll != nullptr) {
    instance->nulls[0] = stored.kind == Json::Kind::Null ? kIndicatorNull : kIndicatorNotNull;
    codec.decode_coll(stored, *instance->coll, "$");
  } else {
    codec.decode_object(*instance->type, stored, instance->bytes(), instance->nulls.get(), "$");
  }
  instance->is_new = false;
}

std::optional<std::string> bound_object_text(const Bind& bound, uint32_t row, Session& session) {
  const ObjectArrays& objects = bound.objects;
  if (objects.values == nullptr) fail(kInvalidArgument, {"OCIBindObject"});
  ObjectCache& cache = *object_cache(bound.env());
  const Instance* instance = cache.find_instance(objects.values[row]);
  if (instance == nullptr) fail(21710);
  const auto* nulls = objects.nulls && objects.nulls[row] ? static_cast<const OCIInd*>(objects.nulls[row])
                                                          : instance->nulls.get();
  if (nulls[0] != kIndicatorNotNull) return std::nullopt;
  if (instance->type->info.kind == sql::TypeKind::Opaque) return instance->document;
  std::string out;
  Codec codec(cache, &session);
  if (instance->coll != nullptr) {
    codec.encode_coll(*instance->coll, out);
  } else {
    codec.encode_object(*instance->type, instance->bytes(), nulls, out);
  }
  return out;
}

}  // namespace ociemu

using namespace ociemu;

namespace {

template <class Holder>
sword attach_objects(const char* entry, Holder* holder, OCIError* errhp, const OCIType* type, void** pgvpp,
                     void** indpp) {
  OCIEMU_ERRORS(errhp);
  if (holder == nullptr) return OCI_INVALID_HANDLE;
  return guarded(entry, errors, [&] {
    const TypeDescriptor* descriptor = object_cache(holder->env())->find_type(type);
    // A REF needs no type: its value names the table, and the table the type.
    if (descriptor == nullptr && (type != nullptr || holder->arrays.dty != SQLT_REF)) fail(kInvalidArgument, {"type"});
    if (pgvpp == nullptr) fail(kInvalidArgument, {"pgvpp"});
    holder->objects = ObjectArrays{descriptor, pgvpp, indpp};
    return OCI_SUCCESS;
  });
}

}  // namespace

extern "C" {

sword OCIDefineObject(OCIDefine* defnp, OCIError* errhp, const OCIType* type, void** pgvpp, ub4*, void** indpp, ub4*) {
  return attach_objects("OCIDefineObject", live<Define>(defnp), errhp, type, pgvpp, indpp);
}

sword OCIBindObject(OCIBind* bindp, OCIError* errhp, const OCIType* type, void** pgvpp, ub4*, void** indpp, ub4*) {
  return attach_objects("OCIBindObject", live<Bind>(bindp), errhp, type, pgvpp, indpp);
}

}  // extern "C"
