// TOracleObject, TOracleReference and complex variables on ociemu: the
// refusals of creation and binding (no session, no instance, a version 7
// session) and the identity locators, objects and references report under.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_reference.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/oracle_timestamp.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

class ObjectTest : public ConnectedQueryTest<SessionTest> {};

TEST_F(ObjectTest, objects_need_a_connected_session_and_a_type) {
  EXPECT_EQ(MessageOf([&] { TOracleObject none(nullptr, "T_POINT"); }), "A TOracleObject instance requires a session");
  TOracleSession offline;
  EXPECT_EQ(MessageOf([&] { TOracleObject off(&offline, "T_POINT"); }),
            "A TOracleObject instance requires a connected session");
  EXPECT_EQ(MessageOf([&] { TOracleObject untyped(session.get(), ""); }), kObjectNoType);
  EXPECT_EQ(session->Clients(skObject).Count(), 0) << "a refused object leaves the session's list";
  EXPECT_EQ(MessageOf([&] { TOracleReference off(&offline); }), kObjectNotLoggedOn);
  EXPECT_EQ(offline.Clients(skReference).Count(), 0);
}

TEST_F(ObjectTest, object_and_reference_variables_refuse_a_missing_or_wrong_instance) {
  Exec("create table plain (id number)");
  query->DeclareVariable("o", otObject);
  EXPECT_EQ(MessageOf([&] { Exec("insert into plain values (:o)"); }), "Object variable :O cannot be nil");
  query->DeleteVariables();
  query->DeclareVariable("r", otReference);
  EXPECT_EQ(MessageOf([&] { Exec("insert into plain values (:r)"); }), "Reference variable :R cannot be nil");
  TOracleQuery other;
  EXPECT_EQ(MessageOf([&] { query->SetComplexVariable("r", &other); }),
            "Assign TOracleQuery instance to variable :R");
  query->DeleteVariables();
  Exec("insert into plain values (1)");
  Exec("select id from plain");
  EXPECT_EQ(MessageOf([&] { query->FieldObject(0); }), "Field 0 is not an Object");
  EXPECT_EQ(MessageOf([&] { query->FieldReference(0); }), "Field 0 is not a Reference");
}

// The identity the activity monitor would see: an id for every instance,
// named or not, the default name built from it, and a given owner id.
TEST_F(ObjectTest, locators_objects_and_references_carry_their_monitor_identity) {
  Exec("create type t_point as object (x number, y number)");
  TLOBLocator first(session.get(), otCLOB);
  TLOBLocator second(session.get(), otBLOB);
  EXPECT_GT(second.Id(), first.Id());
  EXPECT_EQ(first.Name(), "LOBLocator" + std::to_string(first.Id()));
  EXPECT_EQ(first.OwnerId(), 0);
  first.SetName("Body");
  EXPECT_EQ(first.ClientName(), "Body");

  TOracleObject plain(session.get(), "t_point");
  EXPECT_EQ(plain.Name(), "OracleObject" + std::to_string(plain.Id()));
  EXPECT_EQ(plain.OwnerId(), 0);
  TOracleObject named(session.get(), "t_point", "", 42, "Point");
  EXPECT_EQ(named.Name(), "Point");
  EXPECT_EQ(named.OwnerId(), 42);
  TOracleObject after(session.get(), "t_point");
  EXPECT_GT(named.Id(), plain.Id()) << "a named object takes an id too";
  EXPECT_GT(after.Id(), named.Id());
  EXPECT_EQ(after.Name(), "OracleObject" + std::to_string(after.Id()));

  TOracleReference untyped(session.get());
  EXPECT_EQ(untyped.Name(), "OracleReference" + std::to_string(untyped.Id()));
  TOracleReference link(session.get(), "Link", 7, "t_point");
  EXPECT_EQ(link.Name(), "Link");
  EXPECT_EQ(link.OwnerId(), 7);
  EXPECT_GT(link.Id(), untyped.Id());

  // A failed creation ends its report with the error and leaves no trace.
  EXPECT_EQ(MessageOf([&] { TOracleObject missing(session.get(), "no_such_type"); }).substr(0, 9), "ORA-04043");
  EXPECT_EQ(MessageOf([&] { TOracleReference missing(session.get(), "", 0, "no_such_type"); }).substr(0, 9),
            "ORA-04043");
  EXPECT_EQ(session->Clients(skObject).Count(), 3);
  EXPECT_EQ(session->Clients(skReference).Count(), 2);
}

TEST_F(ObjectTest, complex_variables_are_refused_on_a_version_7_session) {
  std::unique_ptr<TOracleSession> old = MakeSession(Interface::UseOCI7);
  old->LogOn();
  TOracleQuery legacy;
  legacy.SetSession(old.get());
  legacy.SQL().SetText("begin null; end;");
  const std::string mode = " requires OCI8 mode, but OCI7 mode is used.";
  const std::pair<int, std::string> refusals[] = {{otObject, "An object variable" + mode},
                                                  {otReference, "A reference variable" + mode},
                                                  {otCLOB, "A LOB Locator variable" + mode},
                                                  {otBLOB, "A LOB Locator variable" + mode},
                                                  {otTimestampTZ, "A Timestamp variable" + mode}};
  for (const auto& [type, message] : refusals) {
    legacy.DeleteVariables();
    legacy.DeclareVariable("v", type);
    EXPECT_EQ(MessageOf([&] { legacy.Execute(); }), message) << type;
  }
  EXPECT_EQ(MessageOf([&] { TLOBLocator locator(old.get(), otCLOB); }), "A TLOBLocator instance" + mode);
  EXPECT_EQ(MessageOf([&] { TOracleObject object(old.get(), "t_point"); }), "A TOracleObject instance" + mode);
}

}  // namespace
}  // namespace kvell::testing
