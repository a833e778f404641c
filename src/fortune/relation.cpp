#include "fortune/relation.h"

#include <cstdlib>
#include <exception>

#include "base/gbk.h"
#include "base/text.h"
#include "fortune/strokes.h"

namespace zel {
namespace {

constexpr const char8_t* kRelationTable[kRelationRows] = {
    u8"亲密无间",     u8"永远和你在一起", u8"水火不相容",   u8"知心朋友",   u8"心上人",
    u8"帮你做事的人", u8"帮你的人",       u8"面和心难合",   u8"关系不同寻常", u8"情投意合",
    u8"关系马虎",     u8"尊敬的人",       u8"爱你的人",     u8"适合你的人", u8"说你坏话的",
    u8"克星",         u8"救星",           u8"永远关怀你的人", u8"忠心的人", u8"狼心狗肺的人",
    u8"单相思",       u8"山盟海誓",       u8"情敌",         u8"服从你的人", u8"永远在一起",
    u8"相伴终身",     u8"彼此牵挂的人",   u8"恨你又爱你",
};

const std::string& Warning() {
  static const std::string s = G(u8"警告：此测试纯属娱乐，不可太信哦");
  return s;
}

// Long names can differ by more strokes than the table has rows.
std::string BeyondTable(int d) {
  return G(u8"两人的笔划相差") + std::to_string(d) + G(u8"划，超出了笔画差值代码表的范围（0至27），无法测算");
}

}  // namespace

const std::vector<std::string>& RelationTable() {
  static const std::vector<std::string> table = [] {
    std::vector<std::string> t;
    for (const char8_t* s : kRelationTable) t.push_back(G(s));
    return t;
  }();
  return table;
}

int NameStrokes(std::string_view name) {
  int sum = 0;
  size_t i = 0;
  // The first piece is taken even for a one-byte name; a missing second
  // byte is a zero byte.
  do {
    const char piece[2] = {i < name.size() ? name[i] : '\0', i + 1 < name.size() ? name[i + 1] : '\0'};
    sum += StrokeTotal(std::string_view(piece, 2));
    i += 2;
  } while (i + 1 < name.size());
  return sum;
}

TLRGX::TLRGX() {
  Intro = G(u8"    计算的方法很简单，将你们姓名笔划的总数作比较，以大的数字减小的。例如：") + "\r\n" +
          G(u8"丁丁想知道自己和当当的关系是什么，要将自己名字的笔划（共4划）和当当的笔划") + "\r\n" +
          G(u8"（共12划）相减（即12-4），得出的数字是8，「关系不同寻常」。十分准确啊！") + "\r\n\r\n" +
          G(u8"信者有、不信者无。不妨试试...");
}

std::string TLRGX::Calculate() const {
  try {
    int sum1 = NameStrokes(Name1), sum2 = NameStrokes(Name2);
    if (sum1 == 0 || sum2 == 0) return RelationErrorText();
    int d = std::abs(sum1 - sum2);
    if (d >= kRelationRows) return BeyondTable(d);
    return RelationTable()[static_cast<size_t>(d)] + "\r\n\r\n" + Warning();
  } catch (const std::exception&) {
    return RelationErrorText();
  }
}

std::string TLRGX::CodeTable() const {
  static const std::string colon = G(u8"：");
  std::string out;
  for (int n = 0; n < kRelationRows; ++n)
    out += std::to_string(n) + colon + RelationTable()[static_cast<size_t>(n)] + "\r\n";
  return out;
}

TLRGX& RelationObject() {
  static TLRGX* object = new TLRGX;  // lives until the process ends
  return *object;
}

const std::string& RelationNoNameText() {
  static const std::string s = G(u8"请输入名字...");
  return s;
}

const std::string& RelationErrorText() {
  static const std::string s = G(u8"出错...");
  return s;
}

const std::string& RelationContactMail() {
  static const std::string s = "korrin@zelmora.example";
  return s;
}

std::string RelationAnswer(TLRGX& calc, std::string_view typed1, std::string_view typed2) {
  std::string name1 = Trim(typed1), name2 = Trim(typed2);
  if (name1.empty() || name2.empty()) return RelationNoNameText();
  calc.Name1 = name1;
  calc.Name2 = name2;
  return calc.Calculate();
}

RelationTab::RelationTab(RelationViews views, TLRGX& calc) : v_(views), calc_(calc) {}

void RelationTab::Startup() {
  v_.lblLRGXMemo->SetText(calc_.Intro);
  v_.MemoLRGX->SetText("");
}

void RelationTab::btnLRGXClick() {
  v_.MemoLRGX->SetText(RelationAnswer(calc_, v_.edtLRGX1->Text(), v_.edtLRGX2->Text()));
}

void RelationTab::btnLRGXErrorClick(Shell& shell) {
  shell.ShowInfoBox(G(u8"如果遇到笔画有错误，请给我写信：") + RelationContactMail() + G(u8"。"), G(u8"笔画错了"));
}

void RelationTab::btnLRGXCKClick(Shell& shell) { shell.ShowInfoBox(calc_.CodeTable(), G(u8"查看代码表")); }

}  // namespace zel
