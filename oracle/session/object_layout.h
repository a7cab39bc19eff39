// Where each attribute of an object type lies in the client library's
// in-memory image of an instance: indicator offsets in the indicator struct
// and value offsets in the value struct, computed for a pointer size so that
// the 4-byte layout can be checked on any host.
// Thread-safe: yes; pure computation.
#pragma once

#include <cstddef>
#include <vector>

namespace kvell {

// One catalogue entry in catalogue order; an embedded object is followed by
// its own attributes.
struct LayoutInput {
  int DataType = 0;            // external type code: 3/4 NUMBER, 12 DATE, 108 object...
  bool EmbeddedObject = false; // a 108 attribute that is not a collection: stored inline
};

struct LayoutSlot {
  int IndicatorOffset = 0;  // bytes into the indicator struct
  int ValueOffset = 0;      // bytes into the value struct
};

constexpr int kNumberValueSize = 22;  // OCINumber
constexpr int kDateValueSize = 8;     // OCIDate

// `start` is the value offset of the first attribute, counted from the root
// instance (0 for a root object), which fixes the alignment of pointers.
std::vector<LayoutSlot> ComputeObjectLayout(const std::vector<LayoutInput>& attributes, int pointer_size,
                                            int start = 0);

inline int HostPointerSize() { return static_cast<int>(sizeof(void*)); }

}  // namespace kvell
