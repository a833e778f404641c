#include <ostream>

#include "base/appenv.h"
#include "base/files.h"
#include "base/gbk.h"
#include "cli/cli.h"
#include "lookup/mailtel.h"

namespace zel::cli {

// postal PROVINCE: the table page the postal tab shows for that province.
int CmdPostal(Io& io, const Args& args) {
  if (args.size() != 1) return UsageError(io, "usage: postal PROVINCE");
  std::string wanted;
  if (!ArgToGbk(io, args[0], wanted)) return kUsage;
  std::string path = AppPath() + "mailtel.ini";
  if (!FileExists(path)) {
    io.err << "zelmora-cli: no mailtel.ini in " << AppPath() << "\n";
    return kNoResult;
  }
  TMailTel mailTel(path);
  int row = IndexOfText(mailTel.Provinces, wanted);
  if (row < 0) {
    io.err << "zelmora-cli: \"" << args[0] << "\" is not a province of mailtel.ini; the provinces are:";
    for (const auto& p : mailTel.Provinces) io.err << " " << ToUtf8(p);
    io.err << "\n";
    return kUsage;
  }
  // The name exactly as listed, as a pick in the window would give it.
  mailTel.CurrentProvince = mailTel.Provinces[static_cast<size_t>(row)];
  mailTel.ReadPlaces();
  mailTel.BuildPage();
  PrintGbk(io.out, mailTel.PageText());
  return kOk;
}

}  // namespace zel::cli
