// Object and XMLType columns on ociemu: attribute values of fetched rows,
// instances across 10,000 rows of fetch arrays, object binds and object tables.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "oracle/binding/oci_entries.h"
#include "oracle/binding/oracle_ci.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_reference.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/session_preferences.h"
#include "runtime/datetime.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

class ObjectColumnsTest : public ConnectedQueryTest<SessionTest> {
 protected:
  void CreateTypes() {
    Exec("create type t_address as object (city varchar2(20), zip number(5))");
    Exec("create type t_person as object (id number(5), name varchar2(10), born date, score number, "
         "address t_address, note clob)");
  }
};

TEST_F(ObjectColumnsTest, attribute_values_of_a_fetched_object_column) {
  CreateTypes();
  Exec("create table people (id number, person t_person)");
  Exec("insert into people values (1, t_person(7, 'Ann', to_date('2001-02-03 04:05:06', 'yyyy-mm-dd hh24:mi:ss'), "
       "1.5, t_address('Ljubljana', 1000), 'memo'))");
  Exec("insert into people values (2, null)");
  Exec("select person from people order by id");
  auto& person = dynamic_cast<TOracleObject&>(*query->FieldObject(0));
  EXPECT_FALSE(query->FieldIsNull(0));
  const Variant id = person.FindAttribute("ID", true)->Value();
  EXPECT_EQ(id.VarType(), Variant(7).VarType());
  EXPECT_EQ(id.AsInteger(), 7);
  EXPECT_DOUBLE_EQ(person.FindAttribute("SCORE", true)->Value().AsDouble(), 1.5);
  EXPECT_EQ(person.FindAttribute("NAME", true)->Value().AsString(), "Ann");
  EXPECT_DOUBLE_EQ(person.FindAttribute("BORN", true)->Value().AsDateTime(),
                   EncodeDate(2001, 2, 3) + EncodeTime(4, 5, 6, 0));
  EXPECT_EQ(person.FindAttribute("ADDRESS.ZIP", true)->Value().AsInteger(), 1000);
  TOracleObject& address = person.ChildObject("ADDRESS");
  EXPECT_EQ(address.FindAttribute("CITY", true)->Value().AsString(), "Ljubljana");
  EXPECT_TRUE(query->FieldValue(0).IsEmpty()) << "a plain object column reads as the null value";
  EXPECT_EQ(MessageOf([&] { query->FieldText(0); }), "Cannot convert field PERSON to a String");

  query->Next();
  EXPECT_TRUE(query->FieldIsNull(0));
  EXPECT_TRUE(person.IsNull());
  query->Next();
  EXPECT_TRUE(query->Eof());
}

// Under LeakSanitizer every array's instances and REFs must be freed before
// the next fetch overwrites their pointers.
TEST_F(ObjectColumnsTest, object_columns_follow_the_rows_of_10000_across_fetch_arrays) {
  Exec("create type t_point as object (x number, y number)");
  Exec("create table pts (id number, p t_point)");
  constexpr int kRows = 10000;
  std::vector<Variant> xs, ys;
  for (int i = 0; i < kRows; ++i) {
    xs.emplace_back(i);
    ys.emplace_back(-i);
  }
  query->DeclareVariable("id", 3);
  query->DeclareVariable("x", 3);
  query->DeclareVariable("y", 3);
  query->SetVariable("x", Variant::FromArray(xs));
  query->SetVariable("id", Variant::FromArray(std::move(xs)));
  query->SetVariable("y", Variant::FromArray(std::move(ys)));
  query->SQL().SetText("insert into pts values (:id, t_point(:x, :y))");
  ASSERT_EQ(query->ExecuteArray(0, kRows), kRows);
  query->DeleteVariables();

  query->SetReadBuffer(64);
  Exec("select p from pts order by id");
  auto& point = dynamic_cast<TOracleObject&>(*query->FieldObject(0));
  long long sum = 0;
  int rows = 0;
  for (; !query->Eof(); query->Next(), ++rows) {
    ASSERT_EQ(point.FindAttribute("X", true)->Value().AsInteger(), rows);
    sum += point.FindAttribute("Y", true)->Value().AsInteger();
  }
  EXPECT_EQ(rows, kRows);
  EXPECT_EQ(sum, -static_cast<long long>(kRows) * (kRows - 1) / 2);

}

