// LOB locators through the C entries: defines and binds, RETURNING INTO,
// reads and writes in every mode, the row-lock rule, transactions,
// temporary LOBs and BFILEs over real files.
#include <unistd.h>

#include <fstream>

#include "ociemu/tests/api/oci_test_support.h"

namespace ociemu::testing {
namespace {

class LobTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run("CREATE TABLE docs (id NUMBER PRIMARY KEY, body CLOB, data BLOB)");
  }
  void TearDown() override {
    for (OCIStmt* stmt : statements) OCIHandleFree(stmt, OCI_HTYPE_STMT);
    for (OCILobLocator* locator : locators) OCIDescriptorFree(locator, OCI_DTYPE_LOB);
    OciTest::TearDown();
  }

  OCILobLocator* new_locator(ub4 type = OCI_DTYPE_LOB) {
    void* locator = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, &locator, type, 0, nullptr));
    if (type == OCI_DTYPE_LOB) locators.push_back(static_cast<OCILobLocator*>(locator));
    return static_cast<OCILobLocator*>(locator);
  }

  // Runs a query and fetches its first row's LOB column into a fresh locator; the statement stays open.
  OCILobLocator* select_locator(const std::string& sql, ub2 dty, OCISvcCtx* on = nullptr) {
    OCILobLocator* locator = new_locator(dty == SQLT_BFILE ? OCI_DTYPE_FILE : OCI_DTYPE_LOB);
    OCIStmt* stmt = prepare(sql);
    statements.push_back(stmt);
    OCIDefine* define = nullptr;
    indicator = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, &locator, sizeof locator, dty, &indicator, nullptr,
                                          nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(on ? on : svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    return locator;
  }

  std::string read_all(OCILobLocator* locator, OCISvcCtx* on = nullptr) {
    ub4 length = 0;
    EXPECT_EQ(OCI_SUCCESS, OCILobGetLength(on ? on : svc, err, locator, &length)) << last_error();
    std::string buffer(size_t{length} * 4 + 1, '\0');
    ub4 amount = length;
    if (length == 0) return "";
    EXPECT_EQ(OCI_SUCCESS, OCILobRead(on ? on : svc, err, locator, &amount, 1, buffer.data(),
                                      static_cast<ub4>(buffer.size()), nullptr, nullptr, 0, SQLCS_IMPLICIT))
        << last_error();
    return buffer.substr(0, amount);  // bytes read
  }

  sword write(OCILobLocator* locator, const std::string& text, ub4 offset, ub4* amount_out = nullptr) {
    ub4 amount = static_cast<ub4>(text.size());
    sword rc = OCILobWrite(svc, err, locator, &amount, offset, const_cast<char*>(text.data()),
                           static_cast<ub4>(text.size()), OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT);
    if (amount_out) *amount_out = amount;
    return rc;
  }

  // INSERT ... RETURNING body INTO :b: a locator on the new row.
  OCILobLocator* insert_returning(int id, const std::string& initial) {
    OCILobLocator* locator = new_locator();
    OCIStmt* stmt = prepare("INSERT INTO docs (id, body, data) VALUES (" + std::to_string(id) + ", " + initial +
                            ", EMPTY_BLOB()) RETURNING body INTO :b");
    OCIBind* bind = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":b"), 2, &locator, sizeof locator, SQLT_CLOB,
                                         &returned_indicator, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    EXPECT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return locator;
  }

  std::vector<OCIStmt*> statements;
  std::vector<OCILobLocator*> locators;
  sb2 indicator = 0;
  sb2 returned_indicator = 0;
};

