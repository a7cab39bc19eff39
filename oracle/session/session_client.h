// What the session expects of every object bound to it (queries, datasets,
// LOB locators, objects, references, loaders...), and the thread-safe lists
// in which it keeps them. An object adds itself when its session is set and
// removes itself when it is destroyed or moved to another session.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kvell {

enum TSessionClientKind {
  skQuery,
  skDataSet,
  skLOBLocator,
  skObject,
  skReference,
  skTimestamp,
  skDirectPathLoader,
  skQueryHolder,  // components that run their work through an internal query
};
constexpr int kSessionClientKinds = skQueryHolder + 1;

class TSessionClient {
 public:
  virtual ~TSessionClient() = default;
  // At logoff: give up what lives on the server (a query releases its
  // statement, a dataset closes unless it stays open, a loader frees its
  // handles). Exceptions are swallowed per object.
  virtual void SessionLoggingOff() {}
  // After logoff: a dataset that works detached refreshes its detached state.
  virtual void SessionLoggedOff() {}
  // The session is being destroyed: forget it (set the session to none)
  // without calling back into it.
  virtual void SessionDestroyed() = 0;
  // Datasets at design time: rebuild field definitions and re-open if active.
  virtual void ReopenForPreferences() {}
  virtual std::string ClientName() const { return {}; }
};

// Thread-safe: yes. Walks hold the list's lock, which nests, so a client may
// remove itself (or another) from inside a walk.
class TSessionClientList {
 public:
  void Add(TSessionClient* client);
  void Remove(TSessionClient* client);
  int Count() const;
  bool Contains(const TSessionClient* client) const;
  // Last to first, re-reading the size after each call so that removals are safe.
  void ForEachBackwards(const std::function<void(TSessionClient*)>& visit);

 private:
  mutable std::recursive_mutex mutex_;
  std::vector<TSessionClient*> clients_;  // not owned
};

}  // namespace kvell
