// TLOBLocator on ociemu: refusals, seeking and resizing, CLOB/NCLOB/BLOB
// round trips through LOB columns and returning binds, temporary LOBs bound
// into DML, BFILEs read from a real file, and a killed session.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "runtime/date_text.h"
#include "runtime/datetime.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

// Bytes of every value, newlines and zeros included, in a pattern a
// shifted or truncated copy does not reproduce.
std::string pattern(size_t size, bool text) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    const auto mixed = static_cast<unsigned>((i * 2654435761u) >> 7);
    data[i] = text ? static_cast<char>('a' + mixed % 26) : static_cast<char>(mixed & 0xFF);
  }
  return data;
}

std::string contents(TMemoryStream& stream) {
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

class LOBTest : public ConnectedQueryTest<SessionTest> {
 protected:
  TLOBLocator& ColumnLOB(int index) { return dynamic_cast<TLOBLocator&>(*query->FieldLOB(index)); }
  void CreateDocs() { Exec("create table docs (id number(9), c clob, n nclob, b blob)"); }

  // Inserts a row and writes `data` through the locator the insert returns.
  void InsertThroughReturning(int id, const std::string& column, int lob_type, const std::string& data) {
    TLOBLocator locator(session.get(), lob_type);
    query->DeleteVariables();
    query->DeclareVariable("id", 3);
    query->DeclareVariable("lob", lob_type == otNCLOB ? otCLOB : lob_type);
    query->SetVariable("id", id);
    query->SetComplexVariable("lob", &locator);
    const std::string empty = lob_type == otBLOB ? "empty_blob()" : "empty_clob()";
    Exec("insert into docs (id, " + column + ") values (:id, " + empty + ") returning " + column + " into :lob");
    ASSERT_FALSE(locator.IsNull());
    EXPECT_EQ(locator.LOBLength(), 0);
    TMemoryStream source;
    source.Write(data.data(), static_cast<int64_t>(data.size()));
    EXPECT_EQ(locator.CopyFrom(source, 0), static_cast<int64_t>(data.size()));
    EXPECT_EQ(locator.Size(), static_cast<int64_t>(data.size()));
    query->DeleteVariables();
  }

  std::string ReadBack(int id, const std::string& column) {
    Exec("select " + column + " from docs where id = " + std::to_string(id));
    EXPECT_FALSE(query->Eof());
    TMemoryStream target;
    TLOBLocator& locator = ColumnLOB(0);
    locator.Seek(0, soBeginning);
    target.CopyFrom(locator, locator.Size());
    return contents(target);
  }
};

TEST_F(LOBTest, creation_refusals_and_the_nclob_property) {
  EXPECT_EQ(MessageOf([&] { TLOBLocator bad(session.get(), 5); }), kLOBBadType);
  EXPECT_EQ(MessageOf([&] { TLOBLocator none(nullptr, otCLOB); }), "A TLOBLocator instance requires a session");
  EXPECT_EQ(session->Clients(skLOBLocator).Count(), 0) << "a refused locator stays in the session's list";

  TLOBLocator blob(session.get(), otBLOB);
  EXPECT_EQ(session->Clients(skLOBLocator).Count(), 1);
  EXPECT_EQ(MessageOf([&] { blob.SetNCLOB(true); }), kLOBNCLOBOnlyForCLOB);
  EXPECT_FALSE(blob.NCLOB());

  std::unique_ptr<TLOBLocator> national(TLOBLocator::CreateTemporary(session.get(), otNCLOB, true));
  EXPECT_TRUE(national->NCLOB());
  EXPECT_EQ(national->LOBType(), otCLOB);
  EXPECT_TRUE(national->IsTemporary());
  national->SetNCLOB(false);
  EXPECT_FALSE(national->NCLOB());
  national.reset();
  EXPECT_EQ(session->Clients(skLOBLocator).Count(), 1);

  TOracleSession offline;
  EXPECT_EQ(MessageOf([&] { TLOBLocator off(&offline, otCLOB); }),
            "A TLOBLocator instance requires a connected session");
}

TEST_F(LOBTest, a_null_locator_reads_nothing_and_clear_makes_a_temporary_null) {
  TLOBLocator empty(session.get(), otCLOB);
  char buffer[8] = {};
  EXPECT_TRUE(empty.IsNull());
  EXPECT_EQ(empty.Read(buffer, 8), 0);
  EXPECT_EQ(empty.LOBLength(), 0);
  EXPECT_FALSE(empty.IsTemporary());

  std::unique_ptr<TLOBLocator> temp(TLOBLocator::CreateTemporary(session.get(), otCLOB, false));
  EXPECT_FALSE(temp->IsNull());
  EXPECT_EQ(temp->Write("hello", 5), 5);
  EXPECT_EQ(temp->Read(buffer, 0), 0);
  temp->Seek(1, soBeginning);
  EXPECT_EQ(temp->Read(buffer, 8), 4);
  EXPECT_EQ(std::string(buffer, 4), "ello");
  temp->Clear();
  EXPECT_TRUE(temp->IsNull());
  EXPECT_EQ(temp->LOBLength(), 0);
  EXPECT_EQ(temp->Read(buffer, 8), 0);
}

TEST_F(LOBTest, seeking_has_no_bounds_and_resizing_trims_or_pads) {
  std::unique_ptr<TLOBLocator> clob(TLOBLocator::CreateTemporary(session.get(), otCLOB, true));
  clob->Write("abc", 3);
  EXPECT_EQ(clob->Seek(0, soEnd), 3);
  EXPECT_EQ(clob->Seek(-4, soCurrent), -1);
  EXPECT_EQ(clob->Seek(10, soBeginning), 10);
  clob->SetSize(3);
  EXPECT_EQ(clob->AsString(), "abc");
  clob->SetSize(6);
  EXPECT_EQ(clob->LOBLength(), 6);
  EXPECT_EQ(clob->AsString(), "abc   ");
  clob->SetSize(2);
  EXPECT_EQ(clob->AsString(), "ab");

  std::unique_ptr<TLOBLocator> blob(TLOBLocator::CreateTemporary(session.get(), otBLOB, true));
  blob->Write("\x01", 1);
  blob->SetSize(4);
  EXPECT_EQ(blob->AsString(), std::string("\x01\0\0\0", 4));
}

TEST_F(LOBTest, clob_nclob_and_blob_round_trip_through_returning_binds_and_columns) {
  CreateDocs();
  int id = 0;
  for (size_t size : {size_t{0}, size_t{1}, size_t{5} << 20}) {
    const std::string text = pattern(size, true);
    const std::string bytes = pattern(size, false);
    InsertThroughReturning(++id, "c", otCLOB, text);
    EXPECT_TRUE(ReadBack(id, "c") == text) << "CLOB of " << size;
    InsertThroughReturning(++id, "n", otNCLOB, text);
    EXPECT_TRUE(ReadBack(id, "n") == text) << "NCLOB of " << size;
    EXPECT_TRUE(ColumnLOB(0).NCLOB());
    InsertThroughReturning(++id, "b", otBLOB, bytes);
    EXPECT_TRUE(ReadBack(id, "b") == bytes) << "BLOB of " << size;
  }
}

TEST_F(LOBTest, column_values_follow_the_current_row_across_fetch_arrays) {
  CreateDocs();
  Exec("insert into docs (id, c, b) values (1, 'one', hextoraw('0AFF'))");
  Exec("insert into docs (id, c, b) values (2, empty_clob(), empty_blob())");
  Exec("insert into docs (id, c, b) values (3, 'line1' || chr(10) || 'line2', null)");
  query->SetReadBuffer(2);
  Exec("select c, b from docs order by id");
  EXPECT_EQ(query->FieldValue(0).AsString(), "one");
  EXPECT_EQ(query->FieldValue(1).AsBytes(), (std::vector<uint8_t>{0x0A, 0xFF}));
  query->Next();
  EXPECT_FALSE(query->FieldIsNull(0));
  EXPECT_FALSE(ColumnLOB(0).IsNull());
  EXPECT_TRUE(query->FieldValue(0).IsEmpty()) << "an empty LOB reads as the null value";
  query->Next();
  EXPECT_EQ(query->FieldValue(0).AsString(), "line1\r\nline2");
  EXPECT_TRUE(query->FieldIsNull(1));
  EXPECT_TRUE(ColumnLOB(1).IsNull());
  session->Preferences().ConvertCRLF = false;
  EXPECT_EQ(ColumnLOB(0).AsString(), "line1\nline2");
  query->Next();
  EXPECT_TRUE(query->Eof());
  EXPECT_EQ(MessageOf([&] { query->FieldLOB(5); }).empty(), false);
}

TEST_F(LOBTest, a_temporary_lob_bound_into_an_insert_reaches_the_table) {
  CreateDocs();
  std::unique_ptr<TLOBLocator> temp(TLOBLocator::CreateTemporary(session.get(), otCLOB, true));
  const std::string text = pattern(70000, true);
  temp->Write(text.data(), static_cast<int64_t>(text.size()));
  query->DeclareVariable("c", otCLOB);
  query->SetComplexVariable("c", temp.get());
  Exec("insert into docs (id, c) values (6, :c)");
  query->DeleteVariables();
  EXPECT_TRUE(ReadBack(6, "c") == text) << "a temporary LOB bound into SQL";

  query->DeclareVariable("c", otCLOB);
  EXPECT_EQ(MessageOf([&] { Exec("insert into docs (id, c) values (8, :c)"); }),
            "LOB variable :C cannot be nil");
}

// The locator has read the old LOB before, so only the reconciliation after
// the execute tells it that the OUT value is now null.
TEST_F(LOBTest, a_locator_that_receives_a_null_out_value_reads_null_and_stays_attached) {
  CreateDocs();
  TLOBLocator locator(session.get(), otCLOB);
  query->DeclareVariable("lob", otCLOB);
  query->SetComplexVariable("lob", &locator);
  Exec("insert into docs (id, c) values (1, 'old text') returning c into :lob");
  ASSERT_FALSE(locator.IsNull());
  EXPECT_EQ(locator.AsString(), "old text");

  Exec("insert into docs (id, c) values (2, null) returning c into :lob");
  EXPECT_TRUE(locator.IsNull());
  EXPECT_EQ(locator.LOBLength(), 0);
  EXPECT_EQ(locator.AsString(), "");
  EXPECT_EQ(VariantToObject(query->GetVariable("lob")), &locator) << "the indicator is reset to 0";

  Exec("insert into docs (id, c) values (3, 'new') returning c into :lob");
  EXPECT_EQ(locator.AsString(), "new") << "the cleared locator takes the next value";
}

TEST_F(LOBTest, a_bfile_opens_on_first_read_and_stays_open_until_closed) {
  const auto dir = std::filesystem::path(database_).parent_path() / "lob_files";
  std::filesystem::create_directories(dir);
  const std::string bytes = pattern(100000, false);
  std::ofstream(dir / "image.bin", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Exec("create or replace directory lob_dir as '" + dir.string() + "'");
  Exec("create table files (f bfile)");
  Exec("insert into files values (bfilename('LOB_DIR', 'image.bin'))");
  Exec("select f from files");
  TLOBLocator& file = ColumnLOB(0);
  EXPECT_FALSE(file.FileIsOpen());
  EXPECT_EQ(file.LOBLength(), static_cast<int64_t>(bytes.size()));
  char head[4] = {};
  EXPECT_EQ(file.Read(head, 4), 4);
  EXPECT_TRUE(file.FileIsOpen());
  EXPECT_EQ(std::string(head, 4), bytes.substr(0, 4));
  EXPECT_TRUE(query->FieldValue(0).AsBytes() == std::vector<uint8_t>(bytes.begin(), bytes.end()));
  file.CloseFile();
  EXPECT_FALSE(file.FileIsOpen());
  EXPECT_EQ(MessageOf([&] { file.SetNCLOB(true); }), kLOBNCLOBOnlyForCLOB);
}

TEST_F(LOBTest, a_killed_session_fails_the_lob_read_with_end_of_file_on_channel) {
  std::unique_ptr<TLOBLocator> temp(TLOBLocator::CreateTemporary(session.get(), otBLOB, true));
  temp->Write("abcdef", 6);
  temp->Seek(0, soBeginning);
  ASSERT_EQ(EmulatorHooks::KillSession(session->ServiceContext()), 0);
  char buffer[6];
  try {
    temp->Read(buffer, 6);
    FAIL() << "the read on a killed session passed";
  } catch (const EOracleError& e) {
    EXPECT_EQ(e.ErrorCode, 3113);
  }
  EXPECT_EQ(temp->Position(), 0) << "a failed read moved the position";
}

// What the query's accessors make of LOB and timestamp columns, and the
// refusals of the conversions they have none for.
TEST_F(LOBTest, lob_and_timestamp_columns_through_the_field_accessors) {
  Exec("create table mixed (id number, c clob, b blob, t timestamp(3))");
  Exec("insert into mixed values (1, 'line one', hextoraw('41420043'), "
       "to_timestamp('2026-12-09 10:20:30.250', 'yyyy-mm-dd hh24:mi:ss.ff3'))");
  Exec("insert into mixed values (2, null, null, null)");
  Exec("select c, b, t from mixed order by id");
  EXPECT_EQ(query->FieldText(0), "line one");
  EXPECT_EQ(query->FieldValue(0).AsString(), "line one");
  EXPECT_EQ(query->FieldText(1), std::string("AB\0C", 4));
  EXPECT_TRUE(query->FieldValue(1).AsBytes() == (std::vector<uint8_t>{0x41, 0x42, 0x00, 0x43}));
  const TDateTime moment = EncodeDate(2026, 12, 9) + EncodeTime(10, 20, 30, 250);
  EXPECT_EQ(query->FieldText(2), FormatDateTime("ddddd tt", moment));
  EXPECT_NEAR(query->FieldDate(2), moment, 1e-9);
  EXPECT_EQ(MessageOf([&] { query->FieldInteger(0); }), "Cannot convert field C to an Integer");
  EXPECT_EQ(MessageOf([&] { query->FieldFloat(1); }), "Cannot convert field B to a Float");
  EXPECT_EQ(MessageOf([&] { query->FieldDate(0); }), "Cannot convert field C to a Date");
  EXPECT_EQ(MessageOf([&] { query->FieldLOB(2); }), "Field 2 is not a LOB");

  query->Next();
  for (int column = 0; column < 3; ++column) {
    EXPECT_TRUE(query->FieldIsNull(column)) << column;
    EXPECT_EQ(query->FieldText(column), "") << column;
    EXPECT_TRUE(query->FieldValue(column).IsEmpty()) << column;
  }
  EXPECT_TRUE(ColumnLOB(0).IsNull());
  EXPECT_EQ(ColumnLOB(1).LOBLength(), 0);
  EXPECT_EQ(query->FieldDate(2), 0);
}

}  // namespace
}  // namespace kvell::testing