// Offsets and the amounts asked count characters of a CLOB; the amount OCILobRead
// reports back counts bytes (AL32UTF8 is of varying width), OCILobRead2 reports both.
TEST_F(LobTest, ClobOffsetsAndAmountsAskedCountCharactersAndReadsReportBytes) {
  must_run("INSERT INTO docs VALUES (1, 'h\xC3\xA9llo w\xC3\xB6rld \xE2\x82\xAC', HEXTORAW('00FF10'))");
  OCILobLocator* body = select_locator("SELECT body FROM docs WHERE id = 1", SQLT_CLOB);
  ub4 length = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobGetLength(svc, err, body, &length)) << last_error();
  EXPECT_EQ(13u, length);
  char buffer[32] = {0};
  ub4 amount = 5;
  ASSERT_EQ(OCI_SUCCESS, OCILobRead(svc, err, body, &amount, 7, buffer, sizeof buffer, nullptr, nullptr, 0, 1));
  EXPECT_EQ(6u, amount);
  EXPECT_STREQ("w\xC3\xB6rld", buffer);

  // A buffer too small for the wanted characters: whole characters only, and polling continues.
  char small[3] = {0};
  amount = 4;
  EXPECT_EQ(OCI_NEED_DATA, OCILobRead(svc, err, body, &amount, 1, small, sizeof small, nullptr, nullptr, 0, 1));
  EXPECT_EQ(3u, amount);
  EXPECT_EQ("h\xC3\xA9", std::string(small, 3));
  amount = 0;
  EXPECT_EQ(OCI_SUCCESS, OCILobRead(svc, err, body, &amount, 1, small, sizeof small, nullptr, nullptr, 0, 1));
  EXPECT_EQ(2u, amount) << "the rest of the four characters asked";
  EXPECT_EQ("ll", std::string(small, 2));

  // The callback form reports the bytes of the whole range.
  std::string streamed;
  auto take = [](void* context, const void* data, ub4 length, ub1) -> sb4 {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), length);
    return OCI_CONTINUE;
  };
  amount = 7;
  ASSERT_EQ(OCI_SUCCESS, OCILobRead(svc, err, body, &amount, 7, small, sizeof small, &streamed, take, 0, 1));
  EXPECT_EQ("w\xC3\xB6rld \xE2\x82\xAC", streamed);
  EXPECT_EQ(streamed.size(), amount);

  oraub8 bytes = 0, chars = 3;
  char wide[16] = {0};
  ASSERT_EQ(OCI_SUCCESS, OCILobRead2(svc, err, body, &bytes, &chars, 11, wide, sizeof wide, OCI_ONE_PIECE, nullptr,
                                     nullptr, 0, 1));
  EXPECT_EQ(3u, chars);
  EXPECT_EQ(5u, bytes);
  EXPECT_STREQ("d \xE2\x82\xAC", wide);
  // Asked in bytes (no characters): whole characters within them.
  bytes = 4, chars = 0;
  std::memset(wide, 0, sizeof wide);
  ASSERT_EQ(OCI_SUCCESS, OCILobRead2(svc, err, body, &bytes, &chars, 1, wide, sizeof wide, OCI_ONE_PIECE, nullptr,
                                     nullptr, 0, 1));
  EXPECT_EQ(3u, chars);
  EXPECT_EQ(4u, bytes);
  EXPECT_STREQ("h\xC3\xA9l", wide);

  OCILobLocator* data = select_locator("SELECT data FROM docs WHERE id = 1", SQLT_BLOB);
  ASSERT_EQ(OCI_SUCCESS, OCILobGetLength(svc, err, data, &length));
  EXPECT_EQ(3u, length);
  unsigned char raw[4] = {0};
  amount = 2;
  ASSERT_EQ(OCI_SUCCESS, OCILobRead(svc, err, data, &amount, 2, raw, sizeof raw, nullptr, nullptr, 0, 0));
  EXPECT_EQ(2u, amount);
  EXPECT_EQ(0xFF, raw[0]);
  EXPECT_EQ(0x10, raw[1]);
  amount = 1;
  EXPECT_EQ(OCI_ERROR, OCILobRead(svc, err, data, &amount, 0, raw, sizeof raw, nullptr, nullptr, 0, 0));
  EXPECT_EQ(24801, last_code());
}

// Characters [first, first + count) of UTF-8 text, 0-based.
std::string utf8_substr(const std::string& text, size_t first, size_t count) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  starts.push_back(text.size());
  size_t begin = std::min(first, starts.size() - 1), end = std::min(first + count, starts.size() - 1);
  return text.substr(starts[begin], starts[end] - starts[begin]);
}

// Values longer than the handle's scan block, with characters of 1 to 4 bytes straddling every boundary.
TEST_F(LobTest, LocatorReadsOfLargeValuesCountCharactersAcrossTheRow) {
  std::string text, bytes;
  for (int i = 0; i < 6000; ++i) text += std::to_string(i % 10) + "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E";
  for (int i = 0; i < 70000; ++i) bytes += static_cast<char>(i * 7 + 3);
  std::string hex;
  for (unsigned char c : bytes) hex += "0123456789ABCDEF"[c >> 4], hex += "0123456789ABCDEF"[c & 15];
  must_run("INSERT INTO docs VALUES (1, '" + text + "', HEXTORAW('" + hex + "'))");
  must_run("INSERT INTO docs VALUES (2, 'second \xC3\xA9', HEXTORAW('0102'))");
  OCILobLocator* body = select_locator("SELECT body FROM docs WHERE id = 1", SQLT_CLOB);
  OCILobLocator* other = select_locator("SELECT body FROM docs WHERE id = 2", SQLT_CLOB);

  // Forward, backward and across values: each read lands on the right character.
  std::string buffer(64, '\0');
  for (oraub8 offset : {oraub8{1}, oraub8{20001}, oraub8{7}, oraub8{23999}, oraub8{12345}}) {
    oraub8 bytes_read = 0, chars = 9;
    ASSERT_EQ(OCI_SUCCESS, OCILobRead2(svc, err, body, &bytes_read, &chars, offset, buffer.data(), buffer.size(),
                                       OCI_ONE_PIECE, nullptr, nullptr, 0, 1)) << last_error();
    EXPECT_EQ(utf8_substr(text, offset - 1, 9), buffer.substr(0, bytes_read)) << "offset " << offset;
    EXPECT_EQ(std::min<oraub8>(9, 24000 - (offset - 1)), chars);
    chars = 3;
    ASSERT_EQ(OCI_SUCCESS, OCILobRead2(svc, err, other, &bytes_read, &chars, 6, buffer.data(), buffer.size(),
                                       OCI_ONE_PIECE, nullptr, nullptr, 0, 1));
    EXPECT_EQ("d \xC3\xA9", buffer.substr(0, bytes_read));
  }

  // Polling with a buffer that cuts characters: whole characters per piece, the value complete.
  std::string polled;
  char piece[1001];
  ub4 amount = 0;
  sword rc = OCI_NEED_DATA;
  for (int calls = 0; rc == OCI_NEED_DATA && calls < 1000; ++calls) {
    amount = 0;
    rc = OCILobRead(svc, err, body, &amount, 1, piece, sizeof piece, nullptr, nullptr, 0, 1);
    polled.append(piece, amount);
  }
  EXPECT_EQ(OCI_SUCCESS, rc) << last_error();
  EXPECT_EQ(text, polled);

  OCILobLocator* data = select_locator("SELECT data FROM docs WHERE id = 1", SQLT_BLOB);
  std::string raw(bytes.size() + 10, '\0');
  oraub8 total = 0;
  for (oraub8 offset = 1; offset <= bytes.size(); offset += 32768) {
    oraub8 n = 32768, chars = 0;
    ASSERT_EQ(OCI_SUCCESS, OCILobRead2(svc, err, data, &n, &chars, offset, raw.data() + offset - 1, 32768,
                                       OCI_ONE_PIECE, nullptr, nullptr, 0, 0));
    total += n;
  }
  EXPECT_EQ(bytes.size(), total);
  EXPECT_EQ(bytes, raw.substr(0, total));
  EXPECT_EQ(text, read_all(body));
}

