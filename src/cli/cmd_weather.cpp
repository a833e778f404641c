#include <iostream>

#include "base/appenv.h"
#include "base/gbk.h"
#include "base/ui.h"
#include "cli/cli.h"
#include "weather/cache.h"
#include "weather/forecast.h"
#include "weather/query.h"
#include "weather/sources.h"
#include "weather/status.h"

namespace zel::cli {

int CmdScramble(Io& io, const Args& args) {
  if (args.size() != 1) return UsageError(io, "usage: scramble TEXT");
  std::string plain;
  if (!ArgToGbk(io, args[0], plain)) return kUsage;
  io.out << ScrambleText(plain, CacheKey) << "\n";
  return kOk;
}

int CmdUnscramble(Io& io, const Args& args) {
  if (args.size() != 1) return UsageError(io, "usage: unscramble HEX");
  auto plain = UnscrambleText(args[0], CacheKey);
  if (!plain) return UsageError(io, "\"" + args[0] + "\" is not a scrambled text (hex digits, at least 4)");
  PrintGbk(io.out, *plain);
  io.out << "\n";
  return kOk;
}

namespace {

// Its own temporary file, so a running window's download is not disturbed.
std::string CliTempFile() { return AppPath() + "Download/ForeCastCli.dat"; }

// "online", "cc", "cn" or a display name; 0 when unknown.
int ServerNumber(const std::string& name, const std::string& gbk) {
  std::string n = FoldCase(name);
  if (n == "online" || gbk == OnlineCaption()) return 1;
  if (n == "cc" || gbk == CCCaption()) return 2;
  if (n == "cn" || gbk == CNCaption()) return 3;
  return 0;
}

}  // namespace

int CmdFetch(Io& io, const Args& args) {
  const char* usage = "usage: fetch SOURCE VIEW CITYID   (SOURCE online|cc|cn, VIEW forecast|wind|trend)";
  if (args.size() != 3) return UsageError(io, usage);
  std::string id;
  if (!ArgToGbk(io, args[2], id)) return kUsage;
  if (id.empty() || id.find_first_of("/\\\r\n") != std::string::npos)
    return UsageError(io, "\"" + args[2] + "\" is not a city id");
  int source = ServerNumber(args[0], "");
  if (source == 0) return UsageError(io, "unknown source \"" + args[0] + "\" (online, cc or cn)");
  std::string view = FoldCase(args[1]);
  bool second = view == "wind" || view == "trend";
  if (!second && view != "forecast") return UsageError(io, "unknown view \"" + args[1] + "\" (forecast, wind or trend)");
  if (source == 1 && view == "trend") return UsageError(io, "online has the views forecast and wind");
  if (source == 3 && view == "wind") return UsageError(io, "cn has the views forecast and trend");
  if (source == 2 && second) return UsageError(io, "cc has the forecast view only");

  ErrorText.clear();
  StatusText.clear();
  std::string record;
  if (source == 1) {
    TWeatherOnline s;
    s.CityID = id;
    s.TempFile = CliTempFile();
    record = second ? s.GetWind() : s.GetForeCast();
  } else if (source == 2) {
    TWeatherCC s;
    s.CityID = id;
    s.TempFile = CliTempFile();
    record = s.GetForeCast();
  } else {
    TWeatherCN s;
    s.CityID = id;
    s.TempFile = CliTempFile();
    record = second ? s.GetTrend() : s.GetForeCast();
  }
  for (const auto& field : SplitString(record, kRecordEnd)) {
    PrintGbk(io.out, field);
    io.out << "\n";
  }
  io.out << "status\t";
  PrintGbk(io.out, record.empty() ? ErrorText : StatusText);
  io.out << "\n";
  return record.empty() ? kNoResult : kOk;
}

int CmdForecast(Io& io, const Args& args) {
  const char* usage = "usage: forecast PROVINCE CITY [--server NAME]   (NAME online|cc|cn or the display name)";
  Args rest;
  std::string server;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--server") {
      if (i + 1 >= args.size()) return UsageError(io, "--server needs a name");
      server = args[++i];
    } else {
      rest.push_back(args[i]);
    }
  }
  if (rest.size() != 2) return UsageError(io, usage);
  std::string province, city;
  if (!ArgToGbk(io, rest[0], province) || !ArgToGbk(io, rest[1], city)) return kUsage;
  int source = 0;
  if (!server.empty()) {
    std::string gbk;
    if (!ArgToGbk(io, server, gbk)) return kUsage;
    source = ServerNumber(server, gbk);
    if (source == 0) return UsageError(io, "unknown server \"" + server + "\" (online, cc, cn or a display name)");
  }

  TForeCast m;
  if (!m.TemplatesLoaded && m.TemplateName != "default" && m.LoadTemplates("default")) {
    m.TemplateName = "default";
    m.TemplatesLoaded = true;
  }
  if (!m.TemplatesLoaded) {
    io.err << "zelmora-cli: the template set \"" << ToUtf8(m.TemplateName) << "\" cannot be read\n";
    return kNoResult;
  }
  if (IndexOfText(m.Catalogue.ReadSection(province), city) < 0)
    return UsageError(io, "\"" + rest[1] + "\" is not a city of \"" + rest[0] + "\" in Weather.ini");
  // For this run only: the chosen server in Sys.ini stays as it is.
  if (source != 0) m.SourceId = source;
  m.DataFile = CliTempFile();

  PageKeeper sink;
  std::string info = QueryForecast(m, sink, province, city);
  if (sink.shown) PrintGbk(io.out, sink.page);
  PrintGbk(io.err, info);
  io.err << "\n";
  return sink.shown ? kOk : kNoResult;
}

}  // namespace zel::cli
