// REF columns and REF variables on ociemu: fetched row by row through the
// column's reference, bound IN and OUT as variables of type 110, and 10,000
// rows of REFs across fetch arrays (run under LeakSanitizer for the per-row REFs).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_reference.h"
#include "oracle/session/oracle_session.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

class ReferenceColumnsTest : public ConnectedQueryTest<SessionTest> {
 protected:
  void SetUp() override {
    ConnectedQueryTest<SessionTest>::SetUp();
    Exec("create type t_point as object (x number, y number)");
    Exec("create table pt_tab of t_point");
    Exec("create table links (id number, r ref t_point scope is pt_tab)");
  }

  // The hex text of the REF to the point with x = `x`, read through a query of its own.
  std::string HexOfPoint(int x) {
    Exec("select ref(p) from pt_tab p where p.x = " + std::to_string(x));
    EXPECT_FALSE(query->Eof());
    return query->FieldText(0);
  }

  void Prepare(TOracleQuery& made, const std::string& sql) {
    made.SetSession(session.get());
    made.SQL().SetText(sql);
  }
};

TEST_F(ReferenceColumnsTest, a_ref_column_is_read_row_by_row_with_its_null_rows) {
  Exec("insert into pt_tab values (1, 10)");
  Exec("insert into pt_tab values (2, 20)");
  Exec("insert into links select p.x, ref(p) from pt_tab p");
  Exec("insert into links values (3, null)");
  const std::string first = HexOfPoint(1), second = HexOfPoint(2);
  EXPECT_FALSE(first.empty());
  EXPECT_NE(first, second);

  Exec("select r from links order by id");
  auto& ref = dynamic_cast<TOracleReference&>(*query->FieldReference(0));
  EXPECT_FALSE(query->FieldIsNull(0));
  EXPECT_FALSE(ref.IsNull());
  EXPECT_EQ(ref.AsHex(), first);
  EXPECT_EQ(query->FieldText(0), first);
  EXPECT_EQ(query->FieldValue(0).AsString(), first);
  query->Next();
  EXPECT_EQ(&ref, query->FieldReference(0)) << "one reference presents every row";
  EXPECT_EQ(ref.AsHex(), second);
  ref.Clear();
  EXPECT_TRUE(ref.IsNull());
  EXPECT_TRUE(query->FieldIsNull(0)) << "clearing tells the row's indicator";
  EXPECT_EQ(ref.AsHex(), "");
  query->Next();
  EXPECT_TRUE(query->FieldIsNull(0));
  EXPECT_TRUE(ref.IsNull());
  query->Next();
  EXPECT_TRUE(query->Eof());
  EXPECT_EQ(MessageOf([&] { query->FieldReference(0); }), "You cannot access field data beyond Eof");
}

TEST_F(ReferenceColumnsTest, ref_variables_bind_in_and_come_back_out_of_blocks) {
  Exec("insert into pt_tab values (1, 10)");
  TOracleReference point(session.get(), "", 0, "t_point");
  TOracleQuery out;
  Prepare(out, "begin select ref(p) into :r from pt_tab p where p.x = 1; end;");
  out.DeclareVariable("r", otReference);
  out.SetComplexVariable("r", &point);
  out.Execute();
  ASSERT_FALSE(point.IsNull());
  EXPECT_EQ(point.AsHex(), HexOfPoint(1));

  TOracleQuery insert;
  Prepare(insert, "insert into links values (:id, :r)");
  insert.DeclareVariable("id", 3);
  insert.DeclareVariable("r", otReference);
  insert.SetComplexVariable("r", &point);
  insert.SetVariable("id", Variant(7));
  insert.Execute();
  point.Clear();
  insert.SetVariable("id", Variant(8));
  insert.Execute();
  Exec("select l.id, l.r.y from links l order by l.id");
  EXPECT_EQ(query->FieldInteger(0), 7);
  EXPECT_EQ(query->FieldInteger(1), 10);
  query->Next();
  EXPECT_EQ(query->FieldInteger(0), 8);
  EXPECT_TRUE(query->FieldIsNull(1)) << "a cleared REF binds as null";

  // A block that hands back a null REF leaves the variable's reference null.
  TOracleQuery again;
  Prepare(again, "begin select ref(p) into :r from pt_tab p where p.x = 1; end;");
  again.DeclareVariable("r", otReference);
  again.SetComplexVariable("r", &point);
  again.Execute();
  ASSERT_FALSE(point.IsNull());
  TOracleQuery empty;
  Prepare(empty, "declare none ref t_point; begin :r := none; end;");
  empty.DeclareVariable("r", otReference);
  empty.SetComplexVariable("r", &point);
  empty.Execute();
  EXPECT_TRUE(point.IsNull());
}

TEST_F(ReferenceColumnsTest, refs_of_10000_rows_follow_their_rows_across_fetch_arrays) {
  constexpr int kRows = 10000;
  std::vector<Variant> xs, ys;
  for (int i = 0; i < kRows; ++i) {
    xs.emplace_back(i);
    if (i % 7 == 0) {
      ys.emplace_back();
    } else {
      ys.emplace_back(i);
    }
  }
  query->DeclareVariable("x", 3);
  query->DeclareVariable("y", 3);
  query->SetVariable("x", Variant::FromArray(std::move(xs)));
  query->SetVariable("y", Variant::FromArray(std::move(ys)));
  query->SQL().SetText("insert into pt_tab values (:x, :y)");
  ASSERT_EQ(query->ExecuteArray(0, kRows), kRows);
  query->DeleteVariables();
  // Every seventh row links to nothing.
  Exec("insert into links select p.x, case when p.y is null then null else ref(p) end from pt_tab p");

  query->SetReadBuffer(64);
  Exec("select id, r from links order by id");
  auto& ref = dynamic_cast<TOracleReference&>(*query->FieldReference(1));
  std::set<std::string> seen;
  int rows = 0, nulls = 0;
  for (; !query->Eof(); query->Next(), ++rows) {
    ASSERT_EQ(query->FieldInteger(0), rows);
    if (rows % 7 == 0) {
      ASSERT_TRUE(query->FieldIsNull(1)) << rows;
      ASSERT_TRUE(ref.IsNull()) << rows;
      ++nulls;
      continue;
    }
    ASSERT_FALSE(ref.IsNull()) << rows;
    seen.insert(ref.AsHex());
  }
  EXPECT_EQ(rows, kRows);
  EXPECT_EQ(seen.size() + static_cast<size_t>(nulls), static_cast<size_t>(kRows)) << "each row has its own REF";
}

}  // namespace
}  // namespace kvell::testing