// Reads in place see what the session's transaction sees: not another session's uncommitted change.
TEST_F(LobTest, LocatorReadsInPlaceSeeOnlyCommittedChangesOfOthers) {
  must_run("INSERT INTO docs VALUES (1, 'old', HEXTORAW('0102'))");
  must_run("COMMIT");
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  must_run("UPDATE docs SET data = HEXTORAW('0A0B0C'), body = 'new text' WHERE id = 1", other);
  auto read = [&](const char* sql, ub2 dty) {
    OCILobLocator* locator = select_locator(sql, dty);
    // An open cursor would keep its read of the file for the statements after it.
    OCIHandleFree(statements.back(), OCI_HTYPE_STMT);
    statements.pop_back();
    char buffer[16] = {0};
    oraub8 bytes = sizeof buffer, chars = 0;
    EXPECT_EQ(OCI_SUCCESS, OCILobRead2(svc, err, locator, &bytes, &chars, 1, buffer, sizeof buffer, OCI_ONE_PIECE,
                                       nullptr, nullptr, 0, 0)) << last_error();
    return std::string(buffer, bytes);
  };
  EXPECT_EQ("\x01\x02", read("SELECT data FROM docs WHERE id = 1", SQLT_BLOB));
  EXPECT_EQ("old", read("SELECT body FROM docs WHERE id = 1", SQLT_CLOB));
  must_run("COMMIT", other);
  EXPECT_EQ("\x0A\x0B\x0C", read("SELECT data FROM docs WHERE id = 1", SQLT_BLOB));
  EXPECT_EQ("new text", read("SELECT body FROM docs WHERE id = 1", SQLT_CLOB));
  OCILogoff(other, err);
}

// Fetching LOB columns as plain values still gives every row's value.
// A BLOB of megabytes reaches the table whole at commit, as a smaller one does, and a
// rollback of a later change leaves it as committed.
TEST_F(LobTest, LargeBlobWrittenInChunksReadsBackWholeAfterCommit) {
  must_run("INSERT INTO docs (id, data) VALUES (1, EMPTY_BLOB())");
  OCILobLocator* locator = select_locator("SELECT data FROM docs WHERE id = 1 FOR UPDATE", SQLT_BLOB);
  std::string bytes(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
  for (size_t offset = 0; offset < bytes.size(); offset += 65536) {
    oraub8 amount = std::min<size_t>(65536, bytes.size() - offset), chars = 0;
    ASSERT_EQ(OCI_SUCCESS, OCILobWrite2(svc, err, locator, &amount, &chars, offset + 1, bytes.data() + offset, amount,
                                        OCI_ONE_PIECE, nullptr, nullptr, 0, 0))
        << last_error();
  }
  must_run("COMMIT");
  EXPECT_EQ(std::to_string(bytes.size()), single_text("SELECT DBMS_LOB.GETLENGTH(data) FROM docs WHERE id = 1"));
  EXPECT_TRUE(read_all(select_locator("SELECT data FROM docs WHERE id = 1", SQLT_BLOB)) == bytes);
  OCILobLocator* again = select_locator("SELECT data FROM docs WHERE id = 1 FOR UPDATE", SQLT_BLOB);
  oraub8 amount = 4, chars = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite2(svc, err, again, &amount, &chars, 1, const_cast<char*>("ABCD"), 4, OCI_ONE_PIECE,
                                      nullptr, nullptr, 0, 0));
  must_run("ROLLBACK");
  EXPECT_TRUE(read_all(select_locator("SELECT data FROM docs WHERE id = 1", SQLT_BLOB)) == bytes);
}

// A committed BLOB of megabytes rewritten in part, at the same length, keeps every other byte.
TEST_F(LobTest, LargeBlobRewrittenInPartKeepsItsLengthAndEveryOtherByte) {
  must_run("INSERT INTO docs (id, data) VALUES (1, EMPTY_BLOB())");
  std::string bytes(2 * 1024 * 1024 + 5, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + i / 4093) & 0xFF);
  OCILobLocator* locator = select_locator("SELECT data FROM docs WHERE id = 1 FOR UPDATE", SQLT_BLOB);
  oraub8 amount = bytes.size(), chars = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite2(svc, err, locator, &amount, &chars, 1, bytes.data(), bytes.size(), OCI_ONE_PIECE,
                                      nullptr, nullptr, 0, 0))
      << last_error();
  must_run("COMMIT");
  std::string patch(10000, '\x7e');
  const size_t at = 1024 * 1024 - 3;  // across a page boundary, well inside the value
  OCILobLocator* again = select_locator("SELECT data FROM docs WHERE id = 1 FOR UPDATE", SQLT_BLOB);
  amount = patch.size();
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite2(svc, err, again, &amount, &chars, at + 1, patch.data(), patch.size(),
                                      OCI_ONE_PIECE, nullptr, nullptr, 0, 0))
      << last_error();
  must_run("COMMIT");
  bytes.replace(at, patch.size(), patch);
  EXPECT_EQ(std::to_string(bytes.size()), single_text("SELECT DBMS_LOB.GETLENGTH(data) FROM docs WHERE id = 1"));
  EXPECT_TRUE(read_all(select_locator("SELECT data FROM docs WHERE id = 1", SQLT_BLOB)) == bytes);
}

