#include <iostream>

#include "base/gbk.h"
#include "cli/cli.h"
#include "weather/cache.h"

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

int CmdFetch(Io& io, const Args&) { return NotYet(io, "fetch"); }
int CmdForecast(Io& io, const Args&) { return NotYet(io, "forecast"); }

}  // namespace zel::cli
