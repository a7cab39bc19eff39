// CLOB text of 1- to 4-byte characters read whole on ociemu's AL32UTF8
// database, whatever BytesPerCharacter says: through the column accessors,
// the column's locator and the stream reads, at sizes around the byte budget.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

// One character of each UTF-8 width: a, Š, €, and a clef above the BMP.
const std::string kCharacterOfWidth[] = {"", "a", "\xC5\xA0", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E"};

// `characters` characters filling exactly `bytes` bytes (characters <= bytes
// <= 4 * characters), widths spread evenly from the front.
std::string TextOf(int characters, int bytes) {
  std::vector<int> widths(static_cast<size_t>(characters), 1);
  for (int extra = bytes - characters; extra > 0;) {
    for (int& width : widths) {
      if (extra > 0 && width < 4) {
        ++width;
        --extra;
      }
    }
  }
  std::string text;
  for (int width : widths) text += kCharacterOfWidth[width];
  return text;
}

struct Sample {
  int Id;
  std::string Text;
};

class LOBTextTest : public ConnectedQueryTest<SessionTest> {
 protected:
  void SetUp() override {
    ConnectedQueryTest<SessionTest>::SetUp();
    Exec("create table texts (id number(9), c clob)");
  }

  // Writes the text through the locator the insert returns.
  void Insert(const Sample& sample) {
    TLOBLocator locator(session.get(), otCLOB);
    query->DeleteVariables();
    query->DeclareVariable("id", 3);
    query->DeclareVariable("c", otCLOB);
    query->SetVariable("id", sample.Id);
    query->SetComplexVariable("c", &locator);
    Exec("insert into texts (id, c) values (:id, empty_clob()) returning c into :c");
    locator.WriteBuffer(sample.Text.data(), static_cast<int64_t>(sample.Text.size()));
    query->DeleteVariables();
  }

  // Every text of these sizes: each single width, and byte sizes one below,
  // at and one above the budget the given bytes per character set.
  std::vector<Sample> InsertSamples(int per_character) {
    std::vector<Sample> samples;
    for (int characters : {1, 2, 3, 5, 64, 3000}) {
      std::vector<int> sizes;
      for (int width = 1; width <= 4; ++width) sizes.push_back(characters * width);
      for (int delta : {-1, 0, 1}) sizes.push_back(characters * per_character + delta);
      for (int bytes : sizes) {
        if (bytes < characters || bytes > 4 * characters) continue;
        samples.push_back({static_cast<int>(samples.size()) + 1, TextOf(characters, bytes)});
        Insert(samples.back());
      }
    }
    session->Commit();
    return samples;
  }

  void SelectText(int id) {
    Exec("select c from texts where id = " + std::to_string(id));
    ASSERT_FALSE(query->Eof());
  }
  TLOBLocator& Locator() { return dynamic_cast<TLOBLocator&>(*query->FieldLOB(0)); }

  // The locator read to its end with a buffer of `size` bytes.
  std::string ReadInPieces(int64_t size) {
    TLOBLocator& locator = Locator();
    locator.Seek(0, soBeginning);
    std::string text, piece(static_cast<size_t>(size), '\0');
    for (int64_t got; (got = locator.Read(piece.data(), size)) > 0;) text.append(piece.data(), static_cast<size_t>(got));
    return text;
  }
};

TEST_F(LOBTextTest, the_text_helper_makes_the_characters_and_bytes_asked_for) {
  EXPECT_EQ(TextOf(3, 3), "aaa");
  EXPECT_EQ(TextOf(2, 8), kCharacterOfWidth[4] + kCharacterOfWidth[4]);
  EXPECT_EQ(TextOf(3, 5), kCharacterOfWidth[2] + kCharacterOfWidth[2] + "a");
}

// The byte budget of the value read is only where reading starts: a value
// that needs more bytes than it comes whole, through every path.
TEST_F(LOBTextTest, every_bytes_per_character_setting_reads_every_text_whole) {
  const std::vector<Sample> samples = InsertSamples(1);
  for (TBytesPerCharacterOption option : {bcAutoDetect, bc1Byte, bc2Bytes, bc3Bytes, bc4Bytes}) {
    session->SetBytesPerCharacter(option);
    SCOPED_TRACE(session->ResolvedBytesPerCharacter());
    for (const Sample& sample : samples) {
      SCOPED_TRACE(sample.Id);
      SelectText(sample.Id);
      EXPECT_EQ(query->FieldValue(0).AsString(), sample.Text);
      EXPECT_EQ(query->FieldText(0), sample.Text);
      EXPECT_EQ(Locator().AsString(), sample.Text);
      EXPECT_EQ(Locator().Position(), Locator().Size()) << "the position counts characters";
    }
  }
}

TEST_F(LOBTextTest, sizes_around_a_wider_budget_read_whole_too) {
  session->SetBytesPerCharacter(bc3Bytes);
  for (const Sample& sample : InsertSamples(3)) {
    SCOPED_TRACE(sample.Id);
    SelectText(sample.Id);
    EXPECT_EQ(query->FieldText(0), sample.Text);
  }
}

// A stream read delivers whole characters that fit its buffer and moves on by
// as many characters, so that reading on gives the rest.
TEST_F(LOBTextTest, reading_in_pieces_of_any_size_puts_the_text_together_again) {
  const std::vector<Sample> samples = InsertSamples(1);
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.Id);
    SelectText(sample.Id);
    for (int64_t size : {4, 5, 7, 64, 5000}) {
      SCOPED_TRACE(size);
      EXPECT_EQ(ReadInPieces(size), sample.Text);
    }
  }
}

