// The session's lists of bound objects.
#include "oracle/session/session_client.h"

#include <algorithm>

namespace kvell {

void TSessionClientList::Add(TSessionClient* client) {
  std::lock_guard lock(mutex_);
  if (std::find(clients_.begin(), clients_.end(), client) == clients_.end()) clients_.push_back(client);
}

void TSessionClientList::Remove(TSessionClient* client) {
  std::lock_guard lock(mutex_);
  std::erase(clients_, client);
}

int TSessionClientList::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(clients_.size());
}

bool TSessionClientList::Contains(const TSessionClient* client) const {
  std::lock_guard lock(mutex_);
  return std::find(clients_.begin(), clients_.end(), client) != clients_.end();
}

void TSessionClientList::ForEachBackwards(const std::function<void(TSessionClient*)>& visit) {
  std::lock_guard lock(mutex_);
  for (size_t index = clients_.size(); index > 0; --index) {
    if (index > clients_.size()) {
      index = clients_.size() + 1;  // the visit removed several; resume at the new end
      continue;
    }
    visit(clients_[index - 1]);
  }
}

}  // namespace kvell
