// TSessionPreferences: how a session's queries and datasets map and convert
// column values. Owned by its session, published as Preferences.
// Thread-safe: no; set it before the session is shared between threads.
#pragma once

namespace kvell {

class TOracleSession;

enum TTemporaryLOBOption { tlNone, tlCache, tlNoCache };

class TSessionPreferences {
 public:
  // `session` is the owner link (may be null for a free-standing copy).
  explicit TSessionPreferences(TOracleSession* session);
  TSessionPreferences(const TSessionPreferences&) = delete;
  TSessionPreferences& operator=(const TSessionPreferences&) = delete;

  // Copies all twelve values through the setters.
  void Assign(const TSessionPreferences& source);
  TOracleSession* Session() const { return session_; }

  // Changes of these re-open the session's datasets at design time.
  int FloatPrecision() const { return float_precision_; }      // digits; 0 = unlimited
  void SetFloatPrecision(int value);
  int IntegerPrecision() const { return integer_precision_; }  // digits; 0 = by the bridge
  void SetIntegerPrecision(int value);
  int SmallIntPrecision() const { return small_int_precision_; }
  void SetSmallIntPrecision(int value);
  int MaxStringFieldSize() const { return max_string_field_size_; }
  void SetMaxStringFieldSize(int value);
  bool TimestampAsString() const { return timestamp_as_string_; }
  void SetTimestampAsString(bool value);

  bool UseOCI7() const { return use_oci7_; }
  // Refused while the session is connected.
  void SetUseOCI7(bool value);

  bool ConvertCRLF = true;
  bool TrimStringFields = true;
  bool ZeroDateIsNull = true;
  bool NullLOBIsEmpty = false;
  bool NullObjectIsEmpty = false;
  TTemporaryLOBOption TemporaryLOB = tlCache;

 private:
  void set_reopening(int& field, int value);
  void reopen_datasets();

  TOracleSession* session_;
  int float_precision_ = 0;
  int integer_precision_ = 0;
  int small_int_precision_ = -1;
  int max_string_field_size_;  // 0, or 255 under a remote data module
  bool timestamp_as_string_ = false;
  bool use_oci7_ = false;
};

constexpr const char* kUseOCI7WhileConnected = "Cannot change UseOCI7 property when session is connected";

// What C++ cannot tell of a class by itself: the name of the class it derives
// from directly. Owners that stand in for a host's remote data module implement it.
class TParentClassInfo {
 public:
  virtual ~TParentClassInfo() = default;
  virtual const char* ParentClassName() const = 0;
};

// 255 when `session`'s owner's class derives directly from a remote data module, else 0.
int DefaultMaxStringFieldSize(const TOracleSession* session);

}  // namespace kvell
