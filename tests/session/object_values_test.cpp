// Object types on ociemu: the attribute catalogue and its layout against
// ociemu's own, new objects and attribute changes, child objects, object
// and REF columns across fetch arrays, binds and XMLType text.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ociemu/api/test_hooks.h"
#include "oracle/binding/oci_entries.h"
#include "oracle/binding/oracle_ci.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_reference.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/session_preferences.h"
#include "runtime/datetime.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

struct NamedSlot {
  std::string Name;
  int Value = 0;
  int Indicator = 0;
  bool operator==(const NamedSlot&) const = default;
};

std::ostream& operator<<(std::ostream& out, const NamedSlot& slot) {
  return out << slot.Name << "@" << slot.Value << "/" << slot.Indicator;
}

class ObjectValuesTest : public ConnectedQueryTest<SessionTest> {
 protected:
  void CreateTypes() {
    Exec("create type t_address as object (city varchar2(20), zip number(5))");
    Exec("create type t_person as object (id number(5), name varchar2(10), born date, score number, "
         "address t_address, photo raw(10), note clob)");
  }

  // ociemu's own offsets for the type, computed apart from the layer's.
  std::vector<NamedSlot> EmulatorLayout(const std::string& type, unsigned pointer_size) {
    auto hook = reinterpret_cast<ociemu_type_layout_fn>(EmulatorHooks::Find("ociemu_type_layout"));
    if (!hook) {
      ADD_FAILURE() << "the loaded client has no layout hook";
      return {};
    }
    std::vector<ociemu_attribute_layout> out(64);
    const int count = hook(session->ServiceContext(), type.c_str(), pointer_size, out.data(), 64);
    EXPECT_GE(count, 0) << type;
    std::vector<NamedSlot> slots;
    for (int i = 0; i < count && i < 64; ++i) {
      const auto& entry = out[static_cast<size_t>(i)];
      slots.push_back({entry.name, static_cast<int>(entry.value_offset), static_cast<int>(entry.indicator_offset)});
    }
    return slots;
  }

  static std::vector<NamedSlot> LayerLayout(TOracleObject& object, int pointer_size) {
    const std::vector<LayoutSlot> layout = object.LayoutFor(pointer_size);
    std::vector<NamedSlot> slots;
    for (int i = 0; i < object.AttributeCount(); ++i) {
      const auto k = static_cast<size_t>(i);
      slots.push_back({object.Attribute(i).Name, layout[k].ValueOffset, layout[k].IndicatorOffset});
    }
    return slots;
  }
};

TEST_F(ObjectValuesTest, the_catalogue_lays_out_instances_as_the_client_does) {
  Exec("create type t_flat as object (n5 number(5), s varchar2(10), d date, n number)");
  CreateTypes();
  TOracleObject flat(session.get(), "t_flat");
  EXPECT_EQ(LayerLayout(flat, 4),
            (std::vector<NamedSlot>{{"N5", 0, 2}, {"S", 24, 4}, {"D", 28, 6}, {"N", 36, 8}}));
  TOracleObject person(session.get(), "T_PERSON");
  for (unsigned pointer_size : {4u, 8u}) {
    EXPECT_EQ(LayerLayout(flat, static_cast<int>(pointer_size)), EmulatorLayout("T_FLAT", pointer_size));
    EXPECT_EQ(LayerLayout(person, static_cast<int>(pointer_size)), EmulatorLayout("T_PERSON", pointer_size));
  }
  std::vector<std::string> names;
  for (int i = 0; i < person.AttributeCount(); ++i) names.push_back(person.Attribute(i).Name);
  EXPECT_EQ(names, (std::vector<std::string>{"ID", "NAME", "BORN", "SCORE", "ADDRESS", "ADDRESS.CITY", "ADDRESS.ZIP",
                                             "PHOTO", "NOTE"}));
  EXPECT_EQ(person.Attribute(0).DataType, 3) << "NUMBER(5) reads as an integer";
  EXPECT_EQ(person.Attribute(3).DataType, 4) << "an unconstrained NUMBER reads as a float";
  EXPECT_EQ(person.Attribute(4).TypeName, "SCOTT.T_ADDRESS");
  EXPECT_FALSE(person.IsCollection());
}