// Values loaded after a session wrote a large one reuse its buffer: each keeps only its own bytes.
TEST_F(LobTest, ValuesWrittenAfterALargerOneHoldOnlyTheirOwnBytes) {
  must_run("INSERT INTO docs (id, body, data) VALUES (1, 'short', EMPTY_BLOB())");
  must_run("INSERT INTO docs (id, data) VALUES (2, EMPTY_BLOB())");
  const std::string large(2 * 1024 * 1024 + 3, '\x5a');
  OCILobLocator* big = select_locator("SELECT data FROM docs WHERE id = 1 FOR UPDATE", SQLT_BLOB);
  oraub8 amount = large.size(), chars = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite2(svc, err, big, &amount, &chars, 1, const_cast<char*>(large.data()), large.size(),
                                      OCI_ONE_PIECE, nullptr, nullptr, 0, 0))
      << last_error();
  must_run("COMMIT");

  OCILobLocator* small = select_locator("SELECT data FROM docs WHERE id = 2 FOR UPDATE", SQLT_BLOB);
  amount = 2;
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite2(svc, err, small, &amount, &chars, 4, const_cast<char*>("AB"), 2, OCI_ONE_PIECE,
                                      nullptr, nullptr, 0, 0))
      << last_error();
  OCILobLocator* body = select_locator("SELECT body FROM docs WHERE id = 1 FOR UPDATE", SQLT_CLOB);
  ASSERT_EQ(OCI_SUCCESS, write(body, "x", 7)) << last_error();
  must_run("COMMIT");

  EXPECT_EQ(std::string("\0\0\0AB", 5), read_all(select_locator("SELECT data FROM docs WHERE id = 2", SQLT_BLOB)));
  EXPECT_EQ("short x", single_text("SELECT body FROM docs WHERE id = 1"));
  EXPECT_TRUE(read_all(select_locator("SELECT data FROM docs WHERE id = 1", SQLT_BLOB)) == large);
}

TEST_F(LobTest, LobColumnsFetchAsValuesRowByRow) {
  must_run("INSERT INTO docs VALUES (1, 'first \xC3\xA9', HEXTORAW('0A0B'))");
  must_run("INSERT INTO docs VALUES (2, NULL, HEXTORAW('0C'))");
  must_run("INSERT INTO docs VALUES (3, 'third', NULL)");
  OCIStmt* stmt = prepare("SELECT id, body, d.data FROM docs d ORDER BY id");
  statements.push_back(stmt);
  char body[3][32] = {};
  unsigned char data[3][8] = {};
  sb2 body_null[3] = {}, data_null[3] = {};
  ub2 data_length[3] = {};
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 2, body, sizeof body[0], SQLT_STR, body_null, nullptr,
                                        nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 3, data, sizeof data[0], SQLT_BIN, data_null, data_length,
                                        nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 3, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  EXPECT_STREQ("first \xC3\xA9", body[0]);
  EXPECT_EQ(-1, body_null[1]);
  EXPECT_STREQ("third", body[2]);
  EXPECT_EQ(2, data_length[0]);
  EXPECT_EQ(0x0B, data[0][1]);
  EXPECT_EQ(0x0C, data[1][0]);
  EXPECT_EQ(-1, data_null[2]);
}

TEST_F(LobTest, NullAndEmptyLobs) {
  must_run("INSERT INTO docs VALUES (1, NULL, EMPTY_BLOB())");
  OCILobLocator* body = select_locator("SELECT body FROM docs", SQLT_CLOB);
  EXPECT_EQ(-1, indicator);
  boolean initialized = 1;
  ASSERT_EQ(OCI_SUCCESS, OCILobLocatorIsInit(env, err, body, &initialized));
  EXPECT_FALSE(initialized);
  EXPECT_EQ(OCI_ERROR, write(body, "x", 1));
  EXPECT_EQ(22275, last_code());

  OCILobLocator* data = select_locator("SELECT data FROM docs", SQLT_BLOB);
  EXPECT_EQ(0, indicator);
  EXPECT_EQ("", read_all(data));
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM docs WHERE data IS NULL"));
}

TEST_F(LobTest, WritingNeedsTheRowLockedByTheTransaction) {
  must_run("INSERT INTO docs VALUES (1, 'first', NULL)");
  must_run("COMMIT");
  OCILobLocator* unlocked = select_locator("SELECT body FROM docs WHERE id = 1", SQLT_CLOB);
  EXPECT_EQ(OCI_ERROR, write(unlocked, "X", 1));
  EXPECT_EQ(22920, last_code());
  EXPECT_EQ(OCI_ERROR, OCILobTrim(svc, err, unlocked, 1));
  EXPECT_EQ(22920, last_code());

  OCILobLocator* locked = select_locator("SELECT body FROM docs WHERE id = 1 FOR UPDATE", SQLT_CLOB);
  ub4 amount = 0;
  ASSERT_EQ(OCI_SUCCESS, write(locked, "FIRST!", 1, &amount)) << last_error();
  EXPECT_EQ(6u, amount);
  // The same session sees its write at once, through SQL as through another locator.
  EXPECT_EQ("FIRST!", read_all(unlocked));
  EXPECT_EQ("FIRST!", single_text("SELECT body FROM docs WHERE id = 1"));

  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  EXPECT_EQ("first", single_text("SELECT body FROM docs WHERE id = 1", other));
  must_run("COMMIT");
  EXPECT_EQ("FIRST!", single_text("SELECT body FROM docs WHERE id = 1", other));
  OCILogoff(other, err);
}

