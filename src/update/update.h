// The data update thread TWeb: fetches the update description, and when it
// announces a newer data version downloads the listed files into the
// staging folder, copies them into place (never replacing a file) and
// records the new version and page names in Sys.ini. Silent: what it did
// is only handed back as a report (the CLI prints it; the window drops it).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "base/download.h"
#include "base/text.h"

namespace zel {

struct UpdateSettings {
  std::string appPath;         // ends in '/'
  std::string localVersion;    // DataVersion read from Sys.ini at start-up
  std::string descriptionUrl;  // update server + "/weather/UpDate.txt"
  DownloadLimits descriptionLimits;
  DownloadLimits fileLimits;   // a data file larger than fileLimits.maxBytes fails

  // From the process-wide start-up values; call on the thread that set them.
  static UpdateSettings FromStartup();
};

constexpr size_t kMaxDescriptionBytes = 256u << 10;
constexpr size_t kMaxDataFileBytes = 8u << 20;
// More files than this in one description is not a data update.
constexpr long long kMaxUpdateFiles = 500;

enum class UpdateResult {
  NoDescription,   // the description could not be fetched
  Current,         // the remote data version is not newer
  Refused,         // names outside the folder, a bad version or file count
  NoStaging,       // the staging folder could not be created
  DownloadFailed,  // a data file could not be fetched
  CopyFailed,      // a file could not be put in place (an existing one)
  Updated,
};

struct UpdateReport {
  UpdateResult result = UpdateResult::NoDescription;
  std::string localVersion, remoteVersion;
  std::string errorText;  // set when the staging folder could not be made
  TextList log;           // one line per step, GBK (names may be Chinese)
  bool Ok() const { return result == UpdateResult::Current || result == UpdateResult::Updated; }
};

class TWeb {
 public:
  explicit TWeb(UpdateSettings settings) : s_(std::move(settings)) {}

  // One run, in the foreground.
  UpdateReport Execute();

  // One run on its own detached thread. The thread owns a copy of the
  // settings and touches no window, so it may outlive anything. done, when
  // given, is called on that thread at the end.
  static void Start(UpdateSettings settings, std::function<void(const UpdateReport&)> done = {});

 private:
  UpdateSettings s_;
};

}  // namespace zel
