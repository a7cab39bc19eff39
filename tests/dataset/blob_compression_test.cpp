// Compressed binary values: the stored form with the signature, the
// application's own coder, the running totals, and decompression of fetched
// values whether or not CompressBLOBs is on.
#include <string>

#include "oracle/compress/stored_blob.h"
#include "oracle/dataset/blob_compression.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

const std::string kText = "a value that repeats, a value that repeats, a value that repeats";

TEST(BlobCompression, the_stored_form_is_the_signature_and_the_compressed_stream) {
  TBlobCompressionTotals totals;
  const std::string stored = CompressBlobValue(kText, nullptr, totals);
  ASSERT_GT(stored.size(), 8u);
  EXPECT_EQ(stored.substr(0, 8), std::string(kCompressedBlobSignature.begin(), kCompressedBlobSignature.end()));
  EXPECT_LT(stored.size(), kText.size());
  EXPECT_EQ(totals.BytesBefore, static_cast<double>(kText.size()));
  EXPECT_EQ(totals.BytesAfter, static_cast<double>(stored.size()));
  EXPECT_EQ(DecompressBlobValue(stored, false, nullptr), kText);
  EXPECT_EQ(CompressBlobValue("", nullptr, totals), "");
  EXPECT_EQ(totals.BytesBefore, static_cast<double>(kText.size())) << "an empty value is not counted";
}

TEST(BlobCompression, an_application_coder_replaces_the_built_in_one_and_an_empty_result_keeps_the_value) {
  TBlobCompressionTotals totals;
  auto reverse = [](TMemoryStream& in, TMemoryStream& out) {
    std::string bytes = in.AsString();
    EXPECT_EQ(in.Position(), 0);
    bytes.assign(bytes.rbegin(), bytes.rend());
    out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  };
  EXPECT_EQ(CompressBlobValue("abc", reverse, totals), "cba");
  EXPECT_EQ(DecompressBlobValue("cba", true, reverse), "abc");
  EXPECT_EQ(DecompressBlobValue("cba", false, reverse), "cba") << "the event runs only with CompressBLOBs on";
  auto nothing = [](TMemoryStream&, TMemoryStream&) {};
  EXPECT_EQ(CompressBlobValue("abc", nothing, totals), "abc");
  EXPECT_EQ(DecompressBlobValue("abc", true, nothing), "abc");
  const std::string eight = std::string(kCompressedBlobSignature.begin(), kCompressedBlobSignature.end());
  EXPECT_EQ(DecompressBlobValue(eight, false, nullptr), eight) << "the signature alone is a plain value";
}

class CompressedColumnTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    Exec("create table stored (id number(4), v long raw)");
    TBlobCompressionTotals totals;
    const std::string packed = CompressBlobValue(kText, nullptr, totals);
    TOracleQuery insert;
    insert.SetSession(session.get());
    insert.SQL().SetText("insert into stored values (:id, :v)");
    insert.DeclareVariable("id", 3);
    insert.DeclareVariable("v", 24);
    insert.SetVariable("id", 1);
    insert.SetVariable("v", Variant::FromBytes(std::vector<uint8_t>(packed.begin(), packed.end())));
    insert.Execute();
    insert.SetVariable("id", 2);
    insert.SetVariable("v", Variant::FromBytes({'x', 'y'}));
    insert.Execute();
  }
};
KVELL_DATASET_INTERFACES(CompressedColumnTest);

TEST_P(CompressedColumnTest, a_value_with_the_signature_is_decompressed_even_with_CompressBLOBs_off) {
  auto stored = OpenDataSet("select id, v from stored order by id");
  EXPECT_FALSE(stored->CompressBLOBs);
  EXPECT_EQ(stored->FieldByName("V")->AsString(), kText);
  stored->Next();
  EXPECT_EQ(stored->FieldByName("V")->AsString(), "xy");
}

TEST_P(CompressedColumnTest, OnDecompressBLOB_reads_values_without_the_signature_when_CompressBLOBs_is_on) {
  auto stored = MakeDataSet("select id, v from stored order by id");
  stored->CompressBLOBs = true;
  int calls = 0;
  stored->OnDecompressBLOB = [&](TOracleDataSet*, TField* field, TMemoryStream& in, TMemoryStream& out) {
    ++calls;
    EXPECT_EQ(field->FieldName(), "V");
    const std::string bytes = "<" + in.AsString() + ">";
    out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  };
  stored->Open();
  EXPECT_EQ(stored->FieldByName("V")->AsString(), kText);
  stored->Next();
  EXPECT_EQ(stored->FieldByName("V")->AsString(), "<xy>");
  EXPECT_EQ(calls, 1) << "values with the signature never reach the event";
}

}  // namespace
}  // namespace kvell::testing