TEST_F(LobTest, ReturningIntoLocatorAndRollback) {
  OCILobLocator* body = insert_returning(1, "EMPTY_CLOB()");
  EXPECT_EQ("", read_all(body));
  ASSERT_EQ(OCI_SUCCESS, write(body, "hello", 1)) << last_error();
  ASSERT_EQ(OCI_SUCCESS, write(body, "!", 8)) << last_error();  // past the end: blanks fill the gap
  EXPECT_EQ("hello  !", read_all(body));
  must_run("COMMIT");
  EXPECT_EQ("hello  !", single_text("SELECT body FROM docs WHERE id = 1"));

  OCILobLocator* again = select_locator("SELECT body FROM docs WHERE id = 1 FOR UPDATE", SQLT_CLOB);
  ASSERT_EQ(OCI_SUCCESS, OCILobTrim(svc, err, again, 2)) << last_error();
  EXPECT_EQ("he", read_all(again));
  must_run("ROLLBACK");
  EXPECT_EQ("hello  !", single_text("SELECT body FROM docs WHERE id = 1"));
  EXPECT_EQ("hello  !", read_all(again));

  // A rolled-back insert takes its LOB with it.
  OCILobLocator* gone = insert_returning(2, "'abc'");
  ASSERT_EQ(OCI_SUCCESS, write(gone, "xyz", 4));
  must_run("ROLLBACK");
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM docs WHERE id = 2"));
  ub4 length = 0;
  EXPECT_EQ(OCI_ERROR, OCILobGetLength(svc, err, gone, &length));
  EXPECT_EQ(22922, last_code());
}

TEST_F(LobTest, ArrayDefineGivesOneLocatorPerRowThatOutlivesLaterFetches) {
  for (int i = 1; i <= 5; ++i) must_run("INSERT INTO docs VALUES (" + std::to_string(i) + ", 'row " + std::to_string(i) + "', NULL)");
  OCILobLocator* slots[2] = {new_locator(), new_locator()};
  sb2 indicators[2] = {0, 0};
  OCIStmt* stmt = prepare("SELECT body FROM docs ORDER BY id");
  statements.push_back(stmt);
  OCIDefine* define = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIDefineByPos(stmt, &define, err, 1, slots, sizeof(OCILobLocator*), SQLT_CLOB, indicators,
                                        nullptr, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 2, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCILobLocator* kept = new_locator();
  ASSERT_EQ(OCI_SUCCESS, OCILobLocatorAssign(svc, err, slots[1], &kept));
  EXPECT_EQ("row 1", read_all(slots[0]));
  EXPECT_EQ("row 2", read_all(slots[1]));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 0, OCI_DEFAULT));
  EXPECT_EQ("row 3", read_all(slots[0]));
  EXPECT_EQ("row 4", read_all(slots[1]));
  EXPECT_EQ("row 2", read_all(kept));
  boolean equal = 1;
  ASSERT_EQ(OCI_SUCCESS, OCILobIsEqual(env, kept, slots[1], &equal));
  EXPECT_FALSE(equal);
  ASSERT_EQ(OCI_SUCCESS, OCILobAssign(env, err, slots[1], &kept));
  ASSERT_EQ(OCI_SUCCESS, OCILobIsEqual(env, kept, slots[1], &equal));
  EXPECT_TRUE(equal);
}

TEST_F(LobTest, PiecewiseWriteAndPolledRead) {
  OCILobLocator* body = insert_returning(1, "EMPTY_CLOB()");
  // The euro sign is split between the first and second pieces.
  const std::string pieces[] = {"abc\xE2\x82", "\xAC" "def", "ghi"};
  ub4 amount = 0;
  EXPECT_EQ(OCI_NEED_DATA, OCILobWrite(svc, err, body, &amount, 1, const_cast<char*>(pieces[0].data()), 5,
                                       OCI_FIRST_PIECE, nullptr, nullptr, 0, 1));
  EXPECT_EQ(OCI_NEED_DATA, OCILobWrite(svc, err, body, &amount, 1, const_cast<char*>(pieces[1].data()), 4,
                                       OCI_NEXT_PIECE, nullptr, nullptr, 0, 1));
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite(svc, err, body, &amount, 1, const_cast<char*>(pieces[2].data()), 3,
                                     OCI_LAST_PIECE, nullptr, nullptr, 0, 1))
      << last_error();
  EXPECT_EQ(10u, amount);
  EXPECT_EQ("abc\xE2\x82\xAC" "defghi", read_all(body));

  std::string collected;
  char buffer[4];
  sword rc;
  int calls = 0;
  do {
    amount = 0;  // 0: everything from the offset on
    std::memset(buffer, 0, sizeof buffer);
    rc = OCILobRead(svc, err, body, &amount, 2, buffer, sizeof buffer, nullptr, nullptr, 0, 1);
    ASSERT_TRUE(rc == OCI_NEED_DATA || rc == OCI_SUCCESS) << last_error();
    collected.append(buffer, amount);
    ++calls;
  } while (rc == OCI_NEED_DATA && calls < 20);
  EXPECT_EQ("bc\xE2\x82\xAC" "defghi", collected);
  EXPECT_GT(calls, 2);
}

