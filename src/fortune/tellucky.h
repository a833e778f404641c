// The luck of a mobile number: its last four digits modulo 80 pick a row of
// the numerology table, a verdict and an interpretation.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/ui.h"

namespace zel {

inline constexpr int kLuckRows = 80;

// The two columns of the numerology table (GBK), rows 0..79.
const std::vector<std::string>& VerdictTable();
const std::vector<std::string>& MeaningTable();

class TTelLucky {
 public:
  TTelLucky();

  int LuckIndex = 0;        // current row, 0..79
  std::string Intro;        // the help text
  long long LastNumber = 0; // last number given to SetNumber

  // Picks the row n mod 80 (a negative n wraps into 0..79 too).
  void SetNumber(long long n);
  const std::string& Verdict() const;
  const std::string& Meaning() const;
};

// The process-wide calculator, made on first use and never released.
TTelLucky& LuckObject();

const std::string& LuckLengthErrorText();  // "手机号码位数不对，请重新输入！"
const std::string& LuckNumberErrorText();  // "手机号码输入有误，请重新输入！"

// What the result memo shows for the typed text. ok (when given) tells a
// prediction from one of the two error texts; on an error calc is left as
// it was.
std::string LuckAnswer(TTelLucky& calc, std::string_view typed, bool* ok = nullptr);

struct TelLuckyViews {
  TextView* lblTelLuckyMemo = nullptr;
  TextView* edtTelLucky = nullptr;
  TextView* MemoTelLuckyExplain = nullptr;
};

// The "手机号吉祥算" tab's handlers.
class TelLuckyTab {
 public:
  explicit TelLuckyTab(TelLuckyViews views, TTelLucky& calc = LuckObject());

  // Start-up: the help text on the label, the result memo empty.
  void Startup();
  void btnTelLuckyClick();
  // Enter acts as a click; true when the key was used up.
  bool edtTelLuckyKeyPress(int key);

 private:
  TelLuckyViews v_;
  TTelLucky& calc_;
};

}  // namespace zel
