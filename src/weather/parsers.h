// The page parsers of the three sources: page lines in, the fields found in
// page order out. They never read past the page; the sources count the
// fields and fall back to the cache.
#pragma once

#include "base/files.h"
#include "base/text.h"

namespace zel {

class TWeatherCN;

namespace parse {

void CCForecast(const PageLines& lines, TextList& fields);
// The CN parsers fetch the icons the page names through src.
void CNForecast(TWeatherCN& src, const PageLines& lines, TextList& fields);
void CNTrend(TWeatherCN& src, const PageLines& lines, TextList& fields);
void OnlineForecast(const PageLines& lines, TextList& fields);
void OnlineWind(const PageLines& lines, TextList& fields);
// The inner page's path named by an online frame page; empty when the page
// holds no readable frame line.
std::string OnlineFramePath(const PageLines& lines);

}  // namespace parse
}  // namespace zel
