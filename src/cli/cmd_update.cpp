#include <ostream>

#include "cli/cli.h"
#include "update/update.h"

namespace zel::cli {

namespace {
const char* Outcome(UpdateResult r) {
  switch (r) {
    case UpdateResult::NoDescription: return "stopped: the update description could not be fetched";
    case UpdateResult::Current: return "data are current";
    case UpdateResult::Refused: return "stopped: the update description was refused, nothing changed";
    case UpdateResult::NoStaging: return "stopped: the staging folder could not be created";
    case UpdateResult::DownloadFailed: return "stopped: a data file could not be fetched, nothing copied";
    case UpdateResult::CopyFailed: return "stopped: a data file could not be put in place, Sys.ini unchanged";
    case UpdateResult::Updated: return "data updated";
  }
  return "";
}
}  // namespace

// The start-up data update, once, in the foreground.
int CmdUpdate(Io& io, const Args& args) {
  if (!args.empty()) return UsageError(io, "usage: update");
  UpdateReport r = TWeb(UpdateSettings::FromStartup()).Execute();
  for (const auto& line : r.log) {
    PrintGbk(io.out, line);
    io.out << "\n";
  }
  io.out << Outcome(r.result) << "\n";
  return r.Ok() ? kOk : kNoResult;
}

}  // namespace zel::cli
