// Blob values written through the dataset's streams and posted: CLOB and BLOB
// (through temporary LOBs and through the returning part), LONG and LONG RAW,
// of 0 bytes, 1 byte and 5 MB, stored compressed or not; the stream's own
// rules of reading, writing past the end and seeking.
#include <memory>
#include <string>

#include "db/field.h"
#include "oracle/dataset/blob_compression.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

std::string pattern(size_t size, bool text) {
  std::string value(size, '\0');
  for (size_t i = 0; i < size; ++i)
    value[i] = text ? static_cast<char>('a' + i % 26) : static_cast<char>((i * 7 + i / 251) & 0xFF);
  return value;
}

class BlobWriteTest : public DataSetTest {
 protected:
  // Posts values of 0, 1 and 5 MB into `column` of `table` and reads them back through a new dataset.
  void RoundTrip(const std::string& table, const std::string& column, bool text, bool compress) {
    const std::string sql = "select rowid, id, " + column + " from " + table + " order by id";
    auto writer = MakeDataSet(sql);
    writer->CompressBLOBs = compress;
    writer->Open();
    const size_t sizes[] = {0, 1, size_t{5} << 20};
    for (int i = 0; i < 3; ++i) {
      writer->Append();
      writer->FieldByName("ID")->SetAsInteger(i);
      writer->FieldByName(column)->SetAsString(pattern(sizes[i], text));
      writer->Post();
    }
    auto reader = OpenDataSet(sql);
    for (int i = 0; i < 3; ++i, reader->Next()) {
      TField* field = reader->FieldByName(column);
      EXPECT_EQ(field->IsNull(), sizes[i] == 0) << table << " " << sizes[i];
      EXPECT_TRUE(field->AsString() == pattern(sizes[i], text)) << table << " value of " << sizes[i] << " bytes";
    }
  }
  std::string StoredBytes(const std::string& sql) {
    TOracleQuery query;
    query.SetSession(session.get());
    query.SQL().SetText(sql);
    query.Execute();
    const Variant value = query.FieldValue(0);
    if (value.IsBytes()) {
      const auto bytes = value.AsBytes();
      return std::string(bytes.begin(), bytes.end());
    }
    return VarToStr(value);
  }
};
KVELL_DATASET_INTERFACES(BlobWriteTest);

TEST_P(BlobWriteTest, long_values_round_trip_plain) {
  Exec("create table longs (id number(4), l long)");
  RoundTrip("longs", "L", true, false);
}

TEST_P(BlobWriteTest, long_raw_values_round_trip_plain_and_compressed) {
  Exec("create table raws (id number(4), r long raw)");
  RoundTrip("raws", "R", false, false);
  Exec("delete from raws");
  session->Commit();
  RoundTrip("raws", "R", false, true);
  const std::string stored = StoredBytes("select r from raws where id = 2");
  ASSERT_GE(stored.size(), 8u);
  EXPECT_EQ(stored.substr(0, 8), std::string("\x91\x00\xA6\x38\x88\xB7\xCC\x1B", 8)) << "stored with the header";
  EXPECT_LT(stored.size(), size_t{5} << 20);
}

TEST_P(BlobWriteTest, lob_values_round_trip_through_temporary_lobs_and_the_returning_part) {
  if (OCI7()) GTEST_SKIP() << "LOB columns need the OCI8 interface";
  Exec("create table docs (id number(4), c clob, b blob)");
  for (TTemporaryLOBOption temporary : {tlCache, tlNone}) {
    session->Preferences().TemporaryLOB = temporary;
    RoundTrip("docs", "C", true, false);
    Exec("delete from docs");
    RoundTrip("docs", "B", false, true);
    const std::string stored = StoredBytes("select b from docs where id = 2");
    EXPECT_EQ(stored.substr(0, 8), std::string("\x91\x00\xA6\x38\x88\xB7\xCC\x1B", 8));
    Exec("delete from docs");
    session->Commit();
  }
}

TEST_P(BlobWriteTest, an_edited_blob_is_posted_only_when_written) {
  Exec("create table notes (id number(4), n long, t varchar2(10))");
  Exec("insert into notes values (1, 'first text', 'a')");
  session->Commit();
  auto notes = OpenDataSet("select rowid, id, n, t from notes");
  notes->Edit();
  notes->FieldByName("T")->SetAsString("b");
  notes->Post();
  EXPECT_EQ(notes->DMLQuery()->SQL().Text().find("N ="), std::string::npos) << "the unchanged long is not sent";
  EXPECT_EQ(StoredBytes("select n from notes"), "first text");
  notes->Edit();
  notes->FieldByName("N")->SetAsString("second");
  notes->Post();
  EXPECT_EQ(StoredBytes("select n from notes"), "second");
  EXPECT_EQ(notes->FieldByName("N")->AsString(), "second");
  notes->Edit();
  notes->FieldByName("N")->Clear();
  notes->Post();
  EXPECT_TRUE(notes->FieldByName("N")->IsNull()) << "a value written as an empty stream is null";
  EXPECT_EQ(StoredBytes("select n from notes"), "");
}

TEST_P(BlobWriteTest, streams_read_write_and_seek_without_clamping) {
  Exec("create table notes (id number(4), n long)");
  Exec("insert into notes values (1, null)");
  Exec("insert into notes values (2, '" + pattern(100, true) + "')");
  session->Commit();
  auto notes = OpenDataSet("select rowid, id, n from notes order by id");
  TField* n = notes->FieldByName("N");
  {
    auto stream = notes->CreateBlobStream(n, bmRead);
    EXPECT_EQ(stream->Size(), 0) << "a record without blob values";
    char byte;
    EXPECT_EQ(stream->Read(&byte, 1), 0);
  }
  EXPECT_EQ(MessageOf([&] { notes->CreateBlobStream(n, bmWrite); }), db_messages::NotEditing);
  notes->Next();
  notes->Edit();
  {
    auto stream = notes->CreateBlobStream(n, bmReadWrite);
    EXPECT_EQ(stream->Size(), 100);
    stream->Write("0123456789", 10);
    EXPECT_EQ(stream->Size(), 100);
    EXPECT_EQ(stream->Seek(95, soBeginning), 95);
    stream->Write("0123456789", 10);
    EXPECT_EQ(stream->Size(), 105);
    EXPECT_EQ(stream->Seek(200, soBeginning), 200) << "no clamping";
    char buffer[4];
    EXPECT_EQ(stream->Read(buffer, 4), 0);
    EXPECT_EQ(stream->Seek(-5, soEnd), 100);
    EXPECT_EQ(stream->Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "5678");
  }
  EXPECT_TRUE(static_cast<TBlobField*>(n)->Modified);
  notes->Post();
  const std::string expected = "0123456789" + pattern(100, true).substr(10, 85) + "0123456789";
  EXPECT_EQ(StoredBytes("select n from notes where id = 2"), expected);
}

TEST_P(BlobWriteTest, a_cancelled_edit_drops_the_written_value) {
  Exec("create table notes (id number(4), n long)");
  Exec("insert into notes values (1, 'kept')");
  session->Commit();
  auto notes = OpenDataSet("select rowid, id, n from notes");
  notes->Edit();
  notes->FieldByName("N")->SetAsString("dropped");
  EXPECT_EQ(notes->FieldByName("N")->AsString(), "dropped");
  notes->Cancel();
  EXPECT_EQ(notes->FieldByName("N")->AsString(), "kept");
  EXPECT_FALSE(static_cast<TBlobField*>(notes->FieldByName("N"))->Modified);
}

}  // namespace
}  // namespace kvell::testing
