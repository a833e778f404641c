#include "cli/cli.h"

namespace zel::cli {

int CmdUpdate(Io& io, const Args&) { return NotYet(io, "update"); }

}  // namespace zel::cli
