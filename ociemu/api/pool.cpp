#include "ociemu/api/pool.h"


#include <algorithm>
#include <atomic>
#include <cctype>

#include "ociemu/api/process_state.h"
#include "ociemu/api/text_case.h"

namespace ociemu {
namespace {

constexpr const char* kPoolNamePrefix = "OCI:SP:";

struct PoolRegistry {
  std::mutex mutex;
  std::vector<SessionPool*> pools;
  std::atomic<uint64_t> counter{0};
};

PoolRegistry& registry() { return process_state<PoolRegistry>(); }

void unregister(SessionPool* pool) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  std::erase(r.pools, pool);
}

}  // namespace

SessionPool::SessionPool(Environment* env) : Handle(kType, env) {}

SessionPool::~SessionPool() {
  try {
    destroy(true);
  } catch (...) {
    // Sessions close while the handle goes; a failure there has nobody to report to.
  }
}

void SessionPool::create(PoolSettings settings) {
  if (settings.max == 0 || settings.min > settings.max) fail(24413);
  settings.increment = std::max<uint32_t>(settings.increment, 1);
  {
    Lock lock(mutex_);
    if (open_) fail(24411);
    settings_ = std::move(settings);
    name_ = kPoolNamePrefix + std::to_string(++registry().counter);
    open_ = true;
    if (settings_.homogeneous && settings_.min > 0) {
      try {
        open_locked(lock, settings_.owner, 0, settings_.min)->busy = false;
      } catch (...) {
        open_ = false;
        members_.clear();
        throw;
      }
    }
  }
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  r.pools.push_back(this);
}

void SessionPool::reinitialize(uint32_t min, uint32_t max, uint32_t increment) {
  if (max == 0 || min > max) fail(24413);
  std::vector<std::unique_ptr<Member>> closing;
  Lock lock(mutex_);
  if (!open_) fail(24416);
  settings_.min = min;
  settings_.max = max;
  settings_.increment = std::max<uint32_t>(increment, 1);
  for (auto it = members_.begin(); it != members_.end() && members_.size() > max;) {
    if ((*it)->busy) {
      ++it;
    } else {
      closing.push_back(std::move(*it));
      it = members_.erase(it);
    }
  }
  const uint32_t open = open_count_locked();
  if (settings_.homogeneous && open < min) open_locked(lock, settings_.owner, 0, min - open)->busy = false;
  changed_.notify_all();
  lock.unlock();
}

void SessionPool::destroy(bool force) {
  std::vector<std::unique_ptr<Member>> closing;
  {
    Lock lock(mutex_);
    if (!open_) return;
    if (!force && std::any_of(members_.begin(), members_.end(), [](auto& m) { return m->busy; })) fail(24422);
    open_ = false;
    closing.swap(members_);
    changed_.notify_all();
  }
  unregister(this);
  closing.clear();
}

bool SessionPool::created() const {
  Lock lock(mutex_);
  return open_;
}

bool SessionPool::same_account(const Credentials& a, const Credentials& b) const {
  return upper(a.user) == upper(b.user) && a.password == b.password;
}

std::unique_ptr<SessionPool::Member> SessionPool::open_member(const Credentials& account, uint32_t logon_mode) const {
  auto member = std::make_unique<Member>();
  member->account = account;
  member->server = std::make_unique<Server>(env());
  member->server->attach(settings_.connect_string);
  member->session = std::make_unique<Session>(env());
  member->session->cache_enabled = settings_.statement_cache;
  member->session->begin(*member->server, account.user, account.password, logon_mode);
  member->session->username = account.user;
  member->svc = std::make_unique<ServiceContext>(env());
  member->svc->server = member->server.get();
  member->svc->session = member->session.get();
  member->idle_since = member->born = std::chrono::steady_clock::now();
  return member;
}