TEST_F(LobTest, CallbackReadAndWrite) {
  OCILobLocator* temp = new_locator();
  ASSERT_EQ(OCI_SUCCESS, OCILobCreateTemporary(svc, err, temp, 0, SQLCS_IMPLICIT, OCI_TEMP_BLOB, 0, OCI_DURATION_SESSION));
  struct Feed {
    int left = 3;
  } feed;
  auto next = [](void* context, void* buffer, ub4* length, ub1* piece) -> sb4 {
    auto* f = static_cast<Feed*>(context);
    std::memset(buffer, 'a' + f->left, 4);
    *length = 4;
    *piece = --f->left == 0 ? OCI_LAST_PIECE : OCI_NEXT_PIECE;
    return OCI_CONTINUE;
  };
  char buffer[4] = {'x', 'x', 'x', 'x'};
  ub4 amount = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite(svc, err, temp, &amount, 1, buffer, 4, OCI_FIRST_PIECE, &feed, next, 0, 0))
      << last_error();
  EXPECT_EQ(16u, amount);

  std::string seen;
  std::vector<int> codes;
  struct Sink {
    std::string* seen;
    std::vector<int>* codes;
  } sink{&seen, &codes};
  auto take = [](void* context, const void* data, ub4 length, ub1 piece) -> sb4 {
    auto* s = static_cast<Sink*>(context);
    s->seen->append(static_cast<const char*>(data), length);
    s->codes->push_back(piece);
    return OCI_CONTINUE;
  };
  char small[6];
  amount = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobRead(svc, err, temp, &amount, 3, small, sizeof small, &sink, take, 0, 0)) << last_error();
  EXPECT_EQ(14u, amount);
  EXPECT_EQ("xxddddccccbbbb", seen);
  EXPECT_EQ((std::vector<int>{OCI_FIRST_PIECE, OCI_NEXT_PIECE, OCI_LAST_PIECE}), codes);

  auto refuse = [](void*, const void*, ub4, ub1) -> sb4 { return 0; };
  amount = 0;
  EXPECT_EQ(OCI_ERROR, OCILobRead(svc, err, temp, &amount, 1, small, sizeof small, nullptr, refuse, 0, 0));
  EXPECT_EQ(24802, last_code());
}

TEST_F(LobTest, TemporaryLobsEditAndBindIntoDml) {
  OCILobLocator* temp = new_locator();
  ASSERT_EQ(OCI_SUCCESS, OCILobCreateTemporary(svc, err, temp, 0, SQLCS_NCHAR, OCI_TEMP_CLOB, 1, OCI_DURATION_SESSION));
  boolean flag = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobIsTemporary(env, err, temp, &flag));
  EXPECT_TRUE(flag);
  ub1 form = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobCharSetForm(env, err, temp, &form));
  EXPECT_EQ(SQLCS_NCHAR, form);
  ASSERT_EQ(OCI_SUCCESS, write(temp, "0123456789", 1));
  ub4 amount = 3;
  ASSERT_EQ(OCI_SUCCESS, OCILobErase(svc, err, temp, &amount, 2));
  EXPECT_EQ(3u, amount);
  EXPECT_EQ("0   456789", read_all(temp));
  EXPECT_EQ(OCI_ERROR, OCILobTrim(svc, err, temp, 11));
  EXPECT_EQ(22926, last_code());

  OCILobLocator* other = new_locator();
  ASSERT_EQ(OCI_SUCCESS, OCILobCreateTemporary(svc, err, other, 0, SQLCS_IMPLICIT, OCI_TEMP_CLOB, 0, OCI_DURATION_SESSION));
  ASSERT_EQ(OCI_SUCCESS, write(other, "ab", 1));
  ASSERT_EQ(OCI_SUCCESS, OCILobAppend(svc, err, other, temp));
  ASSERT_EQ(OCI_SUCCESS, OCILobCopy(svc, err, other, temp, 2, 13, 9));
  EXPECT_EQ("ab0   45678989", read_all(other));

  // A copied temporary locator is a copy of the value.
  OCILobLocator* copy = new_locator();
  ASSERT_EQ(OCI_SUCCESS, OCILobLocatorAssign(svc, err, other, &copy));
  ASSERT_EQ(OCI_SUCCESS, OCILobTrim(svc, err, copy, 1));
  EXPECT_EQ("a", read_all(copy));
  EXPECT_EQ(14u, read_all(other).size());

  OCIStmt* stmt = prepare("INSERT INTO docs (id, body) VALUES (7, :b)");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByPos(stmt, &bind, err, 1, &other, sizeof other, SQLT_CLOB, nullptr, nullptr, nullptr,
                                      0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("ab0   45678989", single_text("SELECT body FROM docs WHERE id = 7"));

  ASSERT_EQ(OCI_SUCCESS, OCILobFreeTemporary(svc, err, temp));
  ASSERT_EQ(OCI_SUCCESS, OCILobIsTemporary(env, err, temp, &flag));
  EXPECT_FALSE(flag);
  ub4 length = 0;
  EXPECT_EQ(OCI_ERROR, OCILobGetLength(svc, err, temp, &length));
  EXPECT_EQ(22275, last_code());

  // A computed CLOB in a select list describes as a CLOB and comes back as a temporary LOB.
  OCIStmt* described = prepare("SELECT TO_CLOB('made'), TO_NCLOB('made'), TO_CHAR(TO_CLOB('made')) FROM dual");
  statements.push_back(described);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, described, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY)) << last_error();
  const ub2 codes[] = {SQLT_CLOB, SQLT_CLOB, SQLT_CHR};
  for (ub4 i = 0; i < 3; ++i) {
    void* param = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIParamGet(described, OCI_HTYPE_STMT, err, &param, i + 1));
    ub2 code = 0;
    OCIAttrGet(param, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_DATA_TYPE, err);
    EXPECT_EQ(codes[i], code) << i;
  }
  OCILobLocator* computed = select_locator("SELECT TO_CLOB('made') FROM dual", SQLT_CLOB);
  EXPECT_EQ("made", read_all(computed));
  ASSERT_EQ(OCI_SUCCESS, OCILobIsTemporary(env, err, computed, &flag));
  EXPECT_TRUE(flag);
}

