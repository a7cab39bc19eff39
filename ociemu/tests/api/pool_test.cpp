// Session pools and OCISessionGet/Release through the C entries: sizes and
// counts, get modes, tags, dropping, heterogeneous accounts, standalone gets,
// and many threads sharing one pool.
#include <atomic>
#include <thread>

#include "oci_test_support.h"

namespace ociemu::testing {
namespace {

// The pools log on an account of their own, so that they do not depend on the demo account's password.
constexpr const char* kUser = "POOLED";
constexpr const char* kPassword = "pooled";

class PoolTest : public OciTest {
 protected:
  void SetUp() override {
    OciTest::SetUp();
    must_run(std::string("CREATE USER ") + kUser + " IDENTIFIED BY " + kPassword);
  }

  void TearDown() override {
    if (pool) OCISessionPoolDestroy(pool, err, OCI_SPD_FORCE);
    OciTest::TearDown();
  }

  void create_pool(ub4 min, ub4 max, ub4 incr, ub4 mode = OCI_SPC_HOMOGENEOUS, const std::string& user = kUser,
                   const std::string& password = kPassword) {
    ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&pool), OCI_HTYPE_SPOOL, 0, nullptr));
    OraText* name = nullptr;
    ub4 name_len = 0;
    std::string u = user, p = password;
    ASSERT_EQ(OCI_SUCCESS, OCISessionPoolCreate(env, err, pool, &name, &name_len, text(database), len(database), min,
                                                max, incr, reinterpret_cast<OraText*>(u.data()), len(u),
                                                reinterpret_cast<OraText*>(p.data()), len(p), mode))
        << last_error();
    pool_name.assign(reinterpret_cast<char*>(name), name_len);
  }

  ub4 pool_attribute(ub4 attribute) {
    ub4 value = 0;
    EXPECT_EQ(OCI_SUCCESS, OCIAttrGet(pool, OCI_HTYPE_SPOOL, &value, nullptr, attribute, err)) << last_error();
    return value;
  }

  void set_get_mode(ub1 mode) {
    ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(pool, OCI_HTYPE_SPOOL, &mode, sizeof mode, OCI_ATTR_SPOOL_GETMODE, err));
  }

  OCIAuthInfo* auth_info(const std::string& user, const std::string& password) {
    OCIAuthInfo* auth = nullptr;
    EXPECT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&auth), OCI_HTYPE_AUTHINFO, 0, nullptr));
    std::string u = user, p = password;
    OCIAttrSet(auth, OCI_HTYPE_AUTHINFO, u.data(), len(u), OCI_ATTR_USERNAME, err);
    OCIAttrSet(auth, OCI_HTYPE_AUTHINFO, p.data(), len(p), OCI_ATTR_PASSWORD, err);
    return auth;
  }

  struct Got {
    sword rc = OCI_ERROR;
    OCISvcCtx* svc = nullptr;
    bool found = false;
    std::string tag;
  };

  Got get(const std::string& tag = "", OCIAuthInfo* auth = nullptr, ub4 mode = OCI_SESSGET_SPOOL,
          OCIError* on = nullptr) {
    Got got;
    OraText* ret_tag = nullptr;
    ub4 ret_tag_len = 0;
    boolean found = 0;
    std::string name = (mode & OCI_SESSGET_SPOOL) ? pool_name : database;
    got.rc = OCISessionGet(env, on ? on : err, &got.svc, auth, reinterpret_cast<OraText*>(name.data()), len(name),
                           tag.empty() ? nullptr : text(tag), len(tag), &ret_tag, &ret_tag_len, &found, mode);
    got.found = found != 0;
    if (ret_tag) got.tag.assign(reinterpret_cast<char*>(ret_tag), ret_tag_len);
    return got;
  }

  sword release(OCISvcCtx* session, const std::string& tag = "", ub4 mode = OCI_DEFAULT) {
    std::string t = tag;
    return OCISessionRelease(session, err, t.empty() ? nullptr : reinterpret_cast<OraText*>(t.data()), len(t), mode);
  }

  OCISPool* pool = nullptr;
  std::string pool_name;
};

