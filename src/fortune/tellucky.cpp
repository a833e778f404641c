#include "fortune/tellucky.h"

#include "base/gbk.h"
#include "base/text.h"

namespace zel {
namespace {

// The numerology of the 80 remainders: verdict (luck word, keyword) and one
// sentence of interpretation per row.
struct LuckRow {
  const char8_t* verdict;
  const char8_t* meaning;
};

constexpr LuckRow kLuckTable[kLuckRows] = {
    {u8"吉吉吉", u8"具有非凡特质，以名人 猛人居多，所以吉凶之数不需要再来论断了"},
    {u8"吉、健全", u8"万物开泰起源数，为最大吉祥的暗示，但常人恐不当"},
    {u8"凶、破灭", u8"未定的分离破灭数，混沌未定，为最大凶恶的暗示"},
    {u8"吉、吉祥", u8"天时地利俱备，所谋顺遂，可望成就一番事业"},
    {u8"凶、凶变", u8"根基不稳，易生变故，凡事宜守不宜攻"},
    {u8"吉、禄寿", u8"福禄长寿之象，身心康泰，家门和顺"},
    {u8"吉、安稳", u8"家道安稳，衣食无忧，一生少有波折"},
    {u8"吉、精悍", u8"精力充沛，刚毅果断，独立创业可有所成，惟须戒骄戒躁"},
    {u8"吉、坚刚", u8"意志坚强，勤勉耐劳，凭一己之力可开创局面"},
    {u8"凶、凶恶", u8"吉尽凶始，穷乏之数。有不测灾祸，实为人生最大恶运。女性易风流"},
    {u8"凶、晦暗", u8"万事终局，如日落西山，前途晦暗难明"},
    {u8"吉、挽回", u8"枯木逢春，家运渐兴，失去的终能挽回"},
    {u8"凶、不足", u8"力小任重，所谋难成，常感心有余而力不足"},
    {u8"吉、智略", u8"才智过人，谋略出众，善于把握时机而成事"},
    {u8"凶、破兆", u8"家缘淡薄，骨肉难聚，有孤独忧愁之兆"},
    {u8"吉、福寿", u8"最大好运，福寿圆满之象"},
    {u8"吉、厚重", u8"为人厚道，宽宏大量，能得众望而成就大事"},
    {u8"吉、过刚", u8"刚强果决，能突破万难，但过刚易折，宜以柔济之"},
    {u8"吉、成功", u8"有权有谋，志向远大，努力必能取得成功"},
    {u8"凶、多难", u8"虽有才智，却多逢障碍，易遭困厄与挫折"},
    {u8"凶、破运", u8"诸事难成，屡谋屡败，宜安分守己以避灾祸"},
    {u8"吉、明月", u8"如明月当空，光照四方，能独立自强，受人尊敬"},
    {u8"凶、逆境", u8"身处逆境，事与愿违，常有怀才不遇之叹"},
    {u8"吉、隆昌", u8"运势蒸蒸日上，威望渐显，家业日益隆昌"},
    {u8"吉、余庆", u8"白手起家，财源广进，福泽可及子孙"},
    {u8"吉、英俊", u8"资性英敏，才华出众，若能修身养性则大有可为"},
    {u8"凶、变怪", u8"英雄运格，一生波涛重叠，变故颇多，富有义气侠情，爱助人为乐，但却好运难随"},
    {u8"凶、增长", u8"欲望无止，自我过强，易招诽谤而中途受挫"},
    {u8"凶、别离", u8"波澜起伏，亲人离散，难享天伦之乐"},
    {u8"半吉、不平", u8"有财力，有活动能力，但是不平不足的念头不断，欲望无止境，多失败（女性易风流）"},
    {u8"凶、非运", u8"浮沉不定，吉凶难料，得失常在一念之间"},
    {u8"吉、智勇", u8"智勇双全，意志坚定，能得众人拥护而成大事"},
    {u8"吉、侥幸", u8"机缘巧合，贵人相助，常有意外之喜"},
    {u8"吉、升天", u8"家门隆盛，才德兼备，如龙升天，名闻四方"},
    {u8"凶、破家", u8"灾祸接踵，破财损家，宜谨慎行事"},
    {u8"吉、平安", u8"温和平静，知足常乐，一生平安顺遂"},
    {u8"凶、波澜", u8"侠义之心过重，一生风波不断，难得安宁"},
    {u8"吉、权威", u8"权威显达，忠实热诚，能得众人信赖"},
    {u8"吉、薄弱", u8"意志稍显薄弱，难当大任，然于技艺文学可有所成"},
    {u8"吉、富贵", u8"富贵荣华，财帛丰盈，但盛极之时须防变故"},
    {u8"凶、退安", u8"智谋胆识俱佳，但好投机冒险，宜退而守安"},
    {u8"吉、有德", u8"德高望重，才能出众，一生顺利，事业有成"},
    {u8"吉、多能", u8"博学多能，但精力分散，专心一业方能成功"},
    {u8"凶、散财", u8"外表光鲜，内里空虚，钱财容易散失"},
    {u8"凶、烦闷", u8"心事重重，烦闷难解，常陷于困顿之中"},
    {u8"吉、顺风", u8"如船行顺风，事事通达，能实现远大志向"},
    {u8"凶、变怪", u8"载宝沉舟之象，有大成功者，也有大失败者"},
    {u8"吉、开花", u8"花开富贵，与人合作可成大事，福泽绵长"},
    {u8"吉、德智", u8"德智兼备，足为人师，受人敬重"},
    {u8"凶、变转", u8"时好时坏，变化无常，须步步为营"},
    {u8"凶、离愁", u8"吉凶参半，须防倾覆"},
    {u8"凶、浮沉", u8"盛衰交替，时起时落，一生浮沉不定"},
    {u8"吉、达眼", u8"眼光独到，有先见之明，能把握时机而成事"},
    {u8"凶、内忧", u8"外观祥和，内藏忧患，先甘后苦"},
    {u8"凶、横死", u8"多灾多难，祸患频生，须时时提防意外"},
    {u8"半吉、善意", u8"外表昌隆，内里多难，以善意待人可化凶为吉"},
    {u8"凶、晚凶", u8"早年尚可，晚运衰退，事多不如意"},
    {u8"吉、赛莺呤春", u8"寒雪春松的最大荣运数，资性刚毅，黑夜过后便是天明"},
    {u8"半吉、厄难", u8"先历厄难，后得安乐，苦尽方能甘来"},
    {u8"凶、亡产", u8"意志消沉，缺乏毅力，终致家产散尽"},
    {u8"凶、无谋", u8"缺乏谋略，方向迷茫，所为多难成功"},
    {u8"半吉、名利", u8"名利可得，但易骄傲招怨，须修身养德方保长久"},
    {u8"凶、衰败", u8"根基薄弱，信用渐失，家运日趋衰败"},
    {u8"吉、富荣", u8"万物化育，富贵荣华，子孙兴旺"},
    {u8"凶、非命", u8"骨肉分离，灾祸多端，一生劳而无功"},
    {u8"吉、寿荣", u8"家运隆昌，福寿绵长，事事如愿"},
    {u8"凶、不和", u8"内外不和，进退两难，信用难立"},
    {u8"吉、通达", u8"事事通达，独立自主，家业兴旺"},
    {u8"吉、发明", u8"思虑周密，富有创见，能以发明创造立身"},
    {u8"凶、滞塞", u8"动荡不安，处处滞塞，难以施展抱负"},
    {u8"凶、险恶", u8"家运衰微，险恶重重，终身多忧"},
    {u8"半吉、劳苦", u8"虽能有所收获，但一生劳苦奔波，难得清闲"},
    {u8"凶、悲运", u8"表面风光，内里悲苦，先得后失"},
    {u8"凶、无勇", u8"志高力弱，缺乏勇气，难成大事，幸能平安度日"},
    {u8"凶、逆运", u8"智能不足，常逢逆运，坐吃山空"},
    {u8"半吉、退守", u8"进取则多失，退守可保平安"},
    {u8"凶、离散", u8"骨肉离散，家财难守，前途暗淡"},
    {u8"凶、后凶", u8"先吉后凶，早年得享福荫，晚景渐见衰落"},
    {u8"凶、晚苦", u8"晚景凄凉，功德渐败"},
    {u8"凶、不伸", u8"精神不安，为世所弃"},
};

template <typename Pick>
std::vector<std::string> Column(Pick pick) {
  std::vector<std::string> out;
  for (const LuckRow& row : kLuckTable) out.push_back(G(pick(row)));
  return out;
}

// The last four bytes as a decimal integer with an optional sign; nothing
// else (no blanks, no hex) is a number here.
bool ReadLastFour(std::string_view s, long long& n) {
  size_t i = 0;
  bool neg = false;
  if (s[0] == '+' || s[0] == '-') {
    neg = s[0] == '-';
    i = 1;
  }
  if (i >= s.size()) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  n = neg ? -v : v;
  return true;
}

}  // namespace

const std::vector<std::string>& VerdictTable() {
  static const std::vector<std::string> t = Column([](const LuckRow& r) { return r.verdict; });
  return t;
}

const std::vector<std::string>& MeaningTable() {
  static const std::vector<std::string> t = Column([](const LuckRow& r) { return r.meaning; });
  return t;
}

TTelLucky::TTelLucky() {
  Intro = G(u8"    手机号码为什么会影响一个人的运势？其实这就像风水、阳宅会影响运势") + "\r\n" +
          G(u8"命运的意义是一样的。虽然这只是一个号码，但是它与您的生活息息相关，也") + "\r\n" +
          G(u8"代表您与所有人的沟通桥梁！所以『吉』与『凶』关系非常大！") + "\r\n\r\n" +
          G(u8"信者有、不信者无。不妨试试...");
}

void TTelLucky::SetNumber(long long n) {
  if (n == LastNumber) return;
  LastNumber = n;
  // Floor remainder: a negative number must never pick a row below 0.
  LuckIndex = static_cast<int>(((n % kLuckRows) + kLuckRows) % kLuckRows);
}

const std::string& TTelLucky::Verdict() const { return VerdictTable()[static_cast<size_t>(LuckIndex)]; }
const std::string& TTelLucky::Meaning() const { return MeaningTable()[static_cast<size_t>(LuckIndex)]; }

TTelLucky& LuckObject() {
  static TTelLucky* object = new TTelLucky;  // lives until the process ends
  return *object;
}

const std::string& LuckLengthErrorText() {
  static const std::string s = G(u8"手机号码位数不对，请重新输入！");
  return s;
}

const std::string& LuckNumberErrorText() {
  static const std::string s = G(u8"手机号码输入有误，请重新输入！");
  return s;
}

std::string LuckAnswer(TTelLucky& calc, std::string_view typed, bool* ok) {
  if (ok) *ok = false;
  std::string t = Trim(typed);
  if (t.size() < 10) return LuckLengthErrorText();
  long long n = 0;
  // A minus sign has no place in a phone number, and no row answers it.
  if (!ReadLastFour(std::string_view(t).substr(t.size() - 4), n) || n < 0) return LuckNumberErrorText();
  calc.SetNumber(n);
  if (ok) *ok = true;
  static const std::string close = G(u8")：");
  return "(" + calc.Verdict() + close + calc.Meaning();
}

TelLuckyTab::TelLuckyTab(TelLuckyViews views, TTelLucky& calc) : v_(views), calc_(calc) {}

void TelLuckyTab::Startup() {
  v_.lblTelLuckyMemo->SetText(calc_.Intro);
  v_.MemoTelLuckyExplain->SetText("");
}

void TelLuckyTab::btnTelLuckyClick() { v_.MemoTelLuckyExplain->SetText(LuckAnswer(calc_, v_.edtTelLucky->Text())); }

bool TelLuckyTab::edtTelLuckyKeyPress(int key) {
  if (key != 13) return false;
  btnTelLuckyClick();
  return true;
}

}  // namespace zel