TEST_F(LobTest, TemporaryLobsEndWithTheSession) {
  OCISvcCtx* other = logon("SCOTT", "tiger");
  ASSERT_NE(nullptr, other);
  OCILobLocator* temp = new_locator();
  ASSERT_EQ(OCI_SUCCESS, OCILobCreateTemporary(other, err, temp, 0, 1, OCI_TEMP_BLOB, 0, OCI_DURATION_SESSION));
  ASSERT_EQ(OCI_SUCCESS, OCILogoff(other, err));
  ub4 length = 0;
  EXPECT_EQ(OCI_ERROR, OCILobGetLength(svc, err, temp, &length));
  EXPECT_EQ(22922, last_code());
}

TEST_F(LobTest, ObjectNewMakesLocatorSlots) {
  void* slot = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIObjectNew(env, err, svc, OCI_TYPECODE_CLOB, nullptr, nullptr, OCI_DURATION_SESSION, 1, &slot));
  boolean initialized = 1;
  ASSERT_EQ(OCI_SUCCESS, OCILobLocatorIsInit(env, err, static_cast<OCILobLocator*>(slot), &initialized));
  EXPECT_FALSE(initialized);
  ASSERT_EQ(OCI_SUCCESS, OCILobCreateTemporary(svc, err, static_cast<OCILobLocator*>(slot), 0, 1, OCI_TEMP_CLOB, 0,
                                               OCI_DURATION_SESSION));
  EXPECT_EQ(OCI_SUCCESS, OCIObjectFree(env, err, slot, 0));
  EXPECT_EQ(OCI_INVALID_HANDLE, OCILobLocatorIsInit(env, err, static_cast<OCILobLocator*>(slot), &initialized));
}

// A client that binds a string as a LOB writes it into the bind's fresh locator.
TEST_F(LobTest, WritingAFreshLocatorMakesATemporaryLobOfTheWritesKind) {
  OCILobLocator* text_lob = new_locator();
  ASSERT_EQ(OCI_SUCCESS, OCILobTrim2(svc, err, text_lob, 0)) << last_error();
  oraub8 bytes = 6, chars = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite2(svc, err, text_lob, &bytes, &chars, 1, const_cast<char*>("Grüß"), 6, OCI_ONE_PIECE,
                                      nullptr, nullptr, 0, SQLCS_IMPLICIT))
      << last_error();
  EXPECT_EQ(4u, chars);
  boolean temporary = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobIsTemporary(env, err, text_lob, &temporary));
  EXPECT_TRUE(temporary);

  OCILobLocator* raw_lob = new_locator();
  bytes = 3;
  ASSERT_EQ(OCI_SUCCESS, OCILobWrite2(svc, err, raw_lob, &bytes, &chars, 1, const_cast<char*>("\x01\x02\x03"), 3,
                                      OCI_ONE_PIECE, nullptr, nullptr, 0, 0))
      << last_error();
  OCIStmt* stmt = prepare("INSERT INTO docs VALUES (7, :c, :b)");
  OCIBind* bind = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":c"), 2, &text_lob, sizeof text_lob, SQLT_CLOB, nullptr,
                                       nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIBindByName(stmt, &bind, err, text(":b"), 2, &raw_lob, sizeof raw_lob, SQLT_BLOB, nullptr,
                                       nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT)) << last_error();
  OCIHandleFree(stmt, OCI_HTYPE_STMT);
  EXPECT_EQ("Grüß|010203", single_text("SELECT body || '|' || RAWTOHEX(data) FROM docs WHERE id = 7"));
  // Reading still needs an initialised locator.
  ub4 length = 0;
  EXPECT_EQ(OCI_ERROR, OCILobGetLength(svc, err, new_locator(), &length));
  EXPECT_EQ(22275, last_code());
}

