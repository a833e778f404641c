#include <iostream>
#include <string_view>

#include "base/appenv.h"
#include "base/files.h"
#include "base/gbk.h"
#include "cli/cli.h"

namespace zel::cli {

int UsageError(Io& io, const std::string& message) {
  io.err << "zelmora-cli: " << message << "\n";
  return kUsage;
}

bool ArgToGbk(Io& io, const std::string& utf8, std::string& gbk) {
  bool ok = false;
  gbk = FromUtf8(utf8, &ok);
  if (!ok) io.err << "zelmora-cli: \"" << utf8 << "\" is not UTF-8 text that GBK can hold\n";
  return ok;
}

void PrintGbk(std::ostream& os, const std::string& gbk) {
  std::string text = ToUtf8(gbk), out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  os << out;
}

int NotYet(Io& io, const char* name) {
  io.err << "zelmora-cli: " << name << " is not available in this build\n";
  return kNoResult;
}

namespace {

const Command kCommands[] = {
    {"scramble", "scramble TEXT", CmdScramble},
    {"unscramble", "unscramble HEX", CmdUnscramble},
    {"fetch", "fetch SOURCE VIEW CITYID   (SOURCE online|cc|cn, VIEW forecast|wind|trend)", CmdFetch},
    {"forecast", "forecast PROVINCE CITY [--server NAME]", CmdForecast},
    {"lunar", "lunar FROM [TO]            (dates YYYY-MM-DD)", CmdLunar},
    {"cyclic", "cyclic YEAR", CmdCyclic},
    {"calendar", "calendar YEAR MONTH [--today YYYY-MM-DD]", CmdCalendar},
    {"strokes", "strokes TEXT", CmdStrokes},
    {"relation", "relation NAME1 NAME2", CmdRelation},
    {"luck", "luck NUMBER", CmdLuck},
    {"postal", "postal PROVINCE", CmdPostal},
    {"update", "update", CmdUpdate},
};

void PrintUsage(std::ostream& os) {
  os << "usage: zelmora-cli [--app DIR] [--offline] COMMAND [ARGS]\n\ncommands:\n";
  for (const auto& c : kCommands) os << "  " << c.usage << "\n";
}

}  // namespace

int Main(int argc, char** argv, std::ostream& out, std::ostream& err) {
  Io io{out, err};
  Args args(argv + 1, argv + argc);
  std::string app;
  size_t i = 0;
  for (; i < args.size(); ++i) {
    if (args[i] == "--app") {
      if (i + 1 >= args.size()) return UsageError(io, "--app needs a folder");
      app = args[++i];
    } else if (args[i] == "--offline") {
      SetOnlineOverride(false);
    } else if (args[i] == "--help" || args[i] == "-h") {
      PrintUsage(out);
      return kOk;
    } else {
      break;
    }
  }
  if (i >= args.size()) {
    PrintUsage(err);
    return kUsage;
  }
  if (app.empty()) app = PrepareAppFolders(ExecutableFolder()).app;  // as the window does
  if (!DirExists(app)) return UsageError(io, "application folder \"" + app + "\" does not exist");
  SetAppPath(app);
  RemoveLeftoverTemps(app);  // what a killed run (window or CLI) left half-written
  LoadSysSettings();
  std::string name = args[i];
  Args rest(args.begin() + static_cast<long>(i) + 1, args.end());
  for (const auto& c : kCommands)
    if (name == c.name) return c.run(io, rest);
  PrintUsage(err);
  return UsageError(io, "unknown command \"" + name + "\"");
}

}  // namespace zel::cli
