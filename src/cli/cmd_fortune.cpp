#include "cli/cli.h"

namespace zel::cli {

int CmdStrokes(Io& io, const Args&) { return NotYet(io, "strokes"); }
int CmdRelation(Io& io, const Args&) { return NotYet(io, "relation"); }
int CmdLuck(Io& io, const Args&) { return NotYet(io, "luck"); }

}  // namespace zel::cli