TEST_F(PoolTest, homogeneous_pool_opens_its_minimum_and_grows_by_its_increment) {
  create_pool(2, 5, 2);
  EXPECT_EQ(0u, pool_name.find("OCI:SP:"));
  EXPECT_EQ(2u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT));
  EXPECT_EQ(0u, pool_attribute(OCI_ATTR_SPOOL_BUSY_COUNT));
  EXPECT_EQ(2u, pool_attribute(OCI_ATTR_SPOOL_MIN));
  EXPECT_EQ(5u, pool_attribute(OCI_ATTR_SPOOL_MAX));
  EXPECT_EQ(2u, pool_attribute(OCI_ATTR_SPOOL_INCR));

  Got a = get(), b = get(), c = get();
  ASSERT_EQ(OCI_SUCCESS, a.rc) << last_error();
  ASSERT_EQ(OCI_SUCCESS, b.rc);
  ASSERT_EQ(OCI_SUCCESS, c.rc);
  EXPECT_EQ(kUser, single_text("SELECT USER FROM DUAL", c.svc));
  EXPECT_EQ(3u, pool_attribute(OCI_ATTR_SPOOL_BUSY_COUNT));
  EXPECT_EQ(4u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT));  // the third get opened two
  Got d = get(), e = get();
  ASSERT_EQ(OCI_SUCCESS, e.rc);
  EXPECT_EQ(5u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT));  // the increment stops at the maximum
  for (auto* s : {a.svc, b.svc, c.svc, d.svc, e.svc}) EXPECT_EQ(OCI_SUCCESS, release(s));
  EXPECT_EQ(0u, pool_attribute(OCI_ATTR_SPOOL_BUSY_COUNT));
  EXPECT_EQ(5u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT));
}

TEST_F(PoolTest, bad_sizes_and_bad_pool_owner_fail_the_create) {
  ASSERT_EQ(OCI_SUCCESS, OCIHandleAlloc(env, reinterpret_cast<void**>(&pool), OCI_HTYPE_SPOOL, 0, nullptr));
  OraText* name = nullptr;
  ub4 name_len = 0;
  std::string u = kUser, p = "wrong";
  EXPECT_EQ(OCI_ERROR, OCISessionPoolCreate(env, err, pool, &name, &name_len, text(database), len(database), 3, 2, 1,
                                            reinterpret_cast<OraText*>(u.data()), len(u),
                                            reinterpret_cast<OraText*>(p.data()), len(p), OCI_SPC_HOMOGENEOUS));
  EXPECT_EQ(24413, last_code());
  EXPECT_EQ(OCI_ERROR, OCISessionPoolCreate(env, err, pool, &name, &name_len, text(database), len(database), 1, 2, 1,
                                            reinterpret_cast<OraText*>(u.data()), len(u),
                                            reinterpret_cast<OraText*>(p.data()), len(p), OCI_SPC_HOMOGENEOUS));
  EXPECT_EQ(1017, last_code());
  // The failed create left no half-open pool behind: a good one can follow in the same handle.
  p = kPassword;
  EXPECT_EQ(OCI_SUCCESS, OCISessionPoolCreate(env, err, pool, &name, &name_len, text(database), len(database), 1, 2, 1,
                                              reinterpret_cast<OraText*>(u.data()), len(u),
                                              reinterpret_cast<OraText*>(p.data()), len(p), OCI_SPC_HOMOGENEOUS))
      << last_error();
  pool_name.assign(reinterpret_cast<char*>(name), name_len);
  EXPECT_EQ(1u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT));
}

TEST_F(PoolTest, get_modes_on_an_exhausted_pool) {
  create_pool(0, 1, 1);
  Got first = get();
  ASSERT_EQ(OCI_SUCCESS, first.rc) << last_error();

  set_get_mode(OCI_SPOOL_ATTRVAL_NOWAIT);
  ub1 mode = 9;
  OCIAttrGet(pool, OCI_HTYPE_SPOOL, &mode, nullptr, OCI_ATTR_SPOOL_GETMODE, err);
  EXPECT_EQ(OCI_SPOOL_ATTRVAL_NOWAIT, mode);
  Got refused = get();
  EXPECT_EQ(OCI_ERROR, refused.rc);
  EXPECT_EQ(nullptr, refused.svc);
  EXPECT_EQ("ORA-24496: OCISessionGet() timed out waiting for a free connection.\n", last_error());

  ub4 wait_ms = 0;
  OCIAttrSet(pool, OCI_HTYPE_SPOOL, &wait_ms, sizeof wait_ms, OCI_ATTR_SPOOL_WAIT_TIMEOUT, err);
  set_get_mode(OCI_SPOOL_ATTRVAL_TIMEDWAIT);
  EXPECT_EQ(OCI_ERROR, get().rc);
  EXPECT_EQ(24457, last_code());

  set_get_mode(OCI_SPOOL_ATTRVAL_FORCEGET);
  Got forced = get();
  ASSERT_EQ(OCI_SUCCESS, forced.rc) << last_error();
  EXPECT_NE(first.svc, forced.svc);
  EXPECT_EQ(2u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT));

  set_get_mode(OCI_SPOOL_ATTRVAL_NOWAIT);
  EXPECT_EQ(OCI_SUCCESS, release(first.svc));
  Got again = get();
  EXPECT_EQ(OCI_SUCCESS, again.rc) << last_error();
  EXPECT_EQ(first.svc, again.svc);
}