TEST_F(LOBTextTest, a_read_never_leaves_a_polled_read_for_the_next_one_to_continue) {
  const Sample sample{1, TextOf(10, 30)};
  Insert(sample);
  SelectText(1);
  TLOBLocator& locator = Locator();
  char piece[6];
  ASSERT_EQ(locator.Read(piece, sizeof piece), 6);
  EXPECT_EQ(std::string(piece, 6), sample.Text.substr(0, 6));
  EXPECT_EQ(locator.Position(), 2);
  EXPECT_EQ(locator.AsString(), sample.Text) << "a read from the start begins at the start";
  locator.Seek(0, soBeginning);
  ASSERT_EQ(locator.Read(piece, sizeof piece), 6);
  EXPECT_EQ(std::string(piece, 6), sample.Text.substr(0, 6));
}

// After reading to the end the position is the length, so a write appends.
TEST_F(LOBTextTest, a_write_after_reading_to_the_end_appends_and_reads_back_whole) {
  const std::string text = TextOf(7, 20);
  Insert({1, text});
  Exec("select c from texts where id = 1 for update");
  TLOBLocator& locator = Locator();
  char piece[64];
  ASSERT_EQ(locator.Read(piece, sizeof piece), 20);
  EXPECT_EQ(locator.Read(piece, sizeof piece), 0);
  EXPECT_EQ(locator.Position(), 7);
  locator.WriteBuffer(kCharacterOfWidth[4].data(), 4);
  EXPECT_EQ(locator.Position(), 8);
  locator.Seek(-1, soCurrent);
  ASSERT_EQ(locator.Read(piece, sizeof piece), 4);
  EXPECT_EQ(locator.Position(), 8) << "the length measured before the write is forgotten";
  EXPECT_EQ(locator.AsString(), text + kCharacterOfWidth[4]);
}

// Too small for the character at the position: the read fails rather than
// reporting the end of the text.
TEST_F(LOBTextTest, a_buffer_smaller_than_the_next_character_fails_the_read) {
  Insert({1, "a" + kCharacterOfWidth[3]});
  SelectText(1);
  TLOBLocator& locator = Locator();
  char piece[2];
  ASSERT_EQ(locator.Read(piece, sizeof piece), 1);
  EXPECT_EQ(MessageOf([&] { locator.Read(piece, sizeof piece); }), kLOBCharacterDoesNotFit);
  EXPECT_EQ(locator.Position(), 1);
  EXPECT_EQ(locator.ReadAsString(2), "a" + kCharacterOfWidth[3]);
}

TEST_F(LOBTextTest, copying_multi_byte_text_into_and_out_of_a_clob_keeps_it_whole) {
  const std::string text = TextOf(500, 1500);
  std::unique_ptr<TLOBLocator> owned(TLOBLocator::CreateTemporary(session.get(), otCLOB, true));
  TMemoryStream source;
  source.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  EXPECT_EQ(owned->CopyFrom(source, 0), static_cast<int64_t>(text.size()));
  EXPECT_EQ(owned->Size(), 500) << "the position and size count characters";
  EXPECT_EQ(owned->AsString(), text);
}

}  // namespace
}  // namespace kvell::testing
