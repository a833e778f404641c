#include "cli/cli.h"

namespace zel::cli {

int CmdLunar(Io& io, const Args&) { return NotYet(io, "lunar"); }
int CmdCyclic(Io& io, const Args&) { return NotYet(io, "cyclic"); }
int CmdCalendar(Io& io, const Args&) { return NotYet(io, "calendar"); }

}  // namespace zel::cli