TEST_F(PoolTest, reinitialize_resizes_an_open_pool_and_keeps_its_name) {
  create_pool(1, 1, 1);
  const std::string name = pool_name;
  set_get_mode(OCI_SPOOL_ATTRVAL_NOWAIT);
  Got first = get();
  ASSERT_EQ(OCI_SUCCESS, first.rc) << last_error();
  EXPECT_EQ(OCI_ERROR, get().rc);
  EXPECT_EQ(24496, last_code());
  auto reinitialize = [&](ub4 min, ub4 max, ub4 incr) {
    OraText* new_name = nullptr;
    ub4 new_name_len = 0;
    sword rc = OCISessionPoolCreate(env, err, pool, &new_name, &new_name_len, nullptr, 0, min, max, incr, nullptr, 0,
                                    nullptr, 0, OCI_SPC_REINITIALIZE);
    if (rc == OCI_SUCCESS) {
      EXPECT_EQ(name, std::string(reinterpret_cast<char*>(new_name), new_name_len));
    }
    return rc;
  };
  ASSERT_EQ(OCI_SUCCESS, reinitialize(3, 4, 2)) << last_error();
  EXPECT_EQ(4u, pool_attribute(OCI_ATTR_SPOOL_MAX));
  EXPECT_EQ(3u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT)) << "opened up to the new minimum";
  Got second = get();
  EXPECT_EQ(OCI_SUCCESS, second.rc) << last_error();
  EXPECT_EQ(OCI_SUCCESS, release(second.svc));
  ASSERT_EQ(OCI_SUCCESS, reinitialize(1, 1, 1)) << last_error();
  EXPECT_EQ(1u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT)) << "idle sessions above the maximum close";
  EXPECT_EQ(OCI_ERROR, reinitialize(2, 1, 1));
  EXPECT_EQ(24413, last_code());
  EXPECT_EQ(OCI_SUCCESS, release(first.svc));
}

TEST_F(PoolTest, tags_find_the_session_they_were_released_with) {
  create_pool(0, 3, 1);
  Got a = get();
  ASSERT_EQ(OCI_SUCCESS, a.rc);
  must_run("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD'", a.svc);
  ASSERT_EQ(OCI_SUCCESS, release(a.svc, "DATES=ISO", OCI_SESSRLS_RETAG));

  Got b = get("DATES=ISO");
  ASSERT_EQ(OCI_SUCCESS, b.rc);
  EXPECT_TRUE(b.found);
  EXPECT_EQ("DATES=ISO", b.tag);
  EXPECT_EQ(a.svc, b.svc);
  EXPECT_EQ("2001-02-03", single_text("SELECT TO_CHAR(DATE '2001-02-03') FROM DUAL", b.svc));
  // Released without RETAG it keeps its tag.
  ASSERT_EQ(OCI_SUCCESS, release(b.svc, "IGNORED"));

  Got other = get("SOMETHING-ELSE");
  ASSERT_EQ(OCI_SUCCESS, other.rc);
  EXPECT_FALSE(other.found);
  EXPECT_NE(a.svc, other.svc);  // a new untagged session rather than the tagged one
  EXPECT_EQ("", other.tag);
  Got any = get("SOMETHING-ELSE", nullptr, OCI_SESSGET_SPOOL | OCI_SESSGET_SPOOL_MATCHANY);
  ASSERT_EQ(OCI_SUCCESS, any.rc);
  EXPECT_EQ(a.svc, any.svc);
  EXPECT_FALSE(any.found);
  EXPECT_EQ("DATES=ISO", any.tag);
  // RETAG with no tag clears it.
  ASSERT_EQ(OCI_SUCCESS, release(any.svc, "", OCI_SESSRLS_RETAG));
  Got untagged = get("DATES=ISO");
  EXPECT_FALSE(untagged.found);
  release(untagged.svc);
  release(other.svc);
}

