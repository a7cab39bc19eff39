// TOracleObject, TOracleReference and object/reference variables and
// columns on ociemu: refusals, the attribute catalogue against ociemu's own
// layout, attribute values, embedded objects and changes, object and REF
// columns across fetch arrays, and XMLType text.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_reference.h"
#include "oracle/session/oracle_session.h"
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

}  // namespace
}  // namespace kvell::testing
