// Client-side session pools: a named set of logged-on sessions on one
// database that OCISessionGet lends out and OCISessionRelease takes back,
// with tags, idle time-outs, the get modes and a per-session statement cache.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ociemu/api/handles.h"
#include "ociemu/api/session.h"

namespace ociemu {

struct Credentials {
  std::string user;
  std::string password;
};

struct PoolSettings {
  std::string connect_string;
  Credentials owner;  // the pool's own account (every session of a homogeneous pool)
  uint32_t min = 0, max = 1, increment = 1;
  bool homogeneous = false;
  bool statement_cache = false;
};

// What a get asks for beyond the account.
struct GetRequest {
  std::string tag;         // empty: untagged
  bool match_any = false;  // OCI_SESSGET_SPOOL_MATCHANY
  uint32_t logon_mode = 0;
};

// A lent session: its service context, the tag it carries and whether that tag was the one asked for.
struct Lent {
  ServiceContext* svc = nullptr;
  const std::string* tag = nullptr;  // valid until the session is released
  bool found = false;
};

// Thread-safe: yes. Every get and release meets under one mutex; a get in
// wait mode sleeps on a condition variable until a release or destroy. A lent
// session itself is used by one thread at a time, as any session.
class SessionPool : public Handle {
 public:
  static constexpr uint32_t kType = OCI_HTYPE_SPOOL;
  explicit SessionPool(Environment* env);
  ~SessionPool() override;

  // Opens the pool (min sessions for a homogeneous one) and gives it its name.
  void create(PoolSettings settings);
  // OCI_SPC_REINITIALIZE: new sizes for an open pool; a homogeneous pool opens up to its new
  // minimum, and idle sessions above the new maximum close.
  void reinitialize(uint32_t min, uint32_t max, uint32_t increment);
  // Closes every session; busy ones only when forced (else ORA-24422).
  void destroy(bool force);
  bool created() const;
  const std::string& name() const { return name_; }

  Lent get(const Credentials* who, const GetRequest& request);
  // Takes a lent session back (retag: the tag it now carries); drop closes it.
  void release(ServiceContext* svc, const std::string* retag, bool drop);
  bool lends(const ServiceContext* svc) const;

  uint32_t attribute(uint32_t which) const;  // ub4 attributes; throws ORA-24315 for others
  void set_attribute(uint32_t which, uint32_t value);

 private:
  struct Member {
    std::unique_ptr<Server> server;
    std::unique_ptr<Session> session;
    std::unique_ptr<ServiceContext> svc;
    Credentials account;
    std::string tag;
    bool busy = false;
    std::chrono::steady_clock::time_point idle_since;
    std::chrono::steady_clock::time_point born;  // for the maximum lifetime
  };
  using Lock = std::unique_lock<std::mutex>;

  std::unique_ptr<Member> open_member(const Credentials& account, uint32_t logon_mode) const;
  Member* find_free(const Credentials& account, const GetRequest& request, bool& found);
  Member* open_locked(Lock& lock, const Credentials& account, uint32_t logon_mode, uint32_t count);
  bool make_room_locked(const Credentials& account);
  void wait_locked(Lock& lock);
  void close_idle_locked();
  Lent lend_locked(Member& member, bool found);
  uint32_t open_count_locked() const;
  bool same_account(const Credentials& a, const Credentials& b) const;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string name_;
  PoolSettings settings_;
  bool open_ = false;
  std::vector<std::unique_ptr<Member>> members_;
  uint32_t opening_ = 0;         // sessions being logged on outside the lock
  uint8_t get_mode_ = OCI_SPOOL_ATTRVAL_WAIT;
  uint32_t timeout_seconds_ = 0;  // idle sessions older than this close; 0 = never
  uint32_t wait_timeout_ms_ = 0;  // for OCI_SPOOL_ATTRVAL_TIMEDWAIT
  uint32_t max_lifetime_seconds_ = 0;
  uint32_t stmt_cache_size_ = 20;
};

// The created pool of that name, or nullptr.
SessionPool* find_pool(std::string_view name);
// The pool that lent a service context, or nullptr.
SessionPool* lending_pool(const ServiceContext* svc);

}  // namespace ociemu