TEST_F(ObjectColumnsTest, a_fetched_object_binds_into_an_insert) {
  Exec("create type t_point as object (x number, y number)");
  Exec("create table pts (id number, p t_point)");
  Exec("insert into pts values (1, t_point(3, 4))");
  Exec("select p from pts");
  TOracleQuery insert;
  insert.SetSession(session.get());
  insert.DeclareVariable("p", otObject);
  insert.SetComplexVariable("p", query->FieldObject(0));
  insert.SQL().SetText("insert into pts values (2, :p)");
  insert.Execute();
  Exec("select t.p.x, t.p.y from pts t where id = 2");
  ASSERT_FALSE(query->Eof());
  EXPECT_EQ(query->FieldInteger(0), 3);
  EXPECT_EQ(query->FieldInteger(1), 4);
}

TEST_F(ObjectColumnsTest, an_object_in_an_object_table_and_a_typed_reference) {
  Exec("create type t_point as object (x number, y number)");
  Exec("create table pt_tab of t_point");
  TOracleObject stored(session.get(), "t_point", "scott.pt_tab");
  EXPECT_TRUE(stored.IsNull());
  stored.MarkUpdate(true);
  stored.MarkUpdate(false);
  TOracleReference typed(session.get(), "", 0, "t_point");
  EXPECT_EQ(session->Clients(skReference).Count(), 1);
  EXPECT_TRUE(typed.IsNull());
  EXPECT_NE(typed.TDO(), nullptr);
  EXPECT_EQ(MessageOf([&] { TOracleObject missing(session.get(), "no_such_type"); }).substr(0, 9), "ORA-04043");
}

// The document comes back whole through the block that turns an XMLType into
// CLOB text, row by row, from a column and from an XMLType attribute.
TEST_F(ObjectColumnsTest, xmltype_columns_and_attributes_give_their_documents) {
  Exec("create type t_doc as object (id number, body sys.xmltype)");
  Exec("create table docs (n number, x xmltype, d t_doc)");
  std::string large = "<list>";
  for (int i = 0; i < 3000; ++i) large += "<item>" + std::to_string(i) + "</item>";
  large += "</list>";
  Exec("insert into docs values (1, xmltype('<r><a>1</a></r>'), t_doc(7, sys.xmltype.createxml('<b>two</b>')))");
  query->DeclareVariable("big", otCLOB);
  std::unique_ptr<TLOBLocator> big(TLOBLocator::CreateTemporary(session.get(), otCLOB, true));
  big->Write(large.data(), static_cast<int64_t>(large.size()));
  query->SetComplexVariable("big", big.get());
  Exec("insert into docs values (2, xmltype(:big), t_doc(8, null))");
  query->DeleteVariables();
  Exec("insert into docs values (3, null, null)");

  Exec("select x, d from docs order by n");
  auto* document = dynamic_cast<TXMLType*>(query->FieldObject(0));
  ASSERT_NE(document, nullptr) << "an XMLType column presents a TXMLType";
  auto& holder = dynamic_cast<TOracleObject&>(*query->FieldObject(1));
  EXPECT_EQ(document->XMLText(), "<r><a>1</a></r>");
  EXPECT_EQ(query->FieldValue(0).AsString(), "<r><a>1</a></r>");
  EXPECT_EQ(query->FieldText(0), "<r><a>1</a></r>");
  TXMLType* body = holder.XMLChild("body");
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(&holder.ChildObject("BODY"), body) << "the cached child";
  EXPECT_EQ(body->XMLText(), "<b>two</b>");

  query->Next();
  EXPECT_EQ(document->XMLText().size(), large.size());
  EXPECT_EQ(query->FieldText(0), large) << "the second row's document, not the first's";
  EXPECT_FALSE(holder.IsNull());
  EXPECT_TRUE(body->IsNull());
  EXPECT_EQ(body->XMLText(), "");

  query->Next();
  EXPECT_TRUE(query->FieldIsNull(0));
  EXPECT_TRUE(document->IsNull());
  EXPECT_EQ(document->XMLText(), "");
  EXPECT_EQ(query->FieldText(0), "");
  EXPECT_TRUE(query->FieldValue(0).IsEmpty()) << "the session's null value, not an empty text";
  EXPECT_TRUE(holder.IsNull());
  query->Next();
  EXPECT_TRUE(query->Eof());
}

}  // namespace
}  // namespace kvell::testing
