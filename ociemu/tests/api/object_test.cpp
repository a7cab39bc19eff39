// Object types through the C entries: CREATE/DROP TYPE and the dictionary,
// describing types by name and by descriptor, the instance layout, and the
// object cache's instances, REFs, strings and collections.
#include <array>
#include <cstring>

#include "ociemu/api/test_hooks.h"
#include "ociemu/tests/api/oci_test_support.h"

extern "C" {
ub4 OCIStringSize(OCIEnv* env, const OCIString* vs);
boolean OCIRefIsEqual(OCIEnv* env, const OCIRef* x, const OCIRef* y);
}

namespace ociemu::testing {
namespace {

constexpr ub4 kAttrRefTdo = 110, kAttrTypecode = 216, kAttrCollectionTypecode = 217, kAttrCollectionElement = 227,
              kAttrNumTypeAttrs = 228, kAttrListTypeAttrs = 229, kAttrIsFinalType = 279, kAttrNumElems = 234;

class ObjectTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TYPE address_t AS OBJECT (city VARCHAR2(30), zip NUMBER(5))");
    must_run("CREATE TYPE person_t AS OBJECT (id NUMBER(9), name VARCHAR2(10), born DATE, addr address_t, "
             "score NUMBER) NOT FINAL");
    must_run("CREATE TYPE names_t AS VARRAY(3) OF VARCHAR2(20)");
  }

  std::vector<ociemu_attribute_layout> layout(const std::string& type, unsigned pointer_size) {
    std::vector<ociemu_attribute_layout> out(32);
    int count = ociemu_type_layout(svc, type.c_str(), pointer_size, out.data(), static_cast<int>(out.size()));
    EXPECT_GE(count, 0);
    out.resize(static_cast<size_t>(std::max(count, 0)));
    return out;
  }
};

TEST_F(ObjectTest, types_are_kept_in_the_dictionary_and_dropped_only_without_dependents) {
  EXPECT_EQ((std::vector<std::string>{"ADDRESS_T", "NAMES_T", "PERSON_T"}),
            column_texts("SELECT type_name FROM user_types ORDER BY 1"));
  EXPECT_EQ("COLLECTION", single_text("SELECT typecode FROM user_types WHERE type_name = 'NAMES_T'"));
  EXPECT_EQ("NO", single_text("SELECT final FROM user_types WHERE type_name = 'PERSON_T'"));
  EXPECT_EQ("5", single_text("SELECT attributes FROM user_types WHERE type_name = 'PERSON_T'"));
  EXPECT_EQ((std::vector<std::string>{"ID:NUMBER:9", "NAME:VARCHAR2:<null>", "BORN:DATE:<null>", "ADDR:ADDRESS_T:<null>",
                                      "SCORE:NUMBER:<null>"}),
            column_texts("SELECT attr_name || ':' || attr_type_name || ':' || nvl(to_char(precision), '<null>') "
                         "FROM user_type_attrs WHERE type_name = 'PERSON_T' ORDER BY attr_no"));
  EXPECT_EQ("SCOTT", single_text("SELECT attr_type_owner FROM user_type_attrs WHERE attr_name = 'ADDR'"));
  EXPECT_EQ("3", single_text("SELECT count(*) FROM user_objects WHERE object_type = 'TYPE'"));

  EXPECT_EQ(OCI_ERROR, run("CREATE TYPE address_t AS OBJECT (x NUMBER)"));
  EXPECT_EQ(955, last_code());
  // PERSON_T embeds ADDRESS_T, so neither a replace nor a drop may pull it away.
  EXPECT_EQ(OCI_ERROR, run("CREATE OR REPLACE TYPE address_t AS OBJECT (x NUMBER)"));
  EXPECT_EQ(2303, last_code());
  EXPECT_EQ(OCI_ERROR, run("DROP TYPE address_t"));
  EXPECT_EQ(2303, last_code());
  EXPECT_EQ(OCI_ERROR, run("CREATE TYPE bad_t AS OBJECT (x no_such_type)"));
  EXPECT_EQ(902, last_code());
  must_run("DROP TYPE person_t");
  must_run("CREATE OR REPLACE TYPE address_t AS OBJECT (street VARCHAR2(40))");
  EXPECT_EQ("STREET", single_text("SELECT attr_name FROM user_type_attrs WHERE type_name = 'ADDRESS_T'"));
  must_run("CREATE TYPE holder_t AS OBJECT (a address_t)");
  must_run("DROP TYPE address_t FORCE");
  EXPECT_EQ(OCI_ERROR, run("DROP TYPE address_t"));
  EXPECT_EQ(4043, last_code());
  EXPECT_EQ("<no rows>", single_text("SELECT attr_name FROM user_type_attrs WHERE type_name = 'ADDRESS_T'"));
}

