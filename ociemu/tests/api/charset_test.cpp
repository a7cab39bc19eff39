// The character set as a client discovers it: environment and server
// attributes, the NLS entries, and the bytes-per-character probe in SQL.
#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

using CharsetTest = OciTest;

TEST_F(CharsetTest, attributes_and_nls_entries_agree_on_al32utf8) {
  ub2 id = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(env, OCI_HTYPE_ENV, &id, nullptr, OCI_ATTR_ENV_CHARSET_ID, err));
  EXPECT_EQ(873, id);
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(env, OCI_HTYPE_ENV, &id, nullptr, OCI_ATTR_CHARSET_ID, err));
  EXPECT_EQ(873, id);
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(env, OCI_HTYPE_ENV, &id, nullptr, OCI_ATTR_ENV_NCHARSET_ID, err));
  EXPECT_EQ(2000, id);
  OCIServer* server = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(svc, OCI_HTYPE_SVCCTX, &server, nullptr, OCI_ATTR_SERVER, err));
  id = 0;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(server, OCI_HTYPE_SERVER, &id, nullptr, OCI_ATTR_CHARSET_ID, err));
  EXPECT_EQ(873, id);

  sb4 value = 0;
  ASSERT_EQ(OCI_SUCCESS, OCINlsNumericInfoGet(env, err, &value, OCI_NLS_CHARSET_MAXBYTESZ));
  EXPECT_EQ(4, value);
  ASSERT_EQ(OCI_SUCCESS, OCINlsNumericInfoGet(env, err, &value, OCI_NLS_CHARSET_ID));
  EXPECT_EQ(873, value);
  EXPECT_EQ(OCI_ERROR, OCINlsNumericInfoGet(env, err, &value, 12345));

  EXPECT_EQ(873, OCINlsCharSetNameToId(env, reinterpret_cast<const OraText*>("al32utf8")));
  EXPECT_EQ(0, OCINlsCharSetNameToId(env, reinterpret_cast<const OraText*>("NO-SUCH-SET")));
  OraText name[OCI_NLS_MAXBUFSZ];
  ASSERT_EQ(OCI_SUCCESS, OCINlsCharSetIdToName(env, name, sizeof name, 873));
  EXPECT_STREQ("AL32UTF8", reinterpret_cast<char*>(name));
  ASSERT_EQ(OCI_SUCCESS, OCINlsNameMap(env, name, sizeof name, reinterpret_cast<const OraText*>("AL32UTF8"),
                                       OCI_NLS_CS_ORA_TO_IANA));
  EXPECT_STREQ("UTF-8", reinterpret_cast<char*>(name));
  EXPECT_EQ(OCI_ERROR, OCINlsCharSetIdToName(env, name, 4, 873)) << "too small a buffer";

  OCIEnv* nls_env = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIEnvNlsCreate(&nls_env, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr, 873, 2000));
  ASSERT_EQ(OCI_SUCCESS, OCIAttrGet(nls_env, OCI_HTYPE_ENV, &id, nullptr, OCI_ATTR_ENV_CHARSET_ID, nullptr));
  EXPECT_EQ(873, id);
  OCIHandleFree(nls_env, OCI_HTYPE_ENV);
}

// CHR of a large code is a byte string that is not well-formed UTF-8; each stray byte counts as a character.
TEST_F(CharsetTest, the_bytes_per_character_probe_resolves_four) {
  EXPECT_EQ("4", single_text("select length(chr(2000000000)) l4 from dual"));
  EXPECT_EQ("3", single_text("select length(chr(2000000)) l3 from dual"));
  EXPECT_EQ("2", single_text("select length(chr(20000)) l2 from dual"));
  // The probe exactly as a session sends it runs too.
  must_run("select length(chr(2000000000)) l4, length(chr(2000000)) l3,  length(chr(20000)) l2 from dual");
  // Well-formed multi-byte text still counts by character.
  EXPECT_EQ("3", single_text("select length('a\xC3\xA9\xE2\x82\xAC') from dual"));
  EXPECT_EQ("6", single_text("select lengthb('a\xC3\xA9\xE2\x82\xAC') from dual"));
  EXPECT_EQ("\xE2\x82\xAC", single_text("select substr('a\xC3\xA9\xE2\x82\xAC', 3, 1) from dual"));
}

}  // namespace
}  // namespace ociemu::testing
