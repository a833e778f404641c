#include "update/update.h"

#include <thread>

#include "base/appenv.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "update/safe_path.h"
#include "update/version.h"

namespace zel {

UpdateSettings UpdateSettings::FromStartup() {
  UpdateSettings s;
  s.appPath = AppPath();
  s.localVersion = Startup().dataVersion;
  s.descriptionUrl = ServerBase("Update") + "/weather/UpDate.txt";
  s.descriptionLimits = GetDownloadLimits();
  s.descriptionLimits.maxBytes = kMaxDescriptionBytes;
  s.fileLimits = GetDownloadLimits();
  s.fileLimits.maxBytes = kMaxDataFileBytes;
  return s;
}

namespace {

struct Entry {
  std::string file, to;     // as written in the description
  std::string staged, dest;  // full paths
};

std::string Num(size_t i) { return std::to_string(i); }

}  // namespace

UpdateReport TWeb::Execute() {
  UpdateReport r;
  auto log = [&r](std::string line) { r.log.push_back(std::move(line)); };
  const std::string desc = s_.appPath + "UpDate.ini";
  r.localVersion = s_.localVersion;

  if (!IsWebAddress(s_.descriptionUrl) || !DownloadFile(s_.descriptionUrl, desc, s_.descriptionLimits)) {
    log("fetch " + s_.descriptionUrl + ": failed");
    r.result = UpdateResult::NoDescription;
    return r;
  }
  log("fetch " + s_.descriptionUrl + ": saved as UpDate.ini");

  IniFile ini(desc);
  r.remoteVersion = ini.ReadString("main", "DataVersion", "0");
  // A version that is not a date or a number could compare above every
  // later one and block all further updates, so it is never recorded; a
  // local one of that kind (left by an older run) counts as no version.
  if (!IsDataVersion(r.remoteVersion)) {
    log("refused: data version \"" + r.remoteVersion + "\" is not a date or a number");
    r.result = UpdateResult::Refused;
    return r;
  }
  std::string local = s_.localVersion;
  if (!IsDataVersion(local)) {
    log("local data version \"" + local + "\" is not a date or a number, taken as 0");
    local = "0";
  }
  bool newer = CompareVersion(local, r.remoteVersion) < 0;
  log("data version: local " + s_.localVersion + ", remote " + r.remoteVersion +
      (newer ? " (newer)" : " (not newer)"));
  if (!newer) {
    r.result = UpdateResult::Current;
    return r;
  }

  // Everything the description names is checked before anything is fetched,
  // so a refused description changes no file.
  const std::string staging = s_.appPath + "Download/";
  std::string numText = ini.ReadString("download", "Num", "");
  long long count = 0;
  if (!Trim(numText).empty() && (!ParseInt(numText, count) || count < 0 || count > kMaxUpdateFiles)) {
    log("refused: \"" + numText + "\" files announced");
    r.result = UpdateResult::Refused;
    return r;
  }
  std::string url = ini.ReadString("download", "URL", "");
  if (count > 0 && !IsWebAddress(url)) {
    log("refused: download address \"" + url + "\" is not http or https");
    r.result = UpdateResult::Refused;
    return r;
  }
  // The page names are opened later as AppPath + name: one that would lead
  // out of the folder refuses the whole update, so the three keys always
  // change together.
  std::string pages[2];
  const char* pageKeys[2] = {"AD", "face"};
  for (int k = 0; k < 2; ++k) {
    pages[k] = ini.ReadString("main", pageKeys[k], "");
    if (!pages[k].empty() && !PathInside(s_.appPath, PathPiece(pages[k]))) {
      log(std::string("refused: ") + pageKeys[k] + " \"" + pages[k] + "\" leaves the application folder");
      r.result = UpdateResult::Refused;
      return r;
    }
  }
  std::vector<Entry> entries;
  for (size_t i = 1; i <= static_cast<size_t>(count); ++i) {
    Entry e;
    e.file = ini.ReadString("download", "File" + Num(i), "");
    e.to = ini.ReadString("download", "To" + Num(i), "");
    auto staged = PathInside(staging, PathPiece(e.file));
    auto dest = PathInside(s_.appPath, PathPiece(e.to));
    if (!staged || !dest) {
      log("refused: file " + Num(i) + " (\"" + e.file + "\" to \"" + e.to + "\") leaves the application folder");
      r.result = UpdateResult::Refused;
      return r;
    }
    e.staged = *staged;
    e.dest = *dest;
    entries.push_back(std::move(e));
  }

  if (!DirExists(staging) && !CreateDir(s_.appPath + "Download")) {
    r.errorText = "Cannot Create " + s_.appPath + "Download";
    log(r.errorText);
    r.result = UpdateResult::NoStaging;
    return r;
  }

  bool ok = true;
  for (const auto& e : entries) {
    bool got = DownloadFile(url + e.file, e.staged, s_.fileLimits);
    log("download " + url + e.file + ": " + (got ? "staged" : "failed"));
    ok = ok && got;
  }
  if (!ok) {
    r.result = UpdateResult::DownloadFailed;
    return r;
  }

  for (const auto& e : entries) {
    bool copied = CopyFile(e.staged, e.dest);
    DeleteFile(e.staged);
    log("copy " + e.file + " to " + e.to + ": " + (copied ? "done" : "failed (exists or cannot be written)"));
    ok = ok && copied;
  }
  if (!ok) {
    r.result = UpdateResult::CopyFailed;
    return r;
  }

  // One rewrite of Sys.ini: a kill leaves the old three keys or the new.
  IniFile sys(s_.appPath + "Sys.ini");
  if (!sys.WriteStrings("main", {{"DataVersion", r.remoteVersion}, {"AD", pages[0]}, {"face", pages[1]}})) {
    log("Sys.ini: cannot be written");
    r.result = UpdateResult::CopyFailed;
    return r;
  }
  log("Sys.ini: DataVersion=" + r.remoteVersion + ", AD=" + pages[0] + ", face=" + pages[1]);
  r.result = UpdateResult::Updated;
  return r;
}

void TWeb::Start(UpdateSettings settings, std::function<void(const UpdateReport&)> done) {
  std::thread([s = std::move(settings), done = std::move(done)]() mutable {
    // Failures of the update are silent; a fault in it must not end the
    // program either.
    UpdateReport r;
    try {
      r = TWeb(std::move(s)).Execute();
    } catch (...) {
      r.result = UpdateResult::NoDescription;
    }
    if (done) done(r);
  }).detach();
}

}  // namespace zel