TEST_F(ObjectTest, instance_layout_aligns_pointer_slots_and_keeps_numbers_and_dates_unaligned) {
  must_run("CREATE TYPE plain_t AS OBJECT (n5 NUMBER(5), s VARCHAR2(10), d DATE, n NUMBER)");
  auto four = layout("PLAIN_T", 4);
  ASSERT_EQ(4u, four.size());
  const std::array<unsigned long, 4> values4{0, 24, 28, 36}, values8{0, 24, 32, 40}, indicators{2, 4, 6, 8};
  auto eight = layout("SCOTT.PLAIN_T", 8);
  ASSERT_EQ(4u, eight.size());
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(values4[i], four[i].value_offset) << i;
    EXPECT_EQ(values8[i], eight[i].value_offset) << i;
    EXPECT_EQ(indicators[i], four[i].indicator_offset) << i;
    EXPECT_EQ(indicators[i], eight[i].indicator_offset) << i;
  }
  EXPECT_STREQ("S", four[1].name);
  // A DATE is as long as an 8-byte pointer but is no pointer: it follows a NUMBER unaligned.
  must_run("CREATE TYPE date_first_t AS OBJECT (n NUMBER, d DATE, s VARCHAR2(5))");
  for (unsigned pointer : {4u, 8u}) {
    auto slots = layout("DATE_FIRST_T", pointer);
    ASSERT_EQ(3u, slots.size());
    EXPECT_EQ(22u, slots[1].value_offset) << pointer;
    EXPECT_EQ(32u, slots[2].value_offset) << pointer;
  }
  EXPECT_EQ(-1, ociemu_type_layout(svc, "NO_SUCH_T", 8, nullptr, 0));
}

TEST_F(ObjectTest, embedded_objects_lie_inline_while_collections_and_non_final_types_are_pointers) {
  must_run("CREATE TYPE outer_t AS OBJECT (flag NUMBER, addr address_t, tags names_t, who person_t, x SYS.XMLTYPE, "
           "d DATE, z NUMBER)");
  auto slots = layout("OUTER_T", 8);
  std::vector<std::string> names;
  for (const auto& slot : slots) names.push_back(slot.name);
  EXPECT_EQ((std::vector<std::string>{"FLAG", "ADDR", "ADDR.CITY", "ADDR.ZIP", "TAGS", "WHO", "X", "D", "Z"}), names);
  // FLAG 0..22; ADDR aligns to 24 with its CITY pointer; ZIP 32..54; TAGS, WHO and X are pointers from 56;
  // the 8-byte DATE at 80 and the NUMBER after it at 88 are not pointers and take no alignment.
  const std::array<unsigned long, 9> values{0, 24, 24, 32, 56, 64, 72, 80, 88};
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(values[i], slots[i].value_offset) << names[i];
    EXPECT_EQ(2 * (i + 1), slots[i].indicator_offset) << names[i];
  }
  auto four = layout("OUTER_T", 4);
  EXPECT_EQ(24u, four[1].value_offset);
  EXPECT_EQ(28u, four[3].value_offset);  // ZIP right after the 4-byte CITY pointer
  EXPECT_EQ(52u, four[4].value_offset);  // TAGS: 50 rounded up to 52
  EXPECT_EQ(64u, four[7].value_offset);  // D after three 4-byte pointers
  EXPECT_EQ(72u, four[8].value_offset);
}

