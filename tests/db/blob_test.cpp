#include <gtest/gtest.h>

#include "tests/db/test_dataset.h"

namespace kvell {
namespace {

using testing::make_people;

std::string read_all(TStream& stream) {
  std::string text(static_cast<size_t>(stream.Size()), '\0');
  text.resize(static_cast<size_t>(stream.Read(text.data(), static_cast<int64_t>(text.size()))));
  return text;
}

void write(TDataSet& ds, const std::string& field, TBlobStreamMode mode, int64_t position, const std::string& bytes) {
  auto stream = ds.CreateBlobStream(ds.FieldByName(field), mode);
  stream->Seek(position, soBeginning);
  stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

TEST(BlobStreamTest, a_record_without_a_value_reads_nothing) {
  auto ds = make_people(1);
  auto stream = ds->CreateBlobStream(ds->FieldByName("NOTES"), bmRead);
  EXPECT_EQ(stream->Size(), 0);
  char byte;
  EXPECT_EQ(stream->Read(&byte, 1), 0);
  EXPECT_TRUE(ds->FieldByName("NOTES")->IsNull());
}

TEST(BlobStreamTest, writing_needs_edit_mode) {
  auto ds = make_people(1);
  try {
    ds->CreateBlobStream(ds->FieldByName("NOTES"), bmWrite);
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, "Dataset not in edit or insert mode");
  }
  EXPECT_THROW(ds->CreateBlobStream(ds->FieldByName("NOTES"), bmReadWrite), EDatabaseError);
}

TEST(BlobStreamTest, write_read_write_and_read_modes_edit_the_value) {
  auto ds = make_people(2);
  ds->Edit();
  write(*ds, "NOTES", bmWrite, 0, std::string(100, 'a'));
  EXPECT_TRUE(static_cast<TBlobField*>(ds->FieldByName("NOTES"))->Modified);
  write(*ds, "NOTES", bmReadWrite, 0, std::string(10, 'b'));
  EXPECT_EQ(ds->FieldByName("NOTES")->AsString().size(), 100u) << "overwriting inside keeps the length";
  write(*ds, "NOTES", bmReadWrite, 95, std::string(10, 'c'));
  std::string value = ds->FieldByName("NOTES")->AsString();
  EXPECT_EQ(value.size(), 105u);
  EXPECT_EQ(value.substr(0, 11), std::string(10, 'b') + "a");
  EXPECT_EQ(value.substr(95), std::string(10, 'c'));
  ds->Post();
  ds->Next();
  EXPECT_TRUE(ds->FieldByName("NOTES")->IsNull()) << "the value belongs to the first record only";
  ds->First();
  auto stream = ds->CreateBlobStream(ds->FieldByName("NOTES"), bmRead);
  EXPECT_EQ(read_all(*stream), value);
  EXPECT_EQ(ds->FieldByName("NOTES")->DisplayText(), "(MEMO)");
}

TEST(BlobStreamTest, write_mode_truncates_and_an_empty_value_posts_as_null) {
  auto ds = make_people(1);
  ds->Edit();
  ds->FieldByName("NOTES")->SetAsString("keep?");
  ds->Post();
  ds->Edit();
  { auto truncated = ds->CreateBlobStream(ds->FieldByName("NOTES"), bmWrite); }
  EXPECT_TRUE(ds->FieldByName("NOTES")->IsNull());
  EXPECT_EQ(ds->FieldByName("NOTES")->OldValue().AsString(), "keep?");
  ds->Post();
  EXPECT_TRUE(ds->FieldByName("NOTES")->IsNull());
  EXPECT_EQ(ds->FieldByName("NOTES")->DisplayText(), "(Memo)");
}

TEST(BlobStreamTest, cancel_discards_the_working_copy_and_changes_are_announced) {
  auto ds = make_people(1);
  int changes = 0;
  ds->FieldByName("NOTES")->OnChange = [&](TField*) { ++changes; };
  ds->Edit();
  ds->FieldByName("NOTES")->SetAsString("draft");
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(ds->Modified());
  ds->Cancel();
  EXPECT_TRUE(ds->FieldByName("NOTES")->IsNull());
  ds->Append();
  ds->FieldByName("NOTES")->SetAsVariant(Variant::FromBytes({0, 1, 2}));
  ds->Post();
  EXPECT_EQ(ds->FieldByName("NOTES")->AsString(), std::string("\0\1\2", 3));
}

}  // namespace
}  // namespace kvell
