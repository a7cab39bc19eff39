// liboramts.so's five entries: pooled and unique-server connections of
// ociemu sessions, logon failures in the service's numbers, enlistment
// state, the failure hook, and the file's place in the test Oracle home.
#include <dlfcn.h>

#include "../api/oci_test_support.h"
#include "ociemu/mts/oramts.h"

namespace ociemu::testing {
namespace {

constexpr const char* kUser = "MTSUSER";
constexpr const char* kPassword = "mtspass";

class MtsTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run(std::string("CREATE USER ") + kUser + " IDENTIFIED BY " + kPassword);
  }
  void TearDown() override {
    for (OCISvcCtx* s : got) OraMTSSvcRel(s);
    ociemu_mts_fail_next(nullptr, 0);
    OciTest::TearDown();
  }

  DWORD get(OCISvcCtx** out, ub4 flags = ORAMTS_CFLG_ALLDEFAULT, std::string user = kUser,
            std::string password = kPassword, std::string db = "") {
    if (db.empty()) db = database;
    OCIEnv* mts_env = nullptr;
    DWORD rc = OraMTSSvcGet(reinterpret_cast<OraText*>(user.data()), reinterpret_cast<OraText*>(password.data()),
                            reinterpret_cast<OraText*>(db.data()), out, &mts_env, flags);
    if (rc == ORAMTSERR_NOERROR) {
      EXPECT_NE(nullptr, mts_env);
      got.push_back(*out);
    }
    return rc;
  }

  DWORD release(OCISvcCtx* s) {
    std::erase(got, s);
    return OraMTSSvcRel(s);
  }

  std::vector<OCISvcCtx*> got;
};

TEST_F(MtsTest, connections_are_pooled_sessions_of_the_account) {
  OCISvcCtx* first = nullptr;
  ASSERT_EQ(ORAMTSERR_NOERROR, get(&first));
  EXPECT_EQ(kUser, single_text("SELECT USER FROM DUAL", first));
  OCIEnv* svc_env = nullptr;
  OCIAttrGet(first, OCI_HTYPE_SVCCTX, &svc_env, nullptr, OCI_ATTR_ENV, err);
  EXPECT_NE(nullptr, svc_env);
  EXPECT_EQ(ORAMTSERR_NOERROR, release(first));
  EXPECT_EQ(ORAMTSERR_INVALIDSRVCCTXT, OraMTSSvcRel(first));

  OCISvcCtx* again = nullptr;
  ASSERT_EQ(ORAMTSERR_NOERROR, get(&again));
  EXPECT_EQ(first, again);  // handed back to the pool, not logged off
  OCISvcCtx* own = nullptr;
  ASSERT_EQ(ORAMTSERR_NOERROR, get(&own, ORAMTS_CFLG_UNIQUESRVR | ORAMTS_CFLG_NOIMPLICIT));
  EXPECT_NE(again, own);
  EXPECT_EQ(kUser, single_text("SELECT USER FROM DUAL", own));
  EXPECT_EQ(ORAMTSERR_NOERROR, release(own));
  EXPECT_EQ(0, OraMTSTransTest());
}

TEST_F(MtsTest, logon_failures_answer_in_the_services_numbers) {
  OCISvcCtx* s = nullptr;
  EXPECT_EQ(ORAMTSERR_FAILEDLOGON, get(&s, 0, kUser, "wrong"));
  EXPECT_EQ(nullptr, s);
  EXPECT_EQ(ORAMTSERR_FAILEDATTACH, get(&s, ORAMTS_CFLG_UNIQUESRVR, kUser, kPassword, "no_such_alias"));
  EXPECT_EQ(ORAMTSERR_INVALIDARG, OraMTSSvcGet(nullptr, nullptr, nullptr, &s, nullptr, 0));
}

TEST_F(MtsTest, enlistment_is_tracked_per_connection) {
  OCISvcCtx* s = nullptr;
  ASSERT_EQ(ORAMTSERR_NOERROR, get(&s));
  int transaction = 0;
  EXPECT_EQ(ORAMTSERR_NOTENLISTED, OraMTSSvcEnlist(s, err, nullptr, ORAMTS_ENFLG_DEFAULT));
  EXPECT_EQ(ORAMTSERR_NOERROR, OraMTSSvcEnlist(s, err, &transaction, ORAMTS_ENFLG_DEFAULT));
  EXPECT_EQ(ORAMTSERR_ALREADYENLISTED, OraMTSSvcEnlistEx(s, err, &transaction, ORAMTS_ENFLG_DEFAULT, nullptr));
  EXPECT_EQ(ORAMTSERR_NOERROR, OraMTSSvcEnlistEx(s, err, nullptr, ORAMTS_ENFLG_DEFAULT, nullptr));
  EXPECT_EQ(ORAMTSERR_INVALIDSRVCCTXT, OraMTSSvcEnlist(svc, err, &transaction, 0));  // not one of the service's
}

TEST_F(MtsTest, the_failure_hook_fails_one_call_of_the_named_entry) {
  OCISvcCtx* s = nullptr;
  ociemu_mts_fail_next("OraMTSSvcGet", 1003);
  EXPECT_EQ(1003u, get(&s));
  ASSERT_EQ(ORAMTSERR_NOERROR, get(&s));
  ociemu_mts_fail_next("OraMTSSvcRel", 4003);
  EXPECT_EQ(4003u, OraMTSSvcRel(s));
  ociemu_mts_fail_next("OraMTSSvcEnlist", 6014);
  EXPECT_EQ(6014u, OraMTSSvcEnlist(s, err, nullptr, 0));
  EXPECT_EQ(ORAMTSERR_NOERROR, release(s));
}

TEST_F(MtsTest, the_test_oracle_home_holds_it_beside_the_client) {
  std::string lib = std::string(OCIEMU_ORACLE_HOME) + "/lib/";
  void* client = dlopen((lib + "libclntsh.so").c_str(), RTLD_NOW);
  void* mts = dlopen((lib + "liboramts.so").c_str(), RTLD_NOW);
  ASSERT_NE(nullptr, client) << dlerror();
  ASSERT_NE(nullptr, mts) << dlerror();
  for (const char* entry : {"OraMTSSvcGet", "OraMTSSvcRel", "OraMTSSvcEnlist", "OraMTSSvcEnlistEx", "OraMTSTransTest"}) {
    EXPECT_NE(nullptr, dlsym(mts, entry)) << entry;
  }
  // One client instance behind both files, so the service's connections work through the client's entries.
  EXPECT_EQ(dlsym(client, "OCILogon"), dlsym(mts, "OCILogon"));
  auto svc_get = reinterpret_cast<decltype(&OraMTSSvcGet)>(dlsym(mts, "OraMTSSvcGet"));
  auto server_version = reinterpret_cast<decltype(&OCIServerVersion)>(dlsym(client, "OCIServerVersion"));
  std::string user = kUser, password = kPassword;
  OCISvcCtx* s = nullptr;
  OCIEnv* mts_env = nullptr;
  ASSERT_EQ(ORAMTSERR_NOERROR, svc_get(reinterpret_cast<OraText*>(user.data()), reinterpret_cast<OraText*>(password.data()),
                                       reinterpret_cast<OraText*>(database.data()), &s, &mts_env, 0));
  got.push_back(s);
  OraText banner[512];
  EXPECT_EQ(OCI_SUCCESS, server_version(s, err, banner, sizeof banner, OCI_HTYPE_SVCCTX));
  dlclose(mts);
  dlclose(client);
}

}  // namespace
}  // namespace ociemu::testing