TEST_F(ObjectValuesTest, a_new_object_is_null_until_an_attribute_changes) {
  CreateTypes();
  TOracleObject person(session.get(), "t_person");
  EXPECT_EQ(session->Clients(skObject).Count(), 1);
  EXPECT_TRUE(person.IsNull());
  EXPECT_EQ(person.FindAttribute("address.city", false), person.FindAttribute("ADDRESS.CITY", true));
  EXPECT_EQ(person.FindAttribute("nothing", false), nullptr);
  EXPECT_EQ(MessageOf([&] { person.FindAttribute("nothing", true); }), "Unknown attribute: nothing");
  EXPECT_EQ(MessageOf([&] { person.ChildObject("name"); }), "Attribute name is not an object");
  EXPECT_EQ(MessageOf([&] { person.ChildObject("nothing"); }), "Unknown attribute: nothing");

  TOracleObject& address = person.ChildObject("address");
  EXPECT_EQ(&person.ChildObject("ADDRESS"), &address) << "children are cached";
  EXPECT_EQ(person.XMLChild("address"), nullptr) << "the same child, not an XMLType";
  EXPECT_EQ(address.AttributeCount(), 2);
  EXPECT_EQ(address.FindAttribute("CITY", true)->ValueAddress(), person.FindAttribute("ADDRESS.CITY", true)->ValueAddress());
  EXPECT_EQ(session->Clients(skObject).Count(), 2);

  *person.FindAttribute("ADDRESS", true)->IndicatorAddress() = -1;
  person.AttributeChanged("ADDRESS.CITY");
  EXPECT_FALSE(person.FindAttribute("ADDRESS", true)->IsNull());
  EXPECT_FALSE(address.IsNull());
  EXPECT_FALSE(person.IsNull());
  EXPECT_TRUE(person.FindAttribute("ID", true)->IsNull()) << "other attributes stay null";
  EXPECT_TRUE(person.FindAttribute("ID", true)->Value().IsEmpty());
}