TEST_F(ObjectTest, a_type_described_by_name_and_by_descriptor_reports_its_attributes) {
  OCIDescribe* handle = nullptr;
  OCIParam* top = describe("PERSON_T", handle);
  ASSERT_NE(nullptr, top);
  EXPECT_EQ(108, attr<ub2>(top, kAttrTypecode));
  EXPECT_EQ(0, attr<ub1>(top, kAttrIsFinalType));
  EXPECT_EQ("SCOTT", text_attr(top, OCI_ATTR_SCHEMA_NAME));
  EXPECT_EQ("PERSON_T", text_attr(top, OCI_ATTR_NAME));
  ASSERT_EQ(5, attr<ub2>(top, kAttrNumTypeAttrs));
  auto* list = attr<OCIParam*>(top, kAttrListTypeAttrs);
  std::vector<std::string> seen;
  for (ub4 i = 1; i <= 5; ++i) {
    OCIParam* a = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIParamGet(list, OCI_DTYPE_PARAM, err, reinterpret_cast<void**>(&a), i)) << last_error();
    seen.push_back(text_attr(a, OCI_ATTR_NAME) + ":" + std::to_string(attr<ub2>(a, OCI_ATTR_DATA_TYPE)) + ":" +
                   std::to_string(attr<ub1>(a, OCI_ATTR_PRECISION)) + ":" +
                   std::to_string(attr<sb1>(a, OCI_ATTR_SCALE)) + ":" + std::to_string(attr<ub2>(a, kAttrTypecode)));
    if (i == 4) {
      EXPECT_EQ("ADDRESS_T", text_attr(a, OCI_ATTR_TYPE_NAME));
      EXPECT_EQ("SCOTT", text_attr(a, OCI_ATTR_SCHEMA_NAME));
      // The attribute's type REF pins the same descriptor OCITypeByName gives.
      OCIRef* ref = nullptr;
      ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_REF, nullptr, nullptr, OCI_DURATION_SESSION,
                                          1, reinterpret_cast<void**>(&ref)));
      ASSERT_EQ(OCI_SUCCESS, OCIRefAssign(env, err, attr<OCIRef*>(a, kAttrRefTdo), &ref));
      void* pinned = nullptr;
      ASSERT_EQ(OCI_SUCCESS, OCIObjectPin(env, err, ref, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE,
                                          &pinned));
      EXPECT_EQ(static_cast<void*>(type_by_name("ADDRESS_T")), pinned);
      EXPECT_EQ(OCI_SUCCESS, OCIObjectUnpin(env, err, pinned));
      EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, ref, 0));
    }
  }
  EXPECT_EQ((std::vector<std::string>{"ID:2:9:0:2", "NAME:1:0:0:9", "BORN:12:0:0:12", "ADDR:108:0:0:108",
                                      "SCORE:2:0:-127:2"}),
            seen);
  OCIParam* beyond = nullptr;
  EXPECT_EQ(OCI_ERROR, OCIParamGet(list, OCI_DTYPE_PARAM, err, reinterpret_cast<void**>(&beyond), 6));

  OCIDescribe* by_pointer = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&by_pointer), OCI_HTYPE_DESCRIBE, 0, nullptr));
  ASSERT_EQ(OCI_SUCCESS, OCIDescribeAny(svc, err, type_by_name("NAMES_T"), 0, OCI_OTYPE_PTR, OCI_DEFAULT,
                                        OCI_PTYPE_TYPE, by_pointer))
      << last_error();
  OCIParam* coll = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(by_pointer, OCI_HTYPE_DESCRIBE, &coll, nullptr, OCI_ATTR_PARAM, err));
  EXPECT_EQ(122, attr<ub2>(coll, kAttrTypecode));
  EXPECT_EQ(247, attr<ub2>(coll, kAttrCollectionTypecode));
  auto* element = attr<OCIParam*>(coll, kAttrCollectionElement);
  EXPECT_EQ(1, attr<ub2>(element, OCI_ATTR_DATA_TYPE));
  EXPECT_EQ(20, attr<ub2>(element, OCI_ATTR_DATA_SIZE));
  EXPECT_EQ(3u, attr<ub4>(element, kAttrNumElems));

  OCIDescribe* missing = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&missing), OCI_HTYPE_DESCRIBE, 0, nullptr));
  const std::string unknown = "SCOTT.NO_SUCH_T";
  EXPECT_EQ(OCI_ERROR, OCIDescribeAny(svc, err, const_cast<OraText*>(text(unknown)), len(unknown), OCI_OTYPE_NAME,
                                      OCI_DEFAULT, OCI_PTYPE_TYPE, missing));
  EXPECT_EQ(4043, last_code());
}

