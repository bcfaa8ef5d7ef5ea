#ifndef VELMO_TOOLS_VELMO_DIAG_DIAG_RECOVER_H_
#define VELMO_TOOLS_VELMO_DIAG_DIAG_RECOVER_H_

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace velmo::diag {

// velmo-diag recover: gets the install directory out of an interrupted
// update. One JSON line per rename ({"action":"restored"|"setAside",
// "item":...,"from":...,"to":...}), {"action":"none"} when there was
// nothing to do, then the directory's state ({"state":"installed",
// "version":V} or {"state":"unrecovered"}). 0 when it ends a recognised
// installation without leftovers, 1 with the message otherwise; `usage`
// reports a malformed command line.
int command_recover(const std::vector<std::string>& args,
                    std::ostream& out,
                    std::ostream& err,
                    const std::function<int(std::ostream&)>& usage);

}  // namespace velmo::diag

#endif  // VELMO_TOOLS_VELMO_DIAG_DIAG_RECOVER_H_