class BfileTest : public LobTest {
 protected:
  void SetUp() override {
    LobTest::SetUp();
    folder = std::filesystem::path(database).parent_path() / ("files_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "note.txt", std::ios::binary) << "file contents\n";
    must_run("CREATE OR REPLACE DIRECTORY NOTES AS '" + folder.string() + "'");
    must_run("CREATE TABLE files (id NUMBER, f BFILE)");
    must_run("INSERT INTO files VALUES (1, BFILENAME('NOTES', 'note.txt'))");
    must_run("INSERT INTO files VALUES (2, BFILENAME('NOTES', 'missing.txt'))");
    must_run("INSERT INTO files VALUES (3, BFILENAME('NOWHERE', 'note.txt'))");
  }
  void TearDown() override {
    for (OCILobLocator* file : files) OCIDescriptorFree(file, OCI_DTYPE_FILE);
    LobTest::TearDown();
    std::filesystem::remove_all(folder);
  }
  OCILobLocator* file(int id) {
    files.push_back(select_locator("SELECT f FROM files WHERE id = " + std::to_string(id), SQLT_BFILE));
    return files.back();
  }
  std::filesystem::path folder;
  std::vector<OCILobLocator*> files;
};

TEST_F(BfileTest, ReadsRealFilesThroughDirectories) {
  OCILobLocator* note = file(1);
  OraText directory[32], name[32];
  ub2 directory_length = sizeof directory, name_length = sizeof name;
  ASSERT_EQ(OCI_SUCCESS, OCILobFileGetName(env, err, note, directory, &directory_length, name, &name_length));
  EXPECT_EQ("NOTES", std::string(reinterpret_cast<char*>(directory), directory_length));
  EXPECT_EQ("note.txt", std::string(reinterpret_cast<char*>(name), name_length));

  char buffer[32] = {0};
  ub4 amount = 4;
  EXPECT_EQ(OCI_ERROR, OCILobRead(svc, err, note, &amount, 1, buffer, sizeof buffer, nullptr, nullptr, 0, 0));
  EXPECT_EQ(22289, last_code());
  boolean flag = 0;
  ASSERT_EQ(OCI_SUCCESS, OCILobFileExists(svc, err, note, &flag));
  EXPECT_TRUE(flag);
  ASSERT_EQ(OCI_SUCCESS, OCILobFileOpen(svc, err, note, OCI_FILE_READONLY)) << last_error();
  ASSERT_EQ(OCI_SUCCESS, OCILobFileIsOpen(svc, err, note, &flag));
  EXPECT_TRUE(flag);
  EXPECT_EQ("file contents\n", read_all(note));
  EXPECT_EQ(OCI_ERROR, write(note, "x", 1));

  OCILobLocator* blob = insert_returning(1, "NULL");
  (void)blob;
  OCILobLocator* data = select_locator("SELECT data FROM docs WHERE id = 1 FOR UPDATE", SQLT_BLOB);
  ASSERT_EQ(OCI_SUCCESS, OCILobLoadFromFile(svc, err, data, note, 8, 1, 6)) << last_error();
  EXPECT_EQ("contents", read_all(data));

  ASSERT_EQ(OCI_SUCCESS, OCILobFileCloseAll(svc, err));
  ASSERT_EQ(OCI_SUCCESS, OCILobFileIsOpen(svc, err, note, &flag));
  EXPECT_FALSE(flag);

  // A locator named by the application reads the same file.
  OCILobLocator* named = new_locator(OCI_DTYPE_FILE);
  files.push_back(named);
  ASSERT_EQ(OCI_SUCCESS, OCILobFileSetName(env, err, &named, text("NOTES"), 5, text("note.txt"), 8));
  ASSERT_EQ(OCI_SUCCESS, OCILobFileOpen(svc, err, named, OCI_FILE_READONLY));
  EXPECT_EQ("file contents\n", read_all(named));
  ASSERT_EQ(OCI_SUCCESS, OCILobFileClose(svc, err, named));
}

TEST_F(BfileTest, MissingDirectoryOrFile) {
  OCILobLocator* missing = file(2);
  boolean flag = 1;
  ASSERT_EQ(OCI_SUCCESS, OCILobFileExists(svc, err, missing, &flag));
  EXPECT_FALSE(flag);
  EXPECT_EQ(OCI_ERROR, OCILobFileOpen(svc, err, missing, OCI_FILE_READONLY));
  EXPECT_EQ(22288, last_code());
  OCILobLocator* nowhere = file(3);
  EXPECT_EQ(OCI_ERROR, OCILobFileOpen(svc, err, nowhere, OCI_FILE_READONLY));
  EXPECT_EQ(22285, last_code());
  EXPECT_EQ(OCI_ERROR, OCILobFileExists(svc, err, nowhere, &flag));
  EXPECT_EQ(22285, last_code());
}

TEST_F(LobTest, TimestampDescriptorsFreeWithThePlainType) {
  for (ub4 type : {OCI_DTYPE_TIMESTAMP_TZ, OCI_DTYPE_TIMESTAMP_LTZ}) {
    void* descriptor = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIDescriptorAlloc(env, &descriptor, type, 0, nullptr));
    EXPECT_EQ(OCI_SUCCESS, OCIDescriptorFree(descriptor, OCI_DTYPE_TIMESTAMP));
    EXPECT_EQ(OCI_INVALID_HANDLE, OCIDescriptorFree(descriptor, type));
  }
}

TEST_F(LobTest, TimeZoneAndIntervalColumnsDescribeWithTheirPrecision) {
  must_run("CREATE TABLE times (a TIMESTAMP(3) WITH TIME ZONE, b TIMESTAMP WITH LOCAL TIME ZONE, "
           "c INTERVAL YEAR(3) TO MONTH, d INTERVAL DAY(4) TO SECOND(2))");
  OCIStmt* stmt = prepare("SELECT a, b, c, d FROM times");
  statements.push_back(stmt);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY)) << last_error();
  const ub2 codes[] = {188, 232, 189, 190};
  const sb2 precisions[] = {0, 0, 3, 4};
  for (ub4 i = 0; i < 4; ++i) {
    void* param = nullptr;
    ASSERT_EQ(OCI_SUCCESS, OCIParamGet(stmt, OCI_HTYPE_STMT, err, &param, i + 1));
    ub2 code = 0;
    sb2 precision = -1;
    OCIAttrGet(param, OCI_DTYPE_PARAM, &code, nullptr, OCI_ATTR_DATA_TYPE, err);
    OCIAttrGet(param, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, err);
    EXPECT_EQ(codes[i], code) << i;
    EXPECT_EQ(precisions[i], precision) << i;
  }
}

}  // namespace
}  // namespace ociemu::testing
