// How columns of each Oracle type become fields and how their values are
// held: numbers by precision, strings by size, dates, LONG and LONG RAW
// through both interfaces; LOBs, timestamps, objects, collections,
// references and XML documents through OCI8.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/session/oracle_session.h"
#include "runtime/datetime.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class ColumnTypesTest : public DataSetTest {};
KVELL_DATASET_INTERFACES(ColumnTypesTest);

TEST_P(ColumnTypesTest, numbers_strings_dates_and_longs_map_to_their_field_types) {
  Exec("create table kinds (n4 number(4), n5 number(5), f number(9,2), s varchar2(4000), c char(5), "
       "d date, l long)");
  Exec("insert into kinds values (1234, 54321, 12.5, '  text  ', 'ab', "
       "to_date('2024-02-29 13:14:15','YYYY-MM-DD HH24:MI:SS'), 'long text')");
  Exec("insert into kinds (n4) values (-7)");
  session->Preferences().SetSmallIntPrecision(0);
  auto kinds = OpenDataSet("select * from kinds order by n4 desc");
  EXPECT_EQ(kinds->FieldByName("N4")->DataType(), ftSmallint);
  EXPECT_EQ(kinds->FieldByName("N5")->DataType(), ftInteger);
  EXPECT_EQ(kinds->FieldByName("F")->DataType(), ftFloat);
  EXPECT_EQ(kinds->FieldByName("S")->DataType(), ftString);
  EXPECT_EQ(kinds->FieldByName("S")->Size(), 4000);
  EXPECT_EQ(kinds->FieldByName("C")->DataType(), ftString);
  EXPECT_EQ(kinds->FieldByName("D")->DataType(), ftDateTime);
  EXPECT_EQ(kinds->FieldByName("L")->DataType(), ftMemo);

  kinds->First();
  EXPECT_EQ(kinds->FieldByName("N4")->AsInteger(), 1234);
  EXPECT_EQ(kinds->FieldByName("N5")->AsInteger(), 54321);
  EXPECT_DOUBLE_EQ(kinds->FieldByName("F")->AsFloat(), 12.5);
  EXPECT_EQ(kinds->FieldByName("S")->AsString(), "  text") << "TrimStringFields trims the right end only";
  EXPECT_EQ(kinds->FieldByName("C")->AsString(), "ab");
  EXPECT_DOUBLE_EQ(kinds->FieldByName("D")->AsDateTime(),
                   EncodeDate(2024, 2, 29) + EncodeTime(13, 14, 15, 0));
  EXPECT_EQ(kinds->FieldByName("L")->AsString(), "long text");
  kinds->Next();
  EXPECT_EQ(kinds->FieldByName("N4")->AsInteger(), -7);
  for (const char* name : {"N5", "F", "S", "C", "D", "L"}) EXPECT_TRUE(kinds->FieldByName(name)->IsNull()) << name;
}

TEST_P(ColumnTypesTest, the_session_preferences_decide_small_integers_and_memos) {
  Exec("create table kinds (n4 number(4), s2 varchar2(2000), s4 varchar2(4000))");
  Exec("insert into kinds values (12, 'short', 'wide')");
  auto kinds = OpenDataSet("select * from kinds");
  EXPECT_EQ(kinds->FieldByName("N4")->DataType(), ftInteger) << "SmallIntPrecision -1: never small";
  kinds->Close();
  session->Preferences().SetSmallIntPrecision(3);
  session->Preferences().SetMaxStringFieldSize(2000);
  kinds->Open();
  EXPECT_EQ(kinds->FieldByName("N4")->DataType(), ftInteger) << "precision 4 exceeds 3";
  EXPECT_EQ(kinds->FieldByName("S2")->DataType(), ftString);
  EXPECT_EQ(kinds->FieldByName("S4")->DataType(), ftMemo);
  EXPECT_EQ(kinds->FieldByName("S4")->AsString(), "wide");
}

TEST_P(ColumnTypesTest, long_raw_values_are_held_in_the_records_blob_list_and_read_as_bytes) {
  Exec("create table raws (id number(4), r long raw)");
  Exec("insert into raws values (1, hextoraw('00FF10'))");
  Exec("insert into raws values (2, null)");
  auto raws = OpenDataSet("select id, r from raws order by id");
  TField* r = raws->FieldByName("R");
  EXPECT_EQ(r->DataType(), ftBlob);
  EXPECT_EQ(r->AsString(), std::string("\x00\xFF\x10", 3));
  EXPECT_EQ(static_cast<TBlobField*>(r)->BlobSize(), 3);
  raws->Next();
  EXPECT_TRUE(r->IsNull());
  EXPECT_EQ(r->AsString(), "");
  EXPECT_EQ(MessageOf([&] { static_cast<TBlobField*>(r)->LoadFromStream(*std::make_unique<TMemoryStream>()); }),
            db_messages::NotEditing)
      << "writing a blob field needs an edit";
}

TEST_P(ColumnTypesTest, required_follows_nullability_when_the_dictionary_asks_for_it) {
  Exec("create table req (a number(4) not null, b number(4))");
  auto req = OpenDataSet("select a, b from req");
  EXPECT_TRUE(req->FieldByName("A")->Required);
  EXPECT_FALSE(req->FieldByName("B")->Required);
  req->Close();
  req->OracleDictionary.SetRequiredFields(false);
  req->Open();
  EXPECT_FALSE(req->FieldByName("A")->Required);
}

class OCI8ColumnTypesTest : public DataSetTest {};
INSTANTIATE_TEST_SUITE_P(Interfaces, OCI8ColumnTypesTest, ::testing::Values(Interface::OCI8), InterfaceName);

