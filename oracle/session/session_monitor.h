// Where a session would report its logons, logoffs and transactions to an
// external activity monitor. This system has no such monitor: the hooks are
// empty and nothing depends on them.
#pragma once

namespace kvell {

class TOracleSession;

inline void MonitorLogOn(const TOracleSession&) {}
inline void MonitorLogOff(const TOracleSession&) {}
inline void MonitorCommit(const TOracleSession&) {}
inline void MonitorRollback(const TOracleSession&) {}

}  // namespace kvell
