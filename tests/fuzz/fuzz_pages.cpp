// Each source's page parse on any page: never a read past the page or a
// line, never more fields than a full record; the credit cut likewise.
#include <cstdint>
#include <cstdlib>

#include "base/files.h"
#include "base/ini.h"
#include "fuzz/fuzz_util.h"
#include "weather/parsers.h"
#include "weather/source_frame.h"
#include "weather/sources.h"

#ifndef ZEL_PAGE_KIND
#error "ZEL_PAGE_KIND selects the parser"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    const std::string& app = zel::fuzz::ScratchApp();
    // Icons the CN pages name go to a port nobody listens on.
    zel::WriteFileAtomic(app + "Servers.ini", "[servers]\r\nCN=http://127.0.0.1:1\r\n");
    zel::CreateDir(app + "images");
    return true;
  }();
  (void)ready;
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  zel::TextList lines = zel::SplitLines(text), fields;
  static zel::TWeatherCN cn;
  size_t max = 0;
  switch (ZEL_PAGE_KIND) {
    case 0: zel::parse::CCForecast(lines, fields); max = 16; break;
    case 1: zel::parse::CNForecast(cn, lines, fields); max = 11; break;
    case 2: zel::parse::CNTrend(cn, lines, fields); max = 35; break;
    case 3: zel::parse::OnlineForecast(lines, fields); max = 1000000; break;
    case 4: zel::parse::OnlineWind(lines, fields); max = 1000000; break;
    case 5: {
      std::string path = zel::parse::OnlineFramePath(lines);
      if (path.size() > text.size()) std::abort();
      break;
    }
  }
  if (fields.size() > max && ZEL_PAGE_KIND != 5) std::abort();
  // The credit line at a page's foot: bounded, and no markup left in it.
  std::string credit = zel::frame::CreditLine(lines);
  if (credit.size() > zel::frame::kMaxCredit || credit.find('<') != std::string::npos) std::abort();
  return 0;
}
