// The instance layout of object types for 4- and 8-byte pointers.
#include <gtest/gtest.h>

#include "oracle/session/object_layout.h"

namespace kvell {
namespace {

std::vector<int> values(const std::vector<LayoutSlot>& slots) {
  std::vector<int> out;
  for (const LayoutSlot& slot : slots) out.push_back(slot.ValueOffset);
  return out;
}

std::vector<int> indicators(const std::vector<LayoutSlot>& slots) {
  std::vector<int> out;
  for (const LayoutSlot& slot : slots) out.push_back(slot.IndicatorOffset);
  return out;
}

// NUMBER(5), VARCHAR2(10), DATE, NUMBER.
const std::vector<LayoutInput> kFlat = {{3, false}, {5, false}, {12, false}, {4, false}};

TEST(ObjectLayout, pointers_align_while_numbers_and_dates_follow_unaligned) {
  const auto four = ComputeObjectLayout(kFlat, 4);
  EXPECT_EQ(values(four), (std::vector<int>{0, 24, 28, 36}));
  EXPECT_EQ(indicators(four), (std::vector<int>{2, 4, 6, 8}));
  const auto eight = ComputeObjectLayout(kFlat, 8);
  EXPECT_EQ(values(eight), (std::vector<int>{0, 24, 32, 40}));
  EXPECT_EQ(values(ComputeObjectLayout(kFlat, HostPointerSize())), values(HostPointerSize() == 4 ? four : eight));
}

TEST(ObjectLayout, an_embedded_object_starts_aligned_and_its_attributes_follow_inline) {
  // ID NUMBER, ADDRESS (CITY VARCHAR2, ZIP NUMBER), NOTE VARCHAR2
  const std::vector<LayoutInput> nested = {{3, false}, {108, true}, {5, false}, {3, false}, {5, false}};
  const auto four = ComputeObjectLayout(nested, 4);
  EXPECT_EQ(values(four), (std::vector<int>{0, 24, 24, 28, 52}));
  EXPECT_EQ(indicators(four), (std::vector<int>{2, 4, 6, 8, 10}));
  // Two embedded objects in a row both follow the first inline value.
  const std::vector<LayoutInput> twice = {{12, false}, {3, false}, {108, true}, {108, true}, {4, false}};
  EXPECT_EQ(values(ComputeObjectLayout(twice, 4)), (std::vector<int>{0, 8, 32, 32, 32}));
  // A child catalogued from an offset inside the root aligns against the root.
  EXPECT_EQ(values(ComputeObjectLayout({{5, false}}, 4, 22)), (std::vector<int>{24}));
}

TEST(ObjectLayout, collections_and_references_take_a_pointer_slot) {
  const std::vector<LayoutInput> mixed = {{12, false}, {108, false}, {110, false}, {112, false}};
  EXPECT_EQ(values(ComputeObjectLayout(mixed, 4)), (std::vector<int>{0, 8, 12, 16}));
  EXPECT_EQ(values(ComputeObjectLayout(mixed, 8)), (std::vector<int>{0, 8, 16, 24}));
}

}  // namespace
}  // namespace kvell