TEST_F(PoolTest, dropped_killed_and_destroyed_sessions_leave_the_pool) {
  create_pool(0, 2, 1);
  Got a = get(), b = get();
  ASSERT_EQ(OCI_SUCCESS, b.rc);
  EXPECT_EQ(OCI_SUCCESS, release(a.svc, "", OCI_SESSRLS_DROPSESS));
  EXPECT_EQ(1u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT));
  EXPECT_EQ(OCI_INVALID_HANDLE, run("SELECT 1 FROM DUAL", a.svc));

  ASSERT_EQ(0, ociemu_kill_session(b.svc));
  EXPECT_EQ(OCI_ERROR, run("SELECT 1 FROM DUAL", b.svc));
  EXPECT_EQ(3113, last_code());
  EXPECT_EQ(OCI_SUCCESS, release(b.svc));  // a dead session is not lent again
  EXPECT_EQ(0u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT));

  Got c = get();
  ASSERT_EQ(OCI_SUCCESS, c.rc);
  EXPECT_EQ(OCI_ERROR, OCISessionPoolDestroy(pool, err, OCI_DEFAULT));
  EXPECT_EQ(24422, last_code());
  EXPECT_EQ(OCI_SUCCESS, OCISessionPoolDestroy(pool, err, OCI_SPD_FORCE));
  EXPECT_EQ(OCI_INVALID_HANDLE, release(c.svc));
  EXPECT_EQ(OCI_ERROR, get().rc);
  EXPECT_EQ(24416, last_code());
}

TEST_F(PoolTest, release_rolls_back_what_the_borrower_left_uncommitted) {
  create_pool(1, 1, 1);
  Got a = get();
  must_run("CREATE TABLE T (N NUMBER)", a.svc);
  must_run("INSERT INTO T VALUES (1)", a.svc);
  ASSERT_EQ(OCI_SUCCESS, release(a.svc));
  // The writer lock went with the rollback: another session can write at once.
  must_run("INSERT INTO POOLED.T VALUES (2)");
  must_run("COMMIT");
  Got b = get();
  EXPECT_EQ("1", single_text("SELECT COUNT(*) FROM T", b.svc));
  release(b.svc);
}

TEST_F(PoolTest, heterogeneous_pool_logs_on_the_account_of_each_get) {
  must_run("CREATE USER BOB IDENTIFIED BY secret");
  create_pool(0, 2, 1, OCI_DEFAULT);
  OCIAuthInfo* bob = auth_info("BOB", "secret");
  OCIAuthInfo* mine = auth_info(kUser, kPassword);
  Got as_bob = get("", bob), as_pooled = get("", mine);
  ASSERT_EQ(OCI_SUCCESS, as_bob.rc) << last_error();
  ASSERT_EQ(OCI_SUCCESS, as_pooled.rc) << last_error();
  EXPECT_EQ("BOB", single_text("SELECT USER FROM DUAL", as_bob.svc));
  EXPECT_EQ(kUser, single_text("SELECT USER FROM DUAL", as_pooled.svc));
  release(as_bob.svc);

  OCIAuthInfo* wrong = auth_info("BOB", "guess");
  EXPECT_EQ(OCI_ERROR, get("", wrong).rc);
  EXPECT_EQ(1017, last_code());
  // The pool is full (BOB idle, POOLED busy): a second POOLED session takes BOB's place.
  Got second_pooled = get("", mine);
  ASSERT_EQ(OCI_SUCCESS, second_pooled.rc) << last_error();
  EXPECT_EQ(kUser, single_text("SELECT USER FROM DUAL", second_pooled.svc));
  EXPECT_EQ(2u, pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT));
  release(second_pooled.svc);
  release(as_pooled.svc);
}

TEST_F(PoolTest, standalone_get_with_auth_info_is_released_like_a_logoff) {
  OCIAuthInfo* mine = auth_info(kUser, kPassword);
  Got own = get("", mine, OCI_SESSGET_STMTCACHE);
  ASSERT_EQ(OCI_SUCCESS, own.rc) << last_error();
  EXPECT_EQ(kUser, single_text("SELECT USER FROM DUAL", own.svc));
  EXPECT_EQ(OCI_SUCCESS, release(own.svc));
  EXPECT_EQ(OCI_INVALID_HANDLE, release(own.svc));

  OCIAuthInfo* wrong = auth_info(kUser, "POOLED");  // passwords are case-sensitive
  Got refused = get("", wrong, OCI_DEFAULT);
  EXPECT_EQ(OCI_ERROR, refused.rc);
  EXPECT_EQ(1017, last_code());
}

