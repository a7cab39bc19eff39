// Session properties, preferences, streaming and the attached-object lists.
#include <vector>

#include "oracle/binding/entry_tables.h"
#include "oracle/ui/default_user_interface.h"
#include "session_fixture.h"

namespace kvell::testing {
namespace {

TEST(TSessionPreferences, defaults_and_assign_copy_every_value) {
  TOracleSession session;
  TSessionPreferences& defaults = session.Preferences();
  EXPECT_EQ(0, defaults.FloatPrecision());
  EXPECT_EQ(0, defaults.IntegerPrecision());
  EXPECT_EQ(-1, defaults.SmallIntPrecision());
  EXPECT_EQ(0, defaults.MaxStringFieldSize());
  EXPECT_FALSE(defaults.UseOCI7());
  EXPECT_TRUE(defaults.ConvertCRLF && defaults.TrimStringFields && defaults.ZeroDateIsNull);
  EXPECT_FALSE(defaults.NullLOBIsEmpty || defaults.NullObjectIsEmpty || defaults.TimestampAsString());
  EXPECT_EQ(tlCache, defaults.TemporaryLOB);

  TSessionPreferences source(nullptr);
  source.SetFloatPrecision(8);
  source.SetIntegerPrecision(5);
  source.SetSmallIntPrecision(3);
  source.SetUseOCI7(true);
  source.ConvertCRLF = source.TrimStringFields = source.ZeroDateIsNull = false;
  source.SetMaxStringFieldSize(100);
  source.NullLOBIsEmpty = source.NullObjectIsEmpty = true;
  source.TemporaryLOB = tlNoCache;
  source.SetTimestampAsString(true);
  session.SetPreferences(source);
  const TSessionPreferences& copy = session.Preferences();
  EXPECT_EQ(8, copy.FloatPrecision());
  EXPECT_EQ(5, copy.IntegerPrecision());
  EXPECT_EQ(3, copy.SmallIntPrecision());
  EXPECT_TRUE(copy.UseOCI7());
  EXPECT_FALSE(copy.ConvertCRLF || copy.TrimStringFields || copy.ZeroDateIsNull);
  EXPECT_EQ(100, copy.MaxStringFieldSize());
  EXPECT_TRUE(copy.NullLOBIsEmpty && copy.NullObjectIsEmpty && copy.TimestampAsString());
  EXPECT_EQ(tlNoCache, copy.TemporaryLOB);
}

class RemoteModule : public TComponent, public TParentClassInfo {
 public:
  using TComponent::TComponent;
  const char* ParentClassName() const override { return "TRemoteDataModule"; }
};

TEST(TSessionPreferences, a_session_on_a_remote_data_module_limits_string_fields_to_255) {
  RemoteModule module(nullptr);
  auto* session = new TOracleSession(&module);  // owned by the module
  EXPECT_EQ(255, session->Preferences().MaxStringFieldSize());
}

// A dataset stand-in that records what the session asks of it.
class RecordingClient : public TSessionClient {
 public:
  RecordingClient(std::vector<std::string>& log, std::string name, bool fail = false)
      : log_(log), name_(std::move(name)), fail_(fail) {}
  void SessionLoggingOff() override {
    log_.push_back(name_ + ".LoggingOff");
    if (fail_) throw Exception("cannot close");
  }
  void SessionLoggedOff() override { log_.push_back(name_ + ".LoggedOff"); }
  void SessionDestroyed() override { log_.push_back(name_ + ".Destroyed"); }
  void ReopenForPreferences() override {
    log_.push_back(name_ + ".Reopen");
    if (fail_) throw Exception("no such column");
  }
  std::string ClientName() const override { return name_; }

