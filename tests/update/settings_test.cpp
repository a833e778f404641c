#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "base/appenv.h"
#include "base/ini.h"
#include "support/fakes.h"
#include "support/testutil.h"
#include "update/settings_tab.h"
#include "update/version.h"
#include "weather/forecast.h"

namespace fs = std::filesystem;

namespace zel::test {
namespace {

TEST(VersionCompare, IsByteWiseWithPrefixSmaller) {
  struct Case {
    std::string a, b;
    int sign;
  } cases[] = {
      {"5.9", "5.9", 0},      {"5.10", "5.9", -1}, {"5.91", "5.9", 1}, {"6.0", "5.9", 1},
      {"10", "9", -1},        {"", "", 0},         {"", "0", -1},      {"2006-3-20", "2006-3-21", -1},
      {"\xFF", "\x7F", 1},  // unsigned bytes: 0xFF is the greatest
      {"5.9 ", "5.9", 1},
  };
  for (const auto& c : cases) {
    int got = CompareVersion(c.a, c.b);
    EXPECT_EQ((got > 0) - (got < 0), c.sign) << "\"" << c.a << "\" vs \"" << c.b << "\"";
    int back = CompareVersion(c.b, c.a);
    EXPECT_EQ((back > 0) - (back < 0), -c.sign) << "\"" << c.b << "\" vs \"" << c.a << "\"";
  }
}

struct SettingsRig {
  FakeList lstTemplate, cboSoftList;
  FakeBrowser preview;
  FakeText author, date, email, http;
  FakeShell shell;
  TForeCast* manager = nullptr;
  SettingsTab tab{SettingsViews{&lstTemplate, &preview, &author, &date, &email, &http, &cboSoftList},
                  [this] { return static_cast<Shell*>(&shell); }, [this] { return manager; }};
};

std::string S(const char8_t* s) { return reinterpret_cast<const char*>(s); }

const char* kTemplateFiles[] = {"ForeCastOnline.htm", "WendOnline.htm", "ForeCastCC.htm", "ForeCastCN.htm",
                                "WendCN.htm"};

void MakeSet(const AppFolder& app, const std::string& name, const std::string& author = "") {
  for (const char* f : kTemplateFiles) app.Write("Template/" + name + "/" + f, name + ":" + f);
  if (!author.empty())
    app.Write("Template/" + name + "/author.ini",
              "[main]\r\nauthor=" + author + "\r\ndate=2006-1-1\r\nemail=a@b.c\r\nhttp=http://x/" + name + "\r\n");
}

TEST(TemplateChoice, ListShowsSetFoldersOnly) {
  AppFolder app;
  MakeSet(app, "default");
  MakeSet(app, "blue");
  fs::create_directories(app / "Template/.hidden");
  fs::create_directories(app / "Template/.git");
  app.Write("Template/readme.txt", "a file");
  SettingsRig rig;
  rig.tab.Startup();
  EXPECT_EQ(rig.lstTemplate.items, (std::vector<std::string>{"blue", "default"}));
}

TEST(TemplateChoice, NoTemplateFolderLeavesEverythingInert) {
  AppFolder app;
  SettingsRig rig;
  rig.tab.Startup();
  EXPECT_TRUE(rig.lstTemplate.items.empty());
  rig.tab.lstTemplateClick();
  rig.tab.btnTemplateClick();
  rig.tab.TabSetShow();
  EXPECT_TRUE(rig.preview.navigated.empty());
  EXPECT_TRUE(rig.shell.boxes.empty());
}

TEST(TemplateChoice, StartupShowsAuthorOfTheSetInSysIni) {
  AppFolder app;
  MakeSet(app, "default", "Alice");
  MakeSet(app, "blue", G(u8"蓝天"));
  SetTemplateName("blue");
  SettingsRig rig;
  rig.tab.Startup();
  EXPECT_EQ(rig.author.text, G(u8"蓝天"));
  EXPECT_EQ(rig.http.text, "http://x/blue");
  EXPECT_TRUE(rig.preview.navigated.empty()) << "the preview stays empty until a click";
}

TEST(TemplateChoice, SetWithoutAuthorFileEmptiesTheEdits) {
  AppFolder app;
  MakeSet(app, "a", "Alice");
  MakeSet(app, "b");
  SettingsRig rig;
  rig.tab.ShowTemplateAuthor("a");
  rig.tab.ShowTemplateAuthor("b");
  for (auto* t : {&rig.author, &rig.date, &rig.email, &rig.http}) EXPECT_EQ(t->text, "");
}

TEST(TemplateChoice, ShowingTheTabSelectsTheActiveSetIgnoringCase) {
  struct Case {
    std::string active;
    int selected;
  } cases[] = {{"default", 1}, {"Default", 1}, {"BLUE", 0}, {"gone", -1}};
  for (const auto& c : cases) {
    AppFolder app;
    MakeSet(app, "blue");
    MakeSet(app, "default");
    SetTemplateName(c.active);
    SettingsRig rig;  // no manager: the start-up name is used
    rig.tab.Startup();
    rig.lstTemplate.selected = 0;
    rig.tab.TabSetShow();
    EXPECT_EQ(rig.lstTemplate.selected, c.selected) << c.active;
    EXPECT_TRUE(rig.preview.navigated.empty()) << "selecting does not preview";
  }
}

TEST(TemplateChoice, ClickPreviewsAndButtonSwitchesTheManager) {
  AppFolder app;
  MakeSet(app, "default", "Alice");
  MakeSet(app, "blue", "Bob");
  TForeCast manager;
  ASSERT_TRUE(manager.TemplatesLoaded);
  SettingsRig rig;
  rig.manager = &manager;
  rig.tab.Startup();
  rig.lstTemplate.selected = 0;  // blue
  rig.tab.lstTemplateClick();
  EXPECT_EQ(rig.author.text, "Bob");
  ASSERT_EQ(rig.preview.navigated.size(), 1u);
  EXPECT_EQ(rig.preview.navigated[0], app.path() + "Template/blue/ForeCastOnline.htm");
  EXPECT_EQ(manager.TemplateName, "default") << "a click alone does not switch";
  EXPECT_FALSE(app.Exists("Sys.ini"));

  rig.tab.btnTemplateClick();
  EXPECT_EQ(manager.TemplateName, "blue");
  EXPECT_EQ(manager.TplForecastCC, "blue:ForeCastCC.htm\r\n");
  EXPECT_EQ(IniFile(app / "Sys.ini").ReadString("main", "Template", ""), "blue");

  // The active set again: nothing is written.
  fs::remove(app / "Sys.ini");
  rig.tab.btnTemplateClick();
  EXPECT_FALSE(app.Exists("Sys.ini"));
  EXPECT_TRUE(rig.shell.boxes.empty());
}

// Folder names are UTF-8 on disk and GBK in the list and Sys.ini; a name
// GBK cannot hold is left out, as it could not be saved.
TEST(TemplateChoice, ASetNamedInChineseIsListedPreviewedAndUsed) {
  AppFolder app;
  MakeSet(app, "default", "Alice");
  MakeSet(app, S(u8"蓝色"), G(u8"蓝天"));
  MakeSet(app, "\xF0\x9F\x8C\x88");  // a rainbow: no GBK for it
  TForeCast manager;
  SettingsRig rig;
  rig.manager = &manager;
  rig.tab.Startup();
  EXPECT_EQ(rig.lstTemplate.items, (std::vector<std::string>{"default", G(u8"蓝色")}));
  rig.lstTemplate.selected = 1;
  rig.tab.lstTemplateClick();
  EXPECT_EQ(rig.author.text, G(u8"蓝天"));
  ASSERT_EQ(rig.preview.navigated.size(), 1u);
  EXPECT_EQ(rig.preview.navigated[0], app.path() + S(u8"Template/蓝色/ForeCastOnline.htm"));
  rig.tab.btnTemplateClick();
  EXPECT_EQ(manager.TemplateName, G(u8"蓝色"));
  EXPECT_EQ(manager.TplForecastCC, S(u8"蓝色:ForeCastCC.htm\r\n"));
  EXPECT_EQ(IniFile(app / "Sys.ini").ReadString("main", "Template", ""), G(u8"蓝色"));
}

TEST(TemplateChoice, UnreadableSetOrRunningQueryIsExplainedAndNotUsed) {
  struct Case {
    bool queryRunning;
    const char8_t* says;
  } cases[] = {{false, u8"“broken”缺少文件"}, {true, u8"正在查询天气"}};
  for (const auto& c : cases) {
    AppFolder app;
    MakeSet(app, "default");
    MakeSet(app, "broken");
    if (!c.queryRunning) fs::remove(app / "Template/broken/WendCN.htm");
    TForeCast manager;
    // A query holds the lock for as long as its downloads take: the button
    // must not wait for it on the window's thread.
    std::unique_lock<std::mutex> query(*manager.QueryLock, std::defer_lock);
    if (c.queryRunning) query.lock();
    SettingsRig rig;
    rig.manager = &manager;
    rig.tab.Startup();
    rig.lstTemplate.selected = 0;  // broken
    rig.tab.btnTemplateClick();
    EXPECT_EQ(manager.TemplateName, "default");
    EXPECT_FALSE(app.Exists("Sys.ini"));
    ASSERT_EQ(rig.shell.boxes.size(), 1u);
    EXPECT_NE(U(rig.shell.boxes[0].first).find(reinterpret_cast<const char*>(c.says)), std::string::npos) << U(rig.shell.boxes[0].first);
  }
}

TEST(TemplateChoice, ButtonWithoutSelectionDoesNothing) {
  AppFolder app;
  MakeSet(app, "default");
  MakeSet(app, "blue");
  TForeCast manager;
  SettingsRig rig;
  rig.manager = &manager;
  rig.tab.Startup();
  rig.tab.btnTemplateClick();
  rig.tab.lstTemplateClick();
  EXPECT_EQ(manager.TemplateName, "default");
  EXPECT_TRUE(rig.preview.navigated.empty());
}

// The new-version check reads the local copy of the update description.
TEST(NewVersionCheck, FindsOnlyByteWiseGreaterVersions) {
  const std::string noneText = G(u8"目前还没有最新版本，敬请关注...");
  struct Case {
    std::string ini;  // empty: no UpDate.ini
    bool found;
    const char* why;
  } cases[] = {
      {"", false, "no description copy"},
      {"[main]\r\nDownNum=1\r\n", false, "no Version key"},
      {"[main]\r\nVersion=5.9\r\n", false, "the same version"},
      {"[main]\r\nVersion=5.10\r\n", false, "third byte 1 is smaller than 9"},
      {"[main]\r\nVersion=5.91\r\n", true, "longer text"},
      {"[main]\r\nVersion=6.0\r\n", true, "greater first byte"},
  };
  for (const auto& c : cases) {
    AppFolder app;
    if (!c.ini.empty()) app.Write("UpDate.ini", c.ini);
    SettingsRig rig;
    rig.tab.btnGetNewVersionClick();
    ASSERT_EQ(rig.shell.boxes.size(), 1u) << c.why;
    if (c.found) {
      EXPECT_EQ(rig.shell.boxes[0].second, G(u8"发现新版本")) << c.why;
      EXPECT_EQ(rig.shell.boxes[0].first.rfind(G(u8"发现了新版本，版本号："), 0), 0u) << c.why;
    } else {
      EXPECT_EQ(rig.shell.boxes[0], std::make_pair(noneText, G(u8"检测新版本"))) << c.why;
      EXPECT_TRUE(rig.cboSoftList.items.empty()) << c.why;
    }
  }
}

TEST(NewVersionCheck, FillsTheAddressListFromDownNum) {
  struct Case {
    std::string keys;
    std::vector<std::string> items;
    int selected;
  } cases[] = {
      {"DownNum=2\r\nDownText1=A\r\nDownText2=B\r\n", {"A", "B"}, 0},
      {"DownNum=2\r\nDownText1=A\r\n", {"A", ""}, 0},
      {"DownNum=x\r\nDownText1=A\r\n", {}, -1},
      {"DownText1=A\r\n", {}, -1},
      {"DownNum=-3\r\n", {}, -1},
  };
  for (const auto& c : cases) {
    AppFolder app;
    app.Write("UpDate.ini", "[main]\r\nVersion=6.0\r\n" + c.keys);
    SettingsRig rig;
    rig.tab.btnGetNewVersionClick();
    EXPECT_EQ(rig.cboSoftList.items, c.items) << c.keys;
    EXPECT_EQ(rig.cboSoftList.selected, c.selected) << c.keys;
  }
}

TEST(NewVersionCheck, HugeDownNumIsCapped) {
  AppFolder app;
  app.Write("UpDate.ini", "[main]\r\nVersion=6.0\r\nDownNum=2000000000\r\n");
  SettingsRig rig;
  rig.tab.btnGetNewVersionClick();
  EXPECT_EQ(rig.cboSoftList.Count(), static_cast<int>(kMaxDownloadAddresses));
}

TEST(NewVersionCheck, SecondFailedCheckLeavesTheListEmpty) {
  AppFolder app;
  app.Write("UpDate.ini", "[main]\r\nVersion=6.0\r\nDownNum=1\r\nDownText1=A\r\n");
  SettingsRig rig;
  rig.tab.btnGetNewVersionClick();
  ASSERT_EQ(rig.cboSoftList.Count(), 1);
  app.Write("UpDate.ini", "[main]\r\nVersion=5.9\r\n");
  rig.tab.btnGetNewVersionClick();
  EXPECT_EQ(rig.cboSoftList.Count(), 0);
  EXPECT_EQ(rig.cboSoftList.selected, -1);
}

TEST(NewVersionCheck, DownloadOpensTheSelectedWebAddressOnly) {
  struct Case {
    std::string url;
    bool opens;
  } cases[] = {
      {"https://example.org/z.zip", true},
      {"HTTP://example.org/z.zip", true},
      {"", false},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
  };
  for (const auto& c : cases) {
    AppFolder app;
    app.Write("UpDate.ini", "[main]\r\nVersion=6.0\r\nDownNum=2\r\nDownText1=A\r\nDownURL1=http://first/\r\n"
                            "DownText2=B\r\nDownURL2=" + c.url + "\r\n");
    SettingsRig rig;
    rig.tab.btnDownSoftClick();
    EXPECT_TRUE(rig.shell.opened.empty()) << "nothing selected: nothing happens";
    rig.tab.btnGetNewVersionClick();
    rig.shell.boxes.clear();
    rig.cboSoftList.Select(1);
    rig.tab.btnDownSoftClick();
    if (c.opens) {
      EXPECT_EQ(rig.shell.opened, std::vector<std::string>{c.url});
      EXPECT_TRUE(rig.shell.boxes.empty());
    } else {
      EXPECT_TRUE(rig.shell.opened.empty()) << c.url;
      EXPECT_EQ(rig.shell.boxes.size(), 1u) << c.url;
    }
  }
}

}  // namespace
}  // namespace zel::test
