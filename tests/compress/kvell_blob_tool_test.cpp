// The kvell-blob program, run as users run it: bytes on standard input,
// the result on standard output, a message and non-zero status on bad input.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "compress_test_support.h"
#include "oracle/compress/stored_blob.h"

namespace kvell::testing {
namespace {

struct ToolResult {
  int status;
  Bytes output;
  std::string errors;
};

class KvellBlobTool : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("kvell-blob-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  ToolResult Run(const std::string& arguments, const Bytes& input) {
    const auto in = directory_ / "in", out = directory_ / "out", err = directory_ / "err";
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(input.data()),
                                              static_cast<std::streamsize>(input.size()));
    const std::string command = std::string("'") + KVELL_BLOB_PROGRAM + "' " + arguments + " <'" + in.string() +
                                "' >'" + out.string() + "' 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    const Bytes errors = read(err);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read(out), std::string(errors.begin(), errors.end())};
  }

 private:
  static Bytes read(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  std::filesystem::path directory_;
};

TEST_F(KvellBlobTool, compress_and_decompress_use_the_raw_format) {
  const Bytes input = sample_text(10000, 1);
  const ToolResult compressed = Run("compress", input);
  ASSERT_EQ(compressed.status, 0) << compressed.errors;
  EXPECT_EQ(compressed.output, compress(input));
  const ToolResult restored = Run("decompress", compressed.output);
  ASSERT_EQ(restored.status, 0) << restored.errors;
  EXPECT_EQ(restored.output, input);
}

TEST_F(KvellBlobTool, pack_adds_the_signature_and_unpack_removes_it) {
  const Bytes input = random_bytes(3000, 2);
  const ToolResult packed = Run("pack", input);
  ASSERT_EQ(packed.status, 0) << packed.errors;
  Bytes expected(kCompressedBlobSignature.begin(), kCompressedBlobSignature.end());
  for (uint8_t byte : compress(input)) expected.push_back(byte);
  EXPECT_EQ(packed.output, expected);
  const ToolResult unpacked = Run("unpack", packed.output);
  ASSERT_EQ(unpacked.status, 0) << unpacked.errors;
  EXPECT_EQ(unpacked.output, input);
}

TEST_F(KvellBlobTool, unpack_passes_unsigned_values_through) {
  // The signature alone is not a packed value either.
  for (const Bytes& value : {bytes_of("plain bytes"), Bytes(kCompressedBlobSignature.begin(),
                                                              kCompressedBlobSignature.end()), Bytes{}}) {
    const ToolResult result = Run("unpack", value);
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(result.output, value);
  }
}

TEST_F(KvellBlobTool, bad_input_and_bad_usage_fail_with_a_message) {
  const Bytes compressed = compress(sample_text(5000, 3));
  for (const Bytes& damaged : {Bytes{1, 2}, Bytes{0xFF, 0xFF, 0xFF, 0xFF, 1},
                               Bytes(compressed.begin(), compressed.end() - 1)}) {
    const ToolResult result = Run("decompress", damaged);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.errors.find("kvell-blob decompress: "), std::string::npos) << result.errors;
  }
  Bytes damaged_packed(kCompressedBlobSignature.begin(), kCompressedBlobSignature.end());
  for (uint8_t byte : Bytes(compressed.begin(), compressed.begin() + 40)) damaged_packed.push_back(byte);
  const ToolResult unpacked = Run("unpack", damaged_packed);
  EXPECT_EQ(unpacked.status, 1);
  EXPECT_NE(unpacked.errors.find("kvell-blob unpack: Invalid compressed data: the code stream ends after "),
            std::string::npos) << unpacked.errors;
  EXPECT_TRUE(unpacked.output.empty());
  for (const char* arguments : {"", "inflate", "compress extra"}) {
    const ToolResult result = Run(arguments, {});
    EXPECT_EQ(result.status, 2) << arguments;
    EXPECT_NE(result.errors.find("usage: kvell-blob"), std::string::npos) << arguments;
  }
}

}  // namespace
}  // namespace kvell::testing