 private:
  std::vector<std::string>& log_;
  std::string name_;
  bool fail_;
};

TEST(TSessionPreferences, changes_at_design_time_reopen_datasets_and_report_failures) {
  std::vector<std::string> log;
  RecordingClient good(log, "Good"), bad(log, "Bad", true);
  TOracleSession session;
  session.AttachClient(skDataSet, &good);
  session.AttachClient(skDataSet, &bad);
  session.Preferences().SetFloatPrecision(5);  // not designing: nothing
  EXPECT_TRUE(log.empty());
  session.SetDesigning(true);
  ::testing::internal::CaptureStderr();
  session.Preferences().SetIntegerPrecision(4);
  std::string reported = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ((std::vector<std::string>{"Bad.Reopen", "Good.Reopen"}), log);
  EXPECT_EQ("Error reactivating dataset Bad:\r\nno such column\n", reported);
  session.Preferences().SetIntegerPrecision(4);  // unchanged: nothing
  EXPECT_EQ(2u, log.size());
  session.DetachClient(skDataSet, &good);
  session.DetachClient(skDataSet, &bad);
}

TEST(MapNumberColumn, follows_the_precisions_of_the_preferences) {
  TOracleSession session;
  auto map = [&](int precision, int scale, bool as_string = false) {
    NumberColumnMapping mapping = session.MapNumberColumn(precision, scale, as_string);
    return std::make_pair(mapping.ExternalType, mapping.BufferSize);
  };
  EXPECT_EQ(std::make_pair(4, 8), map(0, 0));
  EXPECT_EQ(std::make_pair(3, 4), map(9, 0));
  EXPECT_EQ(std::make_pair(4, 8), map(10, 0));
  EXPECT_EQ(std::make_pair(5, 11), map(9, 0, true));
  session.Preferences().SetFloatPrecision(8);
  EXPECT_EQ(std::make_pair(5, 13), map(10, 2));
  EXPECT_EQ(std::make_pair(5, 173), map(0, -127));
  session.SetLogonDatabase("ODBC:x");  // the bridge reads integers up to 10 digits
  EXPECT_EQ(std::make_pair(3, 4), map(10, 0));
}

TEST(RequireOCI8Session, names_what_is_missing) {
  auto message = [](auto check) {
    try {
      check();
    } catch (const Exception& error) {
      return error.Message;
    }
    return std::string("no exception");
  };
  TOracleSession session;
  EXPECT_EQ("A query with LOB's requires a session", message([] { RequireOCI8Session(nullptr, "A query with LOB's"); }));
  EXPECT_EQ("LOBs requires a connected session", message([&] { RequireOCI8Session(&session, "LOBs"); }));
  EXPECT_EQ("Pools requires a connected session", message([&] { RequireNet9Session(&session, "Pools"); }));
}

class SessionPropertiesTest : public SessionTest {};

TEST_F(SessionPropertiesTest, feature_checks_pass_on_an_OCI8_session_and_name_the_mode_on_OCI7) {
  auto session = MakeSession(Interface::UseOCI7);
  session->LogOn();
  try {
    RequireOCI8Session(session.get(), "Objects");
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ("Objects requires OCI8 mode, but OCI7 mode is used.", error.Message);
  }
  auto modern = MakeSession();
  modern->LogOn();
  EXPECT_NO_THROW(RequireOCI8Session(modern.get(), "Objects"));
  EXPECT_NO_THROW(RequireNet9Session(modern.get(), "Objects"));
}

TEST_F(SessionPropertiesTest, logoff_closes_attached_objects_and_destruction_detaches_them) {
  std::vector<std::string> log;
  RecordingClient query(log, "Query", true), dataset(log, "DataSet"), lob(log, "Lob");
  {
    auto session = MakeSession();
    session->AttachClient(skQuery, &query);
    session->AttachClient(skDataSet, &dataset);
    session->AttachClient(skLOBLocator, &lob);
    session->LogOn();
    EXPECT_EQ(std::vector<std::string>{"DataSet.LoggedOff"}, log);  // the logon's own logoff step
    log.clear();
    session->LogOff();  // the query's failure does not stop the dataset's close
    EXPECT_EQ((std::vector<std::string>{"Query.LoggingOff", "DataSet.LoggingOff", "DataSet.LoggedOff"}), log);
    session->LogOn();
    log.clear();
  }
  EXPECT_EQ((std::vector<std::string>{"Query.LoggingOff", "DataSet.LoggingOff", "DataSet.LoggedOff", "Lob.Destroyed",
                                      "DataSet.Destroyed", "Query.Destroyed"}),
            log);
}

TEST_F(SessionPropertiesTest, connected_while_loading_logs_on_after_loading_with_the_events) {
  auto session = MakeSession();
  std::vector<std::string> events;
  session->AfterLogOn = [&](TOracleSession*) { events.push_back("AfterLogOn"); };
  session->OnChange = [&](TOracleSession*) { events.push_back("OnChange"); };
  session->BeginLoading();
  session->SetConnected(true);
  EXPECT_FALSE(session->Connected());
  session->EndLoading();
  EXPECT_TRUE(session->Connected());
  EXPECT_EQ((std::vector<std::string>{"AfterLogOn", "OnChange"}), events);
}

TEST_F(SessionPropertiesTest, a_design_connection_read_outside_design_mode_stays_closed) {
  TOracleSession session;
  session.BeginLoading();
  session.DesignConnection = true;
  session.SetLogonUsername(kDemoUser);
  session.SetLogonPassword(kDemoPassword);
  session.SetLogonDatabase(database_);
  session.SetConnected(true);
  session.EndLoading();
  EXPECT_FALSE(session.Connected());
  EXPECT_EQ("", session.LogonUsername());
}

TEST_F(SessionPropertiesTest, a_failed_logon_while_loading_at_design_time_is_reported_not_raised) {
  auto session = MakeSession();
  session->SetLogonPassword("wrong");
  session->SetDesigning(true);
  session->BeginLoading();
  session->SetConnected(true);
  ::testing::internal::CaptureStderr();
  EXPECT_NO_THROW(session->EndLoading());
  EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStderr().find("ORA-01017"));
  EXPECT_FALSE(session->Connected());
}

class CursorLog : public UserInterface {
 public:
  int Confirm(const std::string&, TConfirmButtons) override { return mrNone; }
  TCursor ScreenCursor() override { return cursor; }
  void SetScreenCursor(TCursor value) override {
    cursor = value;
    log.push_back(value);
  }
  void HandleException(const void*) override {}
  int ComponentCount() override { return 0; }
  TComponent* Component(int) override { return nullptr; }
  TCursor cursor = 7;
  std::vector<TCursor> log;
};

TEST_F(SessionPropertiesTest, logon_shows_the_sessions_cursor_and_puts_the_screen_cursor_back) {
  auto owned = std::make_unique<CursorLog>();
  CursorLog* cursors = owned.get();
  InstallUserInterface(std::move(owned));
  auto session = MakeSession();
  session->LogOn();
  ASSERT_FALSE(cursors->log.empty());
  EXPECT_EQ(crHourGlass, cursors->log.front());
  EXPECT_EQ(7, cursors->cursor);
  cursors->log.clear();
  session->Cursor = crDefault;
  session->LogOff();
  session->LogOn();
  EXPECT_TRUE(cursors->log.empty());
  InstallUserInterface(nullptr);
}

class FakePool : public TComponent, public TSessionPoolConnector {
 public:
  using TComponent::TComponent;
  ~FakePool() override { BeforeDestruction(); }
  bool ReserveConnection(TOracleSession& session) override {
    lender.LogOn();
    lender.ShareConnection(session);
    return ++reservations == 1;
  }
  void ReleaseConnection(TOracleSession&) override { ++releases; }
  bool PoolStatementCacheInUse() const override { return false; }
  void FireAfterReserve(TOracleSession&) override { events.push_back("AfterReserve"); }
  void FireAfterConnect(TOracleSession&) override {
    events.push_back("AfterConnect");
    throw Exception("handler failure is swallowed");
  }
  void FireBeforeRelease(TOracleSession&) override { events.push_back("BeforeRelease"); }
  TOracleSession lender;
  int reservations = 0, releases = 0;
  std::vector<std::string> events;
};

TEST_F(SessionPropertiesTest, an_internally_pooled_session_borrows_and_returns_its_connection) {
  FakePool pool(nullptr);
  pool.lender.SetLogonUsername(kDemoUser);
  pool.lender.SetLogonPassword(kDemoPassword);
  pool.lender.SetLogonDatabase(database_);
  TOracleSession session;
  session.SetPool(&pool);
  EXPECT_EQ(spInternal, session.Pooling());
  session.LogOn();
  EXPECT_TRUE(session.Connected());
  EXPECT_TRUE(session.Shared());
  EXPECT_EQ("x", QueryValue(session, "select 'x' from dual"));
  session.LogOff();
  EXPECT_EQ(1, pool.releases);
  EXPECT_EQ((std::vector<std::string>{"AfterReserve", "AfterConnect", "BeforeRelease"}), pool.events);
  session.SetPooling(spNone);
  EXPECT_EQ(nullptr, session.Pool());
}

TEST_F(SessionPropertiesTest, a_destroyed_pool_is_forgotten) {
  TOracleSession session;
  {
    FakePool pool(nullptr);
    session.SetPool(&pool);
    EXPECT_EQ(&pool, session.Pool());
  }
  EXPECT_EQ(nullptr, session.Pool());
  EXPECT_EQ(spInternal, session.Pooling());
}

}  // namespace
}  // namespace kvell::testing
