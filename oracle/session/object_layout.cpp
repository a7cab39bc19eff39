#include "oracle/session/object_layout.h"

namespace kvell {

namespace {

constexpr int kFirstIndicator = 2;  // offset 0 is the object's own indicator
constexpr int kIndicatorSize = 2;

int value_size(const LayoutInput& attribute, int pointer_size) {
  if (attribute.EmbeddedObject) return 0;
  switch (attribute.DataType) {
    case 3:
    case 4: return kNumberValueSize;
    case 12: return kDateValueSize;
    default: return pointer_size;
  }
}

int round_up(int offset, int multiple) { return (offset + multiple - 1) / multiple * multiple; }

}  // namespace

std::vector<LayoutSlot> ComputeObjectLayout(const std::vector<LayoutInput>& attributes, int pointer_size, int start) {
  std::vector<LayoutSlot> slots(attributes.size());
  int offset = start;
  for (size_t i = 0; i < attributes.size(); ++i) {
    slots[i].IndicatorOffset = kFirstIndicator + static_cast<int>(i) * kIndicatorSize;
    const int size = value_size(attributes[i], pointer_size);
    if (size == 0 || size == pointer_size) {
      const int aligned = round_up(offset, pointer_size);
      // Embedded objects just before start where their first attribute does.
      for (size_t j = i; j > 0 && aligned != offset && attributes[j - 1].EmbeddedObject &&
                         slots[j - 1].ValueOffset == offset;
           --j) {
        slots[j - 1].ValueOffset = aligned;
      }
      offset = aligned;
    }
    slots[i].ValueOffset = offset;
    offset += size;
  }
  return slots;
}

}  // namespace kvell
