// The two-person relationship: the stroke totals of two names are compared
// and their difference picks one of 28 relation texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/ui.h"

namespace zel {

inline constexpr int kRelationRows = 28;

// The relation texts (GBK), indexed by the stroke difference 0..27.
const std::vector<std::string>& RelationTable();

// Stroke sum of a name: StrokeTotal over its two-byte pieces, so the last
// byte of a name of odd length is never counted.
int NameStrokes(std::string_view name);

class TLRGX {
 public:
  TLRGX();

  std::string Name1;  // the user's own name
  std::string Name2;  // the other person's name
  std::string Intro;  // the help text

  // The result for Name1 and Name2.
  std::string Calculate() const;
  // Every row of the relation table as "n：text" lines, each ending in CR LF.
  std::string CodeTable() const;
};

// The process-wide calculator, made on first use and never released.
TLRGX& RelationObject();

// Texts the tab shows besides the results.
const std::string& RelationNoNameText();  // "请输入名字..."
const std::string& RelationErrorText();   // "出错..."
const std::string& RelationContactMail();

// What the result memo shows for the two typed names: blanks and control
// characters around them are removed, an empty one asks for a name.
std::string RelationAnswer(TLRGX& calc, std::string_view typed1, std::string_view typed2);

struct RelationViews {
  TextView* lblLRGXMemo = nullptr;
  TextView* edtLRGX1 = nullptr;
  TextView* edtLRGX2 = nullptr;
  TextView* MemoLRGX = nullptr;
};

// The "两人关系" tab's handlers.
class RelationTab {
 public:
  explicit RelationTab(RelationViews views, TLRGX& calc = RelationObject());

  // Start-up: the help text on the label, the result memo empty.
  void Startup();
  void btnLRGXClick();
  void btnLRGXErrorClick(Shell& shell);
  void btnLRGXCKClick(Shell& shell);

 private:
  RelationViews v_;
  TLRGX& calc_;
};

}  // namespace zel