// Logs `count` sessions on without holding the lock; the first comes back busy for the caller.
SessionPool::Member* SessionPool::open_locked(Lock& lock, const Credentials& account, uint32_t logon_mode,
                                              uint32_t count) {
  opening_ += count;
  std::vector<std::unique_ptr<Member>> opened;
  lock.unlock();
  try {
    for (uint32_t i = 0; i < count; ++i) opened.push_back(open_member(account, logon_mode));
  } catch (...) {
    lock.lock();
    opening_ -= count;
    changed_.notify_all();
    throw;
  }
  lock.lock();
  opening_ -= count;
  if (!open_) fail(24416);
  opened.front()->busy = true;
  Member* first = opened.front().get();
  for (auto& member : opened) members_.push_back(std::move(member));
  changed_.notify_all();
  return first;
}

SessionPool::Member* SessionPool::find_free(const Credentials& account, const GetRequest& request, bool& found) {
  auto pick = [&](auto&& accept) -> Member* {
    for (auto& member : members_) {
      if (!member->busy && same_account(member->account, account) && accept(*member)) return member.get();
    }
    return nullptr;
  };
  found = false;
  if (Member* exact = pick([&](const Member& m) { return m.tag == request.tag; })) {
    found = !request.tag.empty();
    return exact;
  }
  if (Member* untagged = pick([](const Member& m) { return m.tag.empty(); })) return untagged;
  // A tagged session rather than a wait, unless a new one may still be opened.
  bool full = open_count_locked() >= settings_.max;
  if (request.match_any || full) return pick([](const Member&) { return true; });
  return nullptr;
}

// A full heterogeneous pool makes room by closing an idle session of another account.
bool SessionPool::make_room_locked(const Credentials& account) {
  auto idle_other = std::find_if(members_.begin(), members_.end(), [&](auto& m) {
    return !m->busy && !same_account(m->account, account);
  });
  if (idle_other == members_.end()) return false;
  members_.erase(idle_other);
  return true;
}

void SessionPool::close_idle_locked() {
  auto now = std::chrono::steady_clock::now();
  auto expired = [&](const std::unique_ptr<Member>& m) {
    if (m->busy) return false;
    if (timeout_seconds_ > 0 && now - m->idle_since >= std::chrono::seconds(timeout_seconds_)) return true;
    return m->session->kill_state != 0;
  };
  // The pool never shrinks below its minimum through idleness.
  size_t keep = settings_.homogeneous ? settings_.min : 0;
  for (auto it = members_.begin(); it != members_.end() && members_.size() > keep;) {
    it = expired(*it) ? members_.erase(it) : it + 1;
  }
}

uint32_t SessionPool::open_count_locked() const { return static_cast<uint32_t>(members_.size()) + opening_; }

void SessionPool::wait_locked(Lock& lock) {
  if (get_mode_ != OCI_SPOOL_ATTRVAL_TIMEDWAIT) {
    changed_.wait(lock);
    return;
  }
  if (changed_.wait_for(lock, std::chrono::milliseconds(wait_timeout_ms_)) == std::cv_status::timeout) fail(24457);
}

Lent SessionPool::lend_locked(Member& member, bool found) {
  member.busy = true;
  member.svc->stmt_cache_size = stmt_cache_size_;
  member.session->cache_capacity = stmt_cache_size_;
  if (settings_.statement_cache) member.session->cache_enabled = stmt_cache_size_ > 0;
  return Lent{member.svc.get(), &member.tag, found};
}

Lent SessionPool::get(const Credentials* who, const GetRequest& request) {
  Lock lock(mutex_);
  if (!open_) fail(24416);
  Credentials account = settings_.owner;
  if (!settings_.homogeneous && who != nullptr && !who->user.empty()) account = *who;
  if (account.user.empty()) fail(24415);
  for (;;) {
    if (!open_) fail(24416);
    close_idle_locked();
    bool found = false;
    if (Member* member = find_free(account, request, found)) return lend_locked(*member, found);
    uint32_t open = open_count_locked();
    if (open < settings_.max || get_mode_ == OCI_SPOOL_ATTRVAL_FORCEGET || make_room_locked(account)) {
      uint32_t count = 1;
      if (settings_.homogeneous && open < settings_.max) count = std::min(settings_.increment, settings_.max - open);
      return lend_locked(*open_locked(lock, account, request.logon_mode, count), false);
    }
    if (get_mode_ == OCI_SPOOL_ATTRVAL_NOWAIT) fail(24496);
    wait_locked(lock);
  }
}