TEST_F(ObjectTest, a_new_instance_is_not_null_but_its_attributes_are_and_its_pointer_slots_hold_empty_values) {
  OCIType* tdo = type_by_name("PERSON_T");
  void* instance = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_OBJECT, tdo, nullptr, OCI_DURATION_SESSION, 1,
                                      &instance))
      << last_error();
  void* nulls = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, instance, &nulls));
  auto* indicators = static_cast<OCIInd*>(nulls);
  EXPECT_EQ(OCI_IND_NOTNULL, indicators[0]);
  for (int i = 1; i < 8; ++i) EXPECT_EQ(OCI_IND_NULL, indicators[i]) << i;
  // NAME is the pointer slot at 24 (ID's 22 bytes rounded up).
  OCIString* name = *reinterpret_cast<OCIString**>(static_cast<char*>(instance) + 24);
  ASSERT_NE(nullptr, name);
  EXPECT_EQ(0u, OCIStringSize(env, name));
  const std::string scott = "SCOTT";
  ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text(scott), len(scott), &name));
  EXPECT_EQ(name, *reinterpret_cast<OCIString**>(static_cast<char*>(instance) + 24));
  EXPECT_STREQ("SCOTT", reinterpret_cast<char*>(OCIStringPtr(env, name)));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectMarkUpdate(env, err, instance));
  boolean dirty = 0;
  EXPECT_EQ(OCI_SUCCESS, OCIObjectIsDirty(env, err, instance, &dirty));
  EXPECT_TRUE(dirty);
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
  // Freed, the instance and the string it owned are gone.
  EXPECT_EQ(OCI_ERROR, OCIObjectGetInd(env, err, instance, &nulls));
  EXPECT_EQ(nullptr, OCIStringPtr(env, name));
  EXPECT_EQ(OCI_ERROR, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectTest, an_instance_copied_onto_another_gives_it_its_values_and_nulls_in_storage_of_its_own) {
  must_run("CREATE TYPE tagged_t AS OBJECT (label VARCHAR2(10), kind REF address_t, names names_t)");
  OCIType* tdo = type_by_name("TAGGED_T");
  void* source = nullptr;
  void* target = nullptr;
  for (void** made : {&source, &target}) {
    ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_OBJECT, tdo, nullptr, OCI_DURATION_SESSION, 1, made));
  }
  OCIString* label = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text("first"), 5, &label));
  set_attribute(source, "LABEL", label);
  OCIDescribe* handle = nullptr;
  set_attribute(source, "KIND", attr<OCIRef*>(describe("ADDRESS_T", handle), kAttrRefTdo));
  OCIColl* names = *static_cast<OCIColl**>(attribute(source, "NAMES"));
  for (const std::string word : {"one", "two"}) {
    ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text(word), len(word), &label));
    ASSERT_EQ(OCI_SUCCESS, OCICollAppend(env, err, label, nullptr, names));
  }
  void* source_nulls = nullptr;
  void* target_nulls = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, source, &source_nulls));
  ASSERT_EQ(OCI_SUCCESS, OCIObjectGetInd(env, err, target, &target_nulls));
  ASSERT_EQ(OCI_SUCCESS, OCIObjectCopy(env, err, svc, source, source_nulls, target, target_nulls, tdo,
                                       OCI_DURATION_SESSION, 0))
      << last_error();
  const auto label_of = [&](void* instance) {
    return std::string(reinterpret_cast<char*>(OCIStringPtr(env, *static_cast<OCIString**>(attribute(instance, "LABEL")))));
  };
  EXPECT_EQ("first", label_of(target));
  EXPECT_TRUE(OCIRefIsEqual(env, *static_cast<OCIRef**>(attribute(source, "KIND")),
                            *static_cast<OCIRef**>(attribute(target, "KIND"))));
  sb4 size = 0;
  ASSERT_EQ(OCI_SUCCESS, OCICollSize(env, err, *static_cast<OCIColl**>(attribute(target, "NAMES")), &size));
  EXPECT_EQ(2, size);
  EXPECT_EQ(0, std::memcmp(source_nulls, target_nulls, 4 * sizeof(OCIInd)));
  // The copy owns its values: changing the source's leaves it alone.
  ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text("changed"), 7, static_cast<OCIString**>(attribute(source, "LABEL"))));
  ASSERT_EQ(OCI_SUCCESS, OCICollTrim(env, err, 2, names));
  EXPECT_EQ("first", label_of(target));
  ASSERT_EQ(OCI_SUCCESS, OCICollSize(env, err, *static_cast<OCIColl**>(attribute(target, "NAMES")), &size));
  EXPECT_EQ(2, size);
  // Without its REFs, the copy's REF is null; an instance copied onto itself stays as it is.
  ASSERT_EQ(OCI_SUCCESS, OCIObjectCopy(env, err, svc, source, nullptr, target, nullptr, tdo, OCI_DURATION_SESSION,
                                       OCI_OBJECTCOPY_NOREF));
  OCIInd indicator = OCI_IND_NOTNULL;
  EXPECT_TRUE(OCIRefIsNull(env, *static_cast<OCIRef**>(attribute(target, "KIND", &indicator))));
  EXPECT_EQ(OCI_IND_NULL, indicator);
  EXPECT_FALSE(OCIRefIsNull(env, *static_cast<OCIRef**>(attribute(source, "KIND"))));
  ASSERT_EQ(OCI_SUCCESS, OCIObjectCopy(env, err, svc, target, nullptr, target, nullptr, tdo, OCI_DURATION_SESSION, 0));
  EXPECT_EQ("changed", label_of(target));
  // Another type, another instance's null structure, or no instance at all is refused, changing nothing.
  void* address = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_OBJECT, type_by_name("ADDRESS_T"), nullptr,
                                      OCI_DURATION_SESSION, 1, &address));
  EXPECT_EQ(OCI_ERROR, OCIObjectCopy(env, err, svc, address, nullptr, target, nullptr, nullptr, OCI_DURATION_SESSION, 0));
  EXPECT_EQ(OCI_ERROR, OCIObjectCopy(env, err, svc, source, target_nulls, target, nullptr, tdo, OCI_DURATION_SESSION, 0));
  EXPECT_EQ(OCI_ERROR, OCIObjectCopy(env, err, svc, source, nullptr, label, nullptr, tdo, OCI_DURATION_SESSION, 0));
  EXPECT_EQ("changed", label_of(target));
  for (void* instance : {source, target, address}) EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
}

