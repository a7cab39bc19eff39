// Where LOB locators, object instances and references report their work to
// an external activity monitor, and the identity they report under. This
// system has no such monitor: the hooks are empty, a report's text is never
// even built, and nothing depends on them beyond the identity (id, owner id,
// name) the classes expose.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

namespace kvell {

// One reporter's identity. Plain data, used by its reporter's thread.
struct TMonitorData {
  int Id = 0;             // from 1, unique among the reporters of one class
  int OwnerId = 0;        // the id of the component the reporter works for; 0 none
  int64_t StartTick = 0;  // steady-clock milliseconds at creation
  std::string Name;       // the class's prefix followed by Id unless given
};

// The next identity from a class's counter (thread-safe); an empty name
// becomes `prefix` followed by the id.
inline TMonitorData NewMonitorData(std::atomic<int>& counter, const char* prefix, int owner_id = 0,
                                   std::string name = {}) {
  TMonitorData data;
  data.Id = counter.fetch_add(1, std::memory_order_relaxed);
  data.OwnerId = owner_id;
  data.StartTick = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                       .count();
  data.Name = name.empty() ? prefix + std::to_string(data.Id) : std::move(name);
  return data;
}

// The hooks. `text` is a callable giving the report's text, so that the
// empty monitor costs no string building on every LOB read.
template <class Text>
void MonitorReport(const TMonitorData&, const Text&) {}
// The end of the last report: `error` is empty on success, else the failure's message.
inline void MonitorReportEnd(const TMonitorData&, const char* /*error*/) {}
// The reporter is gone.
inline void MonitorLifeEnd(const TMonitorData&) {}

// Runs `action` between a report and its end.
template <class Text, class Action>
auto Monitored(const TMonitorData& data, const Text& text, Action&& action) {
  MonitorReport(data, text);
  try {
    if constexpr (std::is_void_v<decltype(action())>) {
      action();
      MonitorReportEnd(data, "");
    } else {
      auto result = action();
      MonitorReportEnd(data, "");
      return result;
    }
  } catch (const std::exception& failure) {
    MonitorReportEnd(data, failure.what());
    throw;
  }
}

}  // namespace kvell
