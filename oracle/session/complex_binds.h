// How a complex bind variable (LOB locator, object, reference, timestamp)
// is bound: the value address and size the client is given, and the
// character set form to set on the bind. The column makers for the same
// types are registered from here too.
// Thread-safe: no; used by the query that binds.
#pragma once

#include "oracle/binding/oci_types.h"

namespace kvell {

class TOracleSession;
class TVariableData;
class TVariables;

struct ComplexBind {
  void* Value = nullptr;
  sb4 Size = 0;
  ub1 CharsetForm = 0;  // 2 sets the bind's national character set form
  // Objects and references also pass their type, instance and null
  // structure through OCIBindObject.
  bool BindObject = false;
  OCIType* ObjectType = nullptr;
  void** Instance = nullptr;
  void** NullStruct = nullptr;
};

// Throws the feature and "cannot be nil" refusals, and for types this
// build does not bind yet.
ComplexBind PrepareComplexBind(TOracleSession& session, TVariableData& variable);
// The same for object (108) and reference (110) variables.
ComplexBind PrepareObjectBind(TOracleSession& session, TVariableData& variable);

// After execution: timestamp variables without an instance take their
// value back from the bind timestamp, which is freed; a LOB locator or
// reference that received a null is cleared and its indicator reset to 0.
void ReconcileComplexBinds(TVariables& variables);

// Registers the LOB (and other complex) column makers; called by the
// column registry when it is first used.
void RegisterBuiltInComplexColumns();
void RegisterObjectColumns();

}  // namespace kvell
