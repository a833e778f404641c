// The query of the weather tab once its city is chosen, shared by the
// window and the command line.
#pragma once

#include <string>

namespace zel {

class Browser;
class TForeCast;

// The forecast memo first ("完成，已显示！"), else the manager asks its active
// source through ShowForecast. Returns the text for the status line.
std::string QueryForecast(TForeCast& m, Browser& browser, const std::string& province, const std::string& city);
// The same with the trend memo and ShowWind.
std::string QueryWind(TForeCast& m, Browser& browser, const std::string& province, const std::string& city);

}  // namespace zel
