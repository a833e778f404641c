#include <ostream>
#include <string>

#include "cli/cli.h"
#include "fortune/relation.h"
#include "fortune/strokes.h"
#include "fortune/tellucky.h"

namespace zel::cli {

// relation and luck print what the tab's result memo would show; bad input
// also gets a message on stderr.

int CmdStrokes(Io& io, const Args& args) {
  if (args.size() != 1) return UsageError(io, "usage: strokes TEXT");
  std::string text;
  if (!ArgToGbk(io, args[0], text)) return kUsage;
  io.out << StrokeTotal(text) << "\n";
  return kOk;
}

int CmdRelation(Io& io, const Args& args) {
  if (args.size() != 2) return UsageError(io, "usage: relation NAME1 NAME2");
  std::string name1, name2;
  if (!ArgToGbk(io, args[0], name1) || !ArgToGbk(io, args[1], name2)) return kUsage;
  TLRGX calc;
  std::string answer = RelationAnswer(calc, name1, name2);
  PrintGbk(io.out, answer);
  io.out << "\n";
  if (answer == RelationNoNameText()) return UsageError(io, "relation: a name is empty");
  if (answer == RelationErrorText()) return kNoResult;
  return kOk;
}

int CmdLuck(Io& io, const Args& args) {
  if (args.size() != 1) return UsageError(io, "usage: luck NUMBER");
  std::string number;
  if (!ArgToGbk(io, args[0], number)) return kUsage;
  TTelLucky calc;
  bool ok = false;
  PrintGbk(io.out, LuckAnswer(calc, number, &ok));
  io.out << "\n";
  return ok ? kOk : UsageError(io, "luck: \"" + args[0] + "\" is not a mobile number");
}

}  // namespace zel::cli