bool SessionPool::lends(const ServiceContext* svc) const {
  Lock lock(mutex_);
  return std::any_of(members_.begin(), members_.end(), [&](auto& m) { return m->busy && m->svc.get() == svc; });
}

void SessionPool::release(ServiceContext* svc, const std::string* retag, bool drop) {
  std::unique_ptr<Member> closing;
  Lock lock(mutex_);
  auto it = std::find_if(members_.begin(), members_.end(), [&](auto& m) { return m->busy && m->svc.get() == svc; });
  if (it == members_.end()) fail(24421);
  Member& member = **it;
  Session& session = *member.session;
  bool usable = !drop && session.begun && session.kill_state == 0;
  if (usable && session.in_transaction) {
    // The next borrower must not inherit uncommitted work, nor the file's write lock.
    try {
      session.rollback();
    } catch (...) {
      usable = false;
    }
  }
  auto age = std::chrono::steady_clock::now() - member.born;
  if (max_lifetime_seconds_ > 0 && age >= std::chrono::seconds(max_lifetime_seconds_)) usable = false;
  if (usable) {
    member.busy = false;
    if (retag) member.tag = *retag;
    member.idle_since = std::chrono::steady_clock::now();
  } else {
    closing = std::move(*it);
    members_.erase(it);
  }
  changed_.notify_all();
  lock.unlock();
}

uint32_t SessionPool::attribute(uint32_t which) const {
  Lock lock(mutex_);
  switch (which) {
    case OCI_ATTR_SPOOL_OPEN_COUNT: return static_cast<uint32_t>(members_.size());
    case OCI_ATTR_SPOOL_BUSY_COUNT:
      return static_cast<uint32_t>(std::count_if(members_.begin(), members_.end(), [](auto& m) { return m->busy; }));
    case OCI_ATTR_SPOOL_MIN: return settings_.min;
    case OCI_ATTR_SPOOL_MAX: return settings_.max;
    case OCI_ATTR_SPOOL_INCR: return settings_.increment;
    case OCI_ATTR_SPOOL_GETMODE: return get_mode_;
    case OCI_ATTR_SPOOL_TIMEOUT: return timeout_seconds_;
    case OCI_ATTR_SPOOL_WAIT_TIMEOUT: return wait_timeout_ms_;
    case OCI_ATTR_SPOOL_MAX_LIFETIME_SESSION: return max_lifetime_seconds_;
    case OCI_ATTR_SPOOL_STMTCACHESIZE: return stmt_cache_size_;
    default: fail(24315);
  }
}

void SessionPool::set_attribute(uint32_t which, uint32_t value) {
  Lock lock(mutex_);
  switch (which) {
    case OCI_ATTR_SPOOL_GETMODE:
      if (value > OCI_SPOOL_ATTRVAL_TIMEDWAIT) fail(24315);
      get_mode_ = static_cast<uint8_t>(value);
      break;
    case OCI_ATTR_SPOOL_TIMEOUT: timeout_seconds_ = value; break;
    case OCI_ATTR_SPOOL_WAIT_TIMEOUT: wait_timeout_ms_ = value; break;
    case OCI_ATTR_SPOOL_MAX_LIFETIME_SESSION: max_lifetime_seconds_ = value; break;
    case OCI_ATTR_SPOOL_STMTCACHESIZE: stmt_cache_size_ = value; break;
    default: fail(24315);
  }
  changed_.notify_all();
}

SessionPool* find_pool(std::string_view name) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  for (SessionPool* pool : r.pools) {
    if (pool->name() == name) return pool;
  }
  return nullptr;
}

SessionPool* lending_pool(const ServiceContext* svc) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  for (SessionPool* pool : r.pools) {
    if (pool->lends(svc)) return pool;
  }
  return nullptr;
}

}  // namespace ociemu