TEST_F(ObjectTest, type_refs_survive_their_hex_text_and_compare_equal) {
  OCIDescribe* handle = nullptr;
  OCIParam* top = describe("ADDRESS_T", handle);
  auto* ref = attr<OCIRef*>(top, kAttrRefTdo);
  ASSERT_FALSE(OCIRefIsNull(env, ref));
  std::string hex(OCIRefHexSize(env, ref), '\0');
  ub4 size = static_cast<ub4>(hex.size());
  ASSERT_EQ(OCI_SUCCESS, OCIRefToHex(env, err, ref, reinterpret_cast<OraText*>(hex.data()), &size));
  EXPECT_EQ(hex.size(), size);
  OCIRef* back = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIRefFromHex(env, err, svc, text(hex), size, &back)) << last_error();
  EXPECT_TRUE(OCIRefIsEqual(env, ref, back));
  void* tdo = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectPin(env, err, back, nullptr, OCI_PIN_ANY, OCI_DURATION_SESSION, OCI_LOCK_NONE, &tdo));
  EXPECT_EQ(static_cast<void*>(type_by_name("ADDRESS_T")), tdo);
  OCIRefClear(env, back);
  EXPECT_TRUE(OCIRefIsNull(env, back));
  EXPECT_FALSE(OCIRefIsEqual(env, ref, back));
  EXPECT_EQ(0u, OCIRefHexSize(env, back));
  EXPECT_EQ(OCI_ERROR, OCIRefFromHex(env, err, svc, text("0G"), 2, &back));
}