TEST_F(PoolTest, statement_cache_of_pooled_sessions_takes_the_pool_size) {
  create_pool(1, 1, 1, OCI_SPC_HOMOGENEOUS | OCI_SPC_STMTCACHE);
  ub4 size = 5;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(pool, OCI_HTYPE_SPOOL, &size, sizeof size, OCI_ATTR_SPOOL_STMTCACHESIZE, err));
  EXPECT_EQ(5u, pool_attribute(OCI_ATTR_SPOOL_STMTCACHESIZE));
  Got a = get();
  ub4 svc_size = 0;
  OCIAttrGet(a.svc, OCI_HTYPE_SVCCTX, &svc_size, nullptr, OCI_ATTR_STMTCACHESIZE, err);
  EXPECT_EQ(5u, svc_size);
  std::string sql = "SELECT 1 FROM DUAL";
  OCIStmt* first = nullptr;
  OCIStmt* second = nullptr;
  ASSERT_EQ(OCI_SUCCESS, OCIStmtPrepare2(a.svc, &first, err, text(sql), len(sql), nullptr, 0, OCI_NTV_SYNTAX, 0));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtExecute(a.svc, first, err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, OCIStmtRelease(first, err, nullptr, 0, OCI_DEFAULT));
  ASSERT_EQ(OCI_SUCCESS, release(a.svc));
  Got b = get();
  ASSERT_EQ(a.svc, b.svc);
  ASSERT_EQ(OCI_SUCCESS, OCIStmtPrepare2(b.svc, &second, err, text(sql), len(sql), nullptr, 0, OCI_NTV_SYNTAX, 0));
  EXPECT_EQ(first, second);  // the cache outlived the loan
  OCIStmtRelease(second, err, nullptr, 0, OCI_DEFAULT);
  release(b.svc);
}

TEST_F(PoolTest, idle_settings_round_trip_and_unknown_names_are_refused) {
  create_pool(0, 1, 1);
  ub4 seconds = 30;
  ASSERT_EQ(OCI_SUCCESS, OCIAttrSet(pool, OCI_HTYPE_SPOOL, &seconds, sizeof seconds, OCI_ATTR_SPOOL_TIMEOUT, err));
  EXPECT_EQ(30u, pool_attribute(OCI_ATTR_SPOOL_TIMEOUT));
  ub1 bad_mode = 7;
  EXPECT_EQ(OCI_ERROR, OCIAttrSet(pool, OCI_HTYPE_SPOOL, &bad_mode, 1, OCI_ATTR_SPOOL_GETMODE, err));
  pool_name = "OCI:SP:no-such-pool";
  EXPECT_EQ(OCI_ERROR, get().rc);
  EXPECT_EQ(24416, last_code());
}

// Threads far outnumber sessions; waiting gets must each be served in turn.
TEST_F(PoolTest, threads_share_a_small_pool_in_wait_mode) {
  create_pool(1, 2, 1);
  Got setup = get();
  must_run("CREATE TABLE W (T NUMBER, I NUMBER)", setup.svc);
  release(setup.svc);
  constexpr int kThreads = 6, kRounds = 15;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      OCIError* thread_err = nullptr;
      OCIHandleAlloc(env, reinterpret_cast<void**>(&thread_err), OCI_HTYPE_ERROR, 0, nullptr);
      for (int round = 0; round < kRounds; ++round) {
        Got got = get("", nullptr, OCI_SESSGET_SPOOL, thread_err);
        if (got.rc != OCI_SUCCESS) {
          ++failures;
          continue;
        }
        OCIStmt* stmt = nullptr;
        OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
        std::string sql = "INSERT INTO W VALUES (" + std::to_string(t) + ", " + std::to_string(round) + ")";
        OCIStmtPrepare(stmt, thread_err, text(sql), len(sql), OCI_NTV_SYNTAX, OCI_DEFAULT);
        if (OCIStmtExecute(got.svc, stmt, thread_err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS) != OCI_SUCCESS) {
          ++failures;
        }
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        if (OCISessionRelease(got.svc, thread_err, nullptr, 0, OCI_DEFAULT) != OCI_SUCCESS) ++failures;
      }
      OCIHandleFree(thread_err, OCI_HTYPE_ERROR);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(std::to_string(kThreads * kRounds), single_text("SELECT COUNT(*) FROM POOLED.W"));
  EXPECT_EQ(0u, pool_attribute(OCI_ATTR_SPOOL_BUSY_COUNT));
  EXPECT_LE(pool_attribute(OCI_ATTR_SPOOL_OPEN_COUNT), 2u);
}

}  // namespace
}  // namespace ociemu::testing
