// Type codes, attribute numbers and options of the object interface that the
// shared header does not carry; the values are those of Oracle's headers.
#pragma once

#include "ociemu/api/oci.h"

namespace ociemu {

inline constexpr ub2 kTypecodeVarchar2 = 9;
inline constexpr ub2 kTypecodeNumber = 2;
inline constexpr ub2 kTypecodeDate = 12;
inline constexpr ub2 kTypecodeRaw = 95;
inline constexpr ub2 kTypecodeChar = 96;
inline constexpr ub2 kTypecodeOpaque = 58;
inline constexpr ub2 kTypecodeObject = 108;
inline constexpr ub2 kTypecodeRef = 110;
inline constexpr ub2 kTypecodeNamedCollection = 122;
inline constexpr ub2 kTypecodeVarray = 247;
inline constexpr ub2 kTypecodeTable = 248;
inline constexpr ub2 kTypecodeRecord = OCI_TYPECODE_RECORD;
inline constexpr ub2 kTypecodeIndexTable = OCI_TYPECODE_ITABLE;
inline constexpr ub2 kTypecodeBoolean = OCI_TYPECODE_BOOLEAN;

inline constexpr ub1 kObjectPointerName = 1;  // OCI_OTYPE_NAME
inline constexpr ub1 kObjectPointerRef = 2;   // OCI_OTYPE_REF
inline constexpr ub1 kObjectPointerTdo = 3;   // OCI_OTYPE_PTR

inline constexpr ub1 kParamType = 6;           // OCI_PTYPE_TYPE
inline constexpr ub1 kParamList = 11;          // OCI_PTYPE_LIST
inline constexpr ub1 kParamTypeAttr = 12;      // OCI_PTYPE_TYPE_ATTR
inline constexpr ub1 kParamTypeColl = 13;      // OCI_PTYPE_TYPE_COLL

inline constexpr ub4 kAttrPackageName = OCI_ATTR_PACKAGE_NAME;  // of a type a package declares; empty for others
inline constexpr ub4 kAttrFsPrecision = 16;
inline constexpr ub4 kAttrNumParams = 121;
inline constexpr ub4 kAttrObjectId = 122;
inline constexpr ub4 kAttrParamType = 123;     // OCI_ATTR_PTYPE
inline constexpr ub4 kAttrRefTdo = 110;
inline constexpr ub4 kAttrTdo = 127;
inline constexpr ub4 kAttrListType = 128;      // OCI_ATTR_LTYPE
inline constexpr ub4 kAttrTypecode = 216;
inline constexpr ub4 kAttrCollectionTypecode = 217;
inline constexpr ub4 kAttrIsPredefinedType = 221;
inline constexpr ub4 kAttrHasNestedTable = 224;
inline constexpr ub4 kAttrCollectionElement = 227;
inline constexpr ub4 kAttrNumTypeAttrs = 228;
inline constexpr ub4 kAttrListTypeAttrs = 229;
inline constexpr ub4 kAttrNumElems = 234;
inline constexpr ub4 kAttrIsFinalType = 279;
inline constexpr ub4 kAttrIsInstantiableType = 280;
inline constexpr ub2 kListTypeAttrs = 5;       // OCI_LTYPE_TYPE_ATTR

inline constexpr ub2 kObjectFreeForce = 1;
inline constexpr OCIInd kIndicatorNotNull = 0;  // OCI_IND_NOTNULL
inline constexpr OCIInd kIndicatorNull = -1;    // OCI_IND_NULL

}  // namespace ociemu

// Entries beyond the shared header's list, with Oracle's argument lists.
extern "C" {
boolean OCIRefIsEqual(OCIEnv* env, const OCIRef* x, const OCIRef* y);
ub4 OCIStringSize(OCIEnv* env, const OCIString* vs);
sword OCIStringResize(OCIEnv* env, OCIError* err, ub4 new_size, OCIString** str);
sword OCIStringAssign(OCIEnv* env, OCIError* err, const OCIString* rhs, OCIString** lhs);
sword OCIRawResize(OCIEnv* env, OCIError* err, ub4 new_size, OCIRaw** raw);
sword OCITableSize(OCIEnv* env, OCIError* err, const OCITable* tbl, sb4* size);
sword OCITableExists(OCIEnv* env, OCIError* err, const OCITable* tbl, sb4 index, boolean* exists);
sword OCIDateAssign(OCIError* err, const OCIDate* from, OCIDate* to);
sword OCIDateCompare(OCIError* err, const OCIDate* date1, const OCIDate* date2, sword* result);
sword OCIDateSysDate(OCIError* err, OCIDate* sys_date);
}