TEST_F(ObjectTest, a_varray_takes_elements_up_to_its_limit) {
  void* instance = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_NAMEDCOLLECTION, type_by_name("NAMES_T"), nullptr,
                                      OCI_DURATION_SESSION, 1, &instance));
  auto* coll = static_cast<OCIColl*>(instance);
  EXPECT_EQ(3, OCICollMax(env, coll));
  OCIString* value = nullptr;
  for (const std::string word : {"one", "two", "three"}) {
    ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text(word), len(word), &value));
    OCIInd present = OCI_IND_NOTNULL;
    ASSERT_EQ(OCI_SUCCESS, OCICollAppend(env, err, value, &present, coll)) << last_error();
  }
  EXPECT_EQ(OCI_ERROR, OCICollAppend(env, err, value, nullptr, coll));
  sb4 size = 0;
  ASSERT_EQ(OCI_SUCCESS, OCICollSize(env, err, coll, &size));
  EXPECT_EQ(3, size);
  // The collection keeps copies: changing the appended string leaves the elements alone.
  ASSERT_EQ(OCI_SUCCESS, OCIStringAssignText(env, err, text("zzz"), 3, &value));
  boolean exists = 0;
  void* elem = nullptr;
  void* ind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCICollGetElem(env, err, coll, 1, &exists, &elem, &ind));
  ASSERT_TRUE(exists);
  EXPECT_STREQ("two", reinterpret_cast<char*>(OCIStringPtr(env, *static_cast<OCIString**>(elem))));
  EXPECT_EQ(OCI_IND_NOTNULL, *static_cast<OCIInd*>(ind));
  ASSERT_EQ(OCI_SUCCESS, OCICollAssignElem(env, err, 1, value, nullptr, coll));
  ASSERT_EQ(OCI_SUCCESS, OCICollGetElem(env, err, coll, 1, &exists, &elem, &ind));
  EXPECT_STREQ("zzz", reinterpret_cast<char*>(OCIStringPtr(env, *static_cast<OCIString**>(elem))));
  ASSERT_EQ(OCI_SUCCESS, OCICollTrim(env, err, 2, coll));
  ASSERT_EQ(OCI_SUCCESS, OCICollSize(env, err, coll, &size));
  EXPECT_EQ(1, size);
  ASSERT_EQ(OCI_SUCCESS, OCICollGetElem(env, err, coll, 1, &exists, &elem, &ind));
  EXPECT_FALSE(exists);
  EXPECT_EQ(OCI_ERROR, OCICollTrim(env, err, 2, coll));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, instance, 0));
  EXPECT_EQ(OCI_ERROR, OCICollSize(env, err, coll, &size));
}

}  // namespace
}  // namespace ociemu::testing
