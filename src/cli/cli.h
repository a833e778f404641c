// zelmora-cli: the scriptable face of the core. Arguments and output are
// UTF-8; the commands work on GBK inside like the window does.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zel::cli {

using Args = std::vector<std::string>;  // UTF-8, after the command name

enum Exit { kOk = 0, kNoResult = 1, kUsage = 2 };

struct Io {
  std::ostream& out;
  std::ostream& err;
};

// Prints "zelmora-cli: " + message to err and returns kUsage.
int UsageError(Io& io, const std::string& message);
// UTF-8 argument -> GBK; false (with a message printed) when the argument
// holds characters GBK cannot express.
bool ArgToGbk(Io& io, const std::string& utf8, std::string& gbk);
// Prints a GBK text as UTF-8, CR LF turned into LF.
void PrintGbk(std::ostream& os, const std::string& gbk);

struct Command {
  const char* name;
  const char* usage;  // shown by --help
  int (*run)(Io& io, const Args& args);
};

// Each module's commands (src/cli/cmd_<module>.cpp).
int CmdScramble(Io&, const Args&);
int CmdUnscramble(Io&, const Args&);
int CmdFetch(Io&, const Args&);
int CmdForecast(Io&, const Args&);
int CmdLunar(Io&, const Args&);
int CmdCyclic(Io&, const Args&);
int CmdCalendar(Io&, const Args&);
int CmdStrokes(Io&, const Args&);
int CmdRelation(Io&, const Args&);
int CmdLuck(Io&, const Args&);
int CmdPostal(Io&, const Args&);
int CmdUpdate(Io&, const Args&);

// The whole program: global options, then the command.
int Main(int argc, char** argv, std::ostream& out, std::ostream& err);

// Not built yet: a clear message and kNoResult.
int NotYet(Io& io, const char* name);

}  // namespace zel::cli
