// The seam between bind variables or result columns and the classes that
// hold a client-side object for them: LOB locators, object instances,
// references, timestamps and the query that receives a cursor variable.
// Those classes derive from TComplexValue; variables only attach and
// detach them and never free them. Thread-safe: as the implementing class.
#pragma once

#include <string>

namespace kvell {

enum class ComplexKind { Object, Reference, LOBLocator, Timestamp, Query };

class TComplexValue {
 public:
  virtual ~TComplexValue() = default;
  virtual ComplexKind Kind() const = 0;
  // Class name as refusals show it ("TLOBLocator", "TOracleQuery", ...).
  virtual std::string ClassName() const = 0;
  // Whether the instance stands for a database null (a null locator or reference).
  virtual bool IsNullValue() const { return false; }
};

}  // namespace kvell
