#include <gtest/gtest.h>

#include "base/text.h"
#include "support/fakes.h"
#include "support/testutil.h"
#include "update/about_tab.h"

namespace zel::test {
namespace {

struct AboutRig {
  FakeShell shell;
  AboutTab tab{[this] { return static_cast<Shell*>(&shell); }};
};

TEST(AboutText, HasItsFourteenLinesAndMarksTheHomePage) {
  std::string text = AboutTab::Text();
  TextList lines = SplitString(text, "\r\n");
  lines.push_back("");  // SplitString drops nothing here: the text ends without CR LF
  lines.pop_back();
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(text.substr(text.size() - 2) == "\r\n", false) << "no line break after the last line";
  EXPECT_EQ(lines[0], G(u8"软件名称：《Zelmora天气预报》"));
  EXPECT_EQ(lines[1], G(u8"版    本：5.9"));
  EXPECT_EQ(lines[3], G(u8"制作日期：2004-3-29"));
  EXPECT_EQ(lines[4], G(u8"更新日期：2006-3-20"));
  EXPECT_EQ(lines[6], G(u8"主    页：") + AboutTab::HomePage());
  EXPECT_EQ(lines[8], "");
  EXPECT_EQ(lines[12], "");
  EXPECT_EQ(lines[13], G(u8"可为企事业单位定制城市天气预报"));
  // The first "http" of the text is the home page of line 7, up to its end.
  EXPECT_EQ(AboutTab::LinkText(text), AboutTab::HomePage());
  EXPECT_EQ(AboutTab::HomePage().rfind("http", 0), 0u);
  EXPECT_EQ(AboutTab::LinkText("no link"), "");
}

TEST(AboutText, BuildSetsTheBoxAndTheThanksLabel) {
  AboutRig rig;
  FakeText box;
  FakeControl lblDown;
  rig.tab.Build(box, lblDown);
  EXPECT_EQ(box.text, AboutTab::Text());
  EXPECT_EQ(lblDown.caption, G(u8"感谢:"));
}

TEST(AboutLinkArea, ReleaseOpensHomePageOnlyAfterAMoveInsideTheRectangle) {
  struct Case {
    int x, y;
    bool opens;
    const char* why;
  } cases[] = {
      {54, 100, true, "top-left corner"},      {195, 110, true, "bottom-right corner"},
      {54, 105, true, "left border"},          {195, 100, true, "right border, top"},
      {120, 100, true, "top border"},          {120, 110, true, "bottom border"},
      {120, 105, true, "inside"},              {53, 105, false, "left of the border"},
      {196, 105, false, "right of the border"}, {120, 99, false, "above"},
      {120, 111, false, "below"},              {0, 0, false, "far away"},
  };
  for (const auto& c : cases) {
    AboutRig rig;
    rig.tab.edtAboutMouseMove(c.x, c.y);
    EXPECT_EQ(rig.tab.HandCursor(), c.opens) << c.why;
    rig.tab.edtAboutMouseUp();
    EXPECT_EQ(rig.shell.opened.size(), c.opens ? 1u : 0u) << c.why;
    if (c.opens) {
      EXPECT_EQ(rig.shell.opened[0], AboutTab::HomePage());
    }
  }
}

TEST(AboutLinkArea, LastMoveDecides) {
  AboutRig rig;
  rig.tab.edtAboutMouseUp();
  EXPECT_TRUE(rig.shell.opened.empty()) << "no move yet: default cursor";
  rig.tab.edtAboutMouseMove(100, 105);
  rig.tab.edtAboutMouseMove(100, 150);
  rig.tab.edtAboutMouseUp();
  EXPECT_TRUE(rig.shell.opened.empty()) << "the pointer left the address before the release";
  rig.tab.edtAboutMouseMove(100, 105);
  rig.tab.edtAboutMouseUp();
  rig.tab.edtAboutMouseUp();
  EXPECT_EQ(rig.shell.opened.size(), 2u) << "every release over the address opens a window";
}

TEST(AboutLinkArea, MovedRectangleFollowsTheAddress) {
  AboutRig rig;
  rig.tab.SetLinkRect({10, 20, 30, 40});
  rig.tab.edtAboutMouseMove(54, 100);
  EXPECT_FALSE(rig.tab.HandCursor());
  rig.tab.edtAboutMouseMove(30, 40);
  EXPECT_TRUE(rig.tab.HandCursor());
}

TEST(AboutLabels, HoverTurnsOnlyTheSenderRedAndClicksOpenTheirAddresses) {
  AboutRig rig;
  for (int i = 0; i < AboutTab::kLinkCount; ++i) EXPECT_EQ(rig.tab.LinkColour(i), kLinkGreen);
  rig.tab.LinkMouseEnter(1);
  EXPECT_EQ(rig.tab.LinkColour(1), kLinkHot);
  EXPECT_TRUE(rig.tab.LinkHand(1));
  EXPECT_EQ(rig.tab.LinkColour(0), kLinkGreen);
  EXPECT_FALSE(rig.tab.LinkHand(2));
  rig.tab.LinkMouseLeave(1);
  EXPECT_EQ(rig.tab.LinkColour(1), kLinkGreen);
  EXPECT_FALSE(rig.tab.LinkHand(1));
  rig.tab.LinkMouseEnter(7);  // no such label: ignored
  EXPECT_EQ(rig.tab.LinkColour(7), kLinkGreen);

  for (int i = 0; i < AboutTab::kLinkCount; ++i) rig.tab.LinkClick(i);
  ASSERT_EQ(rig.shell.opened.size(), 4u);
  for (int i = 0; i < AboutTab::kLinkCount; ++i) {
    EXPECT_EQ(rig.shell.opened[i], AboutTab::Links()[i].url);
    EXPECT_EQ(rig.shell.opened[i].rfind("https://", 0), 0u);
  }
  EXPECT_EQ(rig.shell.opened[AboutTab::kZelSoft], AboutTab::HomePage()) << "lblZelSoft opens the home page";
}

}  // namespace
}  // namespace zel::test
