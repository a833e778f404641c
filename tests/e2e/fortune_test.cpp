#include <gtest/gtest.h>

#include "app/main_frame.h"
#include "app/tab_relation.h"
#include "app/tab_tellucky.h"
#include "app/wx_util.h"
#include "e2e/e2e_util.h"
#include "support/fakes.h"
#include "support/testutil.h"

namespace zel {
namespace {

std::string Utf8(const wxString& s) { return std::string(s.utf8_str()); }
std::string S(const char8_t* s) { return reinterpret_cast<const char*>(s); }

TEST(FortuneTabs, AnswerInTheWindow) {
  test::AppFolder app;
  app.CopyShippedData();
  auto* f = new Tfrm_main(app.path());
  test::FakeShell shell;
  f->SetShell(&shell);
  f->Show();
  e2e::Pump(200);

  auto* luck = dynamic_cast<TelLuckyTabPanel*>(f->TabTelLucky);
  ASSERT_NE(luck, nullptr);
  EXPECT_EQ(Utf8(luck->lblTelLuckyMemo->GetLabelText()).rfind(S(u8"    手机号码为什么会影响一个人的运势？"), 0), 0u);
  EXPECT_TRUE(luck->MemoTelLuckyExplain->GetValue().empty());
  luck->edtTelLucky->ChangeValue(" 13800000081 ");
  e2e::Click(luck->btnTelLucky);
  EXPECT_EQ(Utf8(luck->MemoTelLuckyExplain->GetValue()),
            S(u8"(吉、健全)：万物开泰起源数，为最大吉祥的暗示，但常人恐不当"));

  auto* rel = dynamic_cast<RelationTabPanel*>(f->TabLRGX);
  ASSERT_NE(rel, nullptr);
  EXPECT_NE(Utf8(rel->lblLRGXMemo->GetLabelText()).find(S(u8"「关系不同寻常」")), std::string::npos);
  rel->edtLRGX1->ChangeValue(W8(u8"丁丁"));
  rel->edtLRGX2->ChangeValue(W8(u8"当当"));
  e2e::Click(rel->btnLRGX);
  EXPECT_EQ(Utf8(rel->MemoLRGX->GetValue()), S(u8"关系不同寻常\n\n警告：此测试纯属娱乐，不可太信哦"));
  e2e::Click(rel->btnLRGXCK);
  ASSERT_EQ(shell.boxes.size(), 1u);
  EXPECT_EQ(shell.boxes[0].second, G(u8"查看代码表"));

  f->Destroy();
  e2e::Pump(50);
}

}  // namespace
}  // namespace zel