TEST_P(OCI8ColumnTypesTest, lob_columns_are_held_as_bytes_and_text) {
  Exec("create table lobs (id number(4), c clob, nc nclob, b blob)");
  Exec("insert into lobs values (1, 'character data', 'national data', hextoraw('DEADBEEF'))");
  Exec("insert into lobs values (2, empty_clob(), null, empty_blob())");
  auto lobs = OpenDataSet("select id, c, nc, b from lobs order by id");
  EXPECT_EQ(lobs->FieldByName("C")->DataType(), ftOraClob);
  EXPECT_EQ(lobs->FieldByName("NC")->DataType(), ftOraClob);
  EXPECT_EQ(lobs->FieldByName("B")->DataType(), ftOraBlob);
  EXPECT_EQ(lobs->FieldByName("C")->AsString(), "character data");
  EXPECT_EQ(lobs->FieldByName("NC")->AsString(), "national data");
  EXPECT_EQ(lobs->FieldByName("B")->AsString(), "\xDE\xAD\xBE\xEF");
  EXPECT_EQ(lobs->FieldByName("C")->AsVariant().AsString(), "character data");
  lobs->Next();
  for (const char* name : {"C", "NC", "B"}) EXPECT_TRUE(lobs->FieldByName(name)->IsNull()) << "empty LOBs hold no value";
}

TEST_P(OCI8ColumnTypesTest, a_binary_file_column_reads_the_files_bytes) {
  const auto dir = std::filesystem::path(database_).parent_path() / "dataset_files";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "data.bin", std::ios::binary) << "file bytes";
  Exec("create or replace directory ds_dir as '" + dir.string() + "'");
  Exec("create table files (id number(4), f bfile)");
  Exec("insert into files values (1, bfilename('DS_DIR', 'data.bin'))");
  auto files = OpenDataSet("select id, f from files");
  EXPECT_EQ(files->FieldByName("F")->DataType(), ftOraBlob);
  EXPECT_EQ(files->FieldByName("F")->AsString(), "file bytes");
}

TEST_P(OCI8ColumnTypesTest, the_three_timestamp_kinds_are_date_times) {
  Exec("create table events (t timestamp(3), tz timestamp(3) with time zone, tl timestamp with local time zone)");
  Exec("insert into events values (timestamp '2020-05-06 07:08:09', timestamp '2020-05-06 07:08:09', "
       "timestamp '2020-05-06 07:08:09')");
  auto events = OpenDataSet("select t, tz, tl from events");
  for (const char* name : {"T", "TZ", "TL"}) {
    EXPECT_EQ(events->FieldByName(name)->DataType(), ftDateTime) << name;
    EXPECT_NEAR(events->FieldByName(name)->AsDateTime(), EncodeDate(2020, 5, 6) + EncodeTime(7, 8, 9, 0), 1e-5)
        << name;
  }
}

TEST_P(OCI8ColumnTypesTest, object_columns_become_attribute_fields_and_collections_none) {
  Exec("create type t_address as object (city varchar2(20), zip number(5))");
  Exec("create type t_tags as varray(5) of varchar2(10)");
  Exec("create table homes (id number(4), addr t_address, tags t_tags)");
  Exec("insert into homes values (1, t_address('LJUBLJANA', 1000), t_tags('a', 'b'))");
  Exec("insert into homes values (2, null, null)");
  auto homes = OpenDataSet("select id, addr, tags from homes order by id");
  std::vector<std::string> names;
  for (TField* field : homes->Fields()) names.push_back(field->FieldName());
  EXPECT_EQ(names, (std::vector<std::string>{"ID", "ADDR.CITY", "ADDR.ZIP"}));
  EXPECT_EQ(homes->FieldByName("ADDR.CITY")->AsString(), "LJUBLJANA");
  EXPECT_EQ(homes->FieldByName("ADDR.ZIP")->AsInteger(), 1000);
  TOracleFieldInfo* addr = homes->FieldInfos().Find("ADDR");
  ASSERT_NE(addr, nullptr);
  EXPECT_EQ(addr->Children.size(), 2u);
  EXPECT_TRUE(homes->FieldInfos().Find("TAGS")->ObjectIsCollection);
  homes->Next();
  EXPECT_TRUE(homes->FieldByName("ADDR.CITY")->IsNull());
  EXPECT_TRUE(homes->FieldByName("ADDR.ZIP")->IsNull());
}

TEST_P(OCI8ColumnTypesTest, references_are_strings_of_256_and_xml_documents_character_lobs) {
  Exec("create type t_point as object (x number, y number)");
  Exec("create table pt_tab of t_point");
  Exec("insert into pt_tab values (1, 10)");
  Exec("create table docs (id number(4), x sys.xmltype, r ref t_point)");
  Exec("insert into docs select 1, xmltype('<r><a>1</a></r>'), ref(p) from pt_tab p");
  auto docs = OpenDataSet("select id, x, r from docs");
  EXPECT_EQ(docs->FieldByName("X")->DataType(), ftOraClob);
  EXPECT_EQ(docs->FieldByName("X")->AsString(), "<r><a>1</a></r>");
  EXPECT_TRUE(docs->FieldInfos().Find("X")->IsXML);
  TField* r = docs->FieldByName("R");
  EXPECT_EQ(r->DataType(), ftString);
  EXPECT_EQ(r->Size(), 256);
  EXPECT_EQ(r->AsString(), QueryValue(*session, "select r from docs"));
}

}  // namespace
}  // namespace kvell::testing