// The client's own calls store the values; the layer reads them back at the
// offsets it computed.
TEST_F(ObjectValuesTest, attribute_values_read_what_the_client_stored_at_the_computed_offsets) {
  CreateTypes();
  Exec("create type t_numbers as object (small number(9), wide number, big number(30, 2))");
  TOracleObject person(session.get(), "t_person");
  OCIEnv* env = session->EnvironmentHandle();
  OCIError* error = person.Error();
  auto attribute = [&](const char* name) -> TObjectAttribute& {
    TObjectAttribute& found = *person.FindAttribute(name, true);
    *found.IndicatorAddress() = 0;
    return found;
  };
  const int32_t seven = 7;
  ASSERT_EQ(OCINumberFromInt(error, &seven, sizeof seven, 2, static_cast<OCINumber*>(attribute("ID").ValueAddress())),
            OCI_SUCCESS);
  const double score = 1.5;
  ASSERT_EQ(OCINumberFromReal(error, &score, sizeof score, static_cast<OCINumber*>(attribute("SCORE").ValueAddress())),
            OCI_SUCCESS);
  const std::string name = "Ann\nLee";
  ASSERT_EQ(OCIStringAssignText(env, error, reinterpret_cast<const oratext*>(name.data()),
                                static_cast<ub4>(name.size()),
                                static_cast<OCIString**>(attribute("NAME").ValueAddress())),
            OCI_SUCCESS);
  const std::string city = "Ljubljana";
  ASSERT_EQ(OCIStringAssignText(env, error, reinterpret_cast<const oratext*>(city.data()),
                                static_cast<ub4>(city.size()),
                                static_cast<OCIString**>(attribute("ADDRESS.CITY").ValueAddress())),
            OCI_SUCCESS);
  const ub1 photo[] = {0x0A, 0xFF};
  ASSERT_EQ(OCIRawAssignBytes(env, error, photo, 2, static_cast<OCIRaw**>(attribute("PHOTO").ValueAddress())),
            OCI_SUCCESS);
  auto* born = static_cast<ub1*>(attribute("BORN").ValueAddress());
  const sb2 year = 2001;
  std::memcpy(born, &year, sizeof year);
  const ub1 rest[] = {2, 3, 4, 5, 6};  // month, day, hour, minute, second
  std::memcpy(born + 2, rest, sizeof rest);

  const Variant id = person.FindAttribute("ID", true)->Value();
  EXPECT_EQ(id.VarType(), Variant(int32_t{7}).VarType()) << "NUMBER(5) reads as an integer";
  EXPECT_EQ(id.AsInteger(), 7);
  const Variant wide = person.FindAttribute("SCORE", true)->Value();
  EXPECT_EQ(wide.VarType(), Variant(1.5).VarType()) << "an unconstrained NUMBER reads as a float";
  EXPECT_DOUBLE_EQ(wide.AsDouble(), 1.5);
  EXPECT_EQ(person.FindAttribute("NAME", true)->Value().AsString(), "Ann\r\nLee");
  session->Preferences().ConvertCRLF = false;
  EXPECT_EQ(person.FindAttribute("NAME", true)->Value().AsString(), "Ann\nLee");
  EXPECT_EQ(person.FindAttribute("ADDRESS.CITY", true)->Value().AsString(), "Ljubljana");
  EXPECT_EQ(person.ChildObject("ADDRESS").FindAttribute("CITY", true)->Value().AsString(), "Ljubljana");
  EXPECT_EQ(person.FindAttribute("PHOTO", true)->Value().AsString(), "0AFF");
  EXPECT_DOUBLE_EQ(person.FindAttribute("BORN", true)->Value().AsDateTime(),
                   EncodeDate(2001, 2, 3) + EncodeTime(4, 5, 6, 0));
  EXPECT_TRUE(attribute("NOTE").Value().IsEmpty()) << "an empty LOB attribute reads as the null value";
  EXPECT_TRUE(person.FindAttribute("ADDRESS", true)->Value().IsEmpty()) << "objects are reached as children";
  session->NullValue = nvNull;
  EXPECT_TRUE(person.FindAttribute("ADDRESS.ZIP", true)->Value().IsNull());

  // Beyond the float precision a NUMBER reads as its text.
  session->Preferences().SetFloatPrecision(15);
  TOracleObject numbers(session.get(), "t_numbers");
  TObjectAttribute& big = *numbers.FindAttribute("BIG", true);
  *big.IndicatorAddress() = 0;
  const double value = 2.5;
  ASSERT_EQ(OCINumberFromReal(error, &value, sizeof value, static_cast<OCINumber*>(big.ValueAddress())), OCI_SUCCESS);
  EXPECT_EQ(big.Value().AsString(), "2.5");
}

TEST_F(ObjectValuesTest, references_are_typed_by_name_or_untyped_and_start_null) {
  Exec("create type t_point as object (x number, y number)");
  TOracleReference typed(session.get(), "", 0, "t_point");
  TOracleReference untyped(session.get());
  EXPECT_EQ(session->Clients(skReference).Count(), 2);
  EXPECT_NE(typed.TDO(), nullptr);
  EXPECT_EQ(untyped.TDO(), nullptr);
  EXPECT_TRUE(typed.IsNull());
  typed.Clear();
  EXPECT_TRUE(typed.IsNull());
  EXPECT_EQ(MessageOf([&] { TOracleReference missing(session.get(), "", 0, "no_such_type"); }).substr(0, 9),
            "ORA-04043");
  EXPECT_EQ(MessageOf([&] { TOracleObject missing(session.get(), "no_such_type"); }).substr(0, 9), "ORA-04043");
  EXPECT_EQ(session->Clients(skReference).Count(), 2) << "refused ones leave the session's lists";
  EXPECT_EQ(session->Clients(skObject).Count(), 0);
}

}  // namespace
}  // namespace kvell::testing
