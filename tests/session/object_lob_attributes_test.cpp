// CLOB and BLOB attributes of object columns on ociemu: their values as text and
// bytes, null and empty ones, a locator over the attribute writing a locked row,
// and the object bound back into another row.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_object.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

class ObjectLobAttributesTest : public ConnectedQueryTest<SessionTest> {
 protected:
  void SetUp() override {
    ConnectedQueryTest<SessionTest>::SetUp();
    Exec("create type t_doc as object (id number(5), body clob, pic blob)");
    Exec("create table docs (id number, d t_doc)");
    Exec("insert into docs values (1, t_doc(1, 'first body', hextoraw('00FF10')))");
    Exec("insert into docs values (2, t_doc(2, empty_clob(), empty_blob()))");
    Exec("insert into docs values (3, t_doc(3, null, null))");
    session->Commit();
  }

  TOracleObject& Document() { return dynamic_cast<TOracleObject&>(*query->FieldObject(0)); }

  // A locator over a LOB attribute's slot, as an application reaches one.
  static void AttachTo(TLOBLocator& locator, TOracleObject& object, const std::string& name) {
    TObjectAttribute& attribute = *object.FindAttribute(name, true);
    locator.Attach(static_cast<OCILobLocator**>(attribute.ValueAddress()), nullptr);
    locator.SetOwner(&object, name);
  }

  std::string StoredText(const std::string& sql) {
    Exec(sql);
    return query->Eof() ? "<no row>" : query->FieldText(0);
  }
};

TEST_F(ObjectLobAttributesTest, lob_attributes_read_as_text_and_bytes_and_empty_or_null_as_the_null_value) {
  Exec("select d from docs order by id");
  TOracleObject& doc = Document();
  EXPECT_EQ(doc.FindAttribute("BODY", true)->Value().AsString(), "first body");
  EXPECT_EQ(doc.FindAttribute("PIC", true)->Value().AsBytes(), (std::vector<uint8_t>{0x00, 0xFF, 0x10}));
  EXPECT_FALSE(doc.FindAttribute("BODY", true)->IsNull());

  query->Next();
  EXPECT_FALSE(Document().FindAttribute("BODY", true)->IsNull()) << "an empty LOB is a value";
  EXPECT_TRUE(Document().FindAttribute("BODY", true)->Value().IsEmpty());
  EXPECT_TRUE(Document().FindAttribute("PIC", true)->Value().IsEmpty());

  query->Next();
  EXPECT_TRUE(Document().FindAttribute("BODY", true)->IsNull());
  EXPECT_TRUE(Document().FindAttribute("PIC", true)->IsNull());
  session->NullValue = nvNull;
  EXPECT_TRUE(Document().FindAttribute("BODY", true)->Value().IsNull());

  // Read twice: reading a value leaves the attribute's locator in place.
  Exec("select d from docs where id = 1");
  EXPECT_EQ(Document().FindAttribute("BODY", true)->Value().AsString(), "first body");
  EXPECT_EQ(Document().FindAttribute("BODY", true)->Value().AsString(), "first body");
}

TEST_F(ObjectLobAttributesTest, a_locator_over_an_attribute_writes_the_locked_row) {
  Exec("select d from docs where id = 2 for update");
  {
    TLOBLocator body(session.get(), otCLOB);
    AttachTo(body, Document(), "BODY");
    const std::string text = "written later";
    EXPECT_EQ(body.Write(text.data(), static_cast<int64_t>(text.size())), static_cast<int64_t>(text.size()));
    EXPECT_EQ(body.LOBLength(), static_cast<int64_t>(text.size()));
    TLOBLocator pic(session.get(), otBLOB);
    AttachTo(pic, Document(), "PIC");
    const uint8_t bytes[] = {1, 2, 3, 4};
    pic.Write(bytes, sizeof bytes);
    pic.SetSize(2);
  }
  session->Commit();
  EXPECT_EQ(StoredText("select t.d.body from docs t where id = 2"), "written later");
  EXPECT_EQ(StoredText("select rawtohex(t.d.pic) from docs t where id = 2"), "0102");

  // Without the row lock the write is refused, as for a LOB column.
  Exec("select d from docs where id = 1");
  TLOBLocator unlocked(session.get(), otCLOB);
  AttachTo(unlocked, Document(), "BODY");
  EXPECT_EQ(MessageOf([&] { unlocked.Write("x", 1); }).substr(0, 9), "ORA-22920");
}

TEST_F(ObjectLobAttributesTest, a_fetched_object_bound_into_an_insert_copies_its_lobs) {
  Exec("select d from docs where id = 1");
  TOracleQuery insert;
  insert.SetSession(session.get());
  insert.DeclareVariable("d", otObject);
  insert.SetComplexVariable("d", query->FieldObject(0));
  insert.SQL().SetText("insert into docs values (4, :d)");
  insert.Execute();
  EXPECT_EQ(StoredText("select t.d.body from docs t where id = 4"), "first body");
  EXPECT_EQ(StoredText("select rawtohex(t.d.pic) from docs t where id = 4"), "00FF10");

  // A null attribute binds as null.
  Exec("select d from docs where id = 3");
  insert.SetComplexVariable("d", query->FieldObject(0));
  insert.SQL().SetText("update docs set d = :d where id = 1");
  insert.Execute();
  Exec("select t.d.body, t.d.id from docs t where id = 1");
  EXPECT_TRUE(query->FieldIsNull(0));
  EXPECT_EQ(query->FieldInteger(1), 3);
}

}  // namespace
}  // namespace kvell::testing
