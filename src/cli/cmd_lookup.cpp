#include "cli/cli.h"

namespace zel::cli {

int CmdPostal(Io& io, const Args&) { return NotYet(io, "postal"); }

}  // namespace zel::cli
