// Fakes of the small views, recording what the logic did to them.
#pragma once

#include <string>
#include <vector>

#include "base/ui.h"

namespace zel::test {

class FakeBrowser : public Browser {
 public:
  void Navigate(const std::string& address) override { navigated.push_back(address); }
  void ShowHtml(const std::string& html) override {
    shown.push_back(html);
    current = html;
  }
  std::string BodyText() override { return body; }
  bool SetFieldAndSubmit(const std::string& name, const std::string& value) override {
    submitted.push_back({name, value});
    return submits;
  }
  void Complete() {
    if (OnDocumentComplete) OnDocumentComplete();
  }

  std::vector<std::string> navigated, shown;
  std::vector<std::pair<std::string, std::string>> submitted;
  std::string current, body;
  bool submits = true;  // what SetFieldAndSubmit answers
};

class FakeList : public ListView {
 public:
  void Clear() override {
    items.clear();
    selected = -1;
  }
  void Add(const std::string& text) override { items.push_back(text); }
  void Delete(int index) override {
    items.erase(items.begin() + index);
    if (selected == index) selected = -1;
    else if (selected > index) --selected;
  }
  int Count() const override { return static_cast<int>(items.size()); }
  std::string Item(int index) const override { return items.at(static_cast<size_t>(index)); }
  int Selected() const override { return selected; }
  void Select(int index) override { selected = index; }

  std::vector<std::string> items;
  int selected = -1;
};

class FakeText : public TextView {
 public:
  void SetText(const std::string& t) override {
    text = t;
    history.push_back(t);
  }
  std::string Text() const override { return text; }
  std::string text;
  std::vector<std::string> history;
};

class FakeControl : public Control {
 public:
  void Enable(bool on) override { enabled = on; }
  bool IsEnabled() const override { return enabled; }
  void SetCaption(const std::string& t) override { caption = t; }
  std::string Caption() const override { return caption; }
  bool enabled = true;
  std::string caption;
};

class FakeShell : public Shell {
 public:
  void ShowInfoBox(const std::string& text, const std::string& caption) override { boxes.push_back({text, caption}); }
  void OpenInBrowserWindow(const std::string& url) override { opened.push_back(url); }
  std::vector<std::pair<std::string, std::string>> boxes;
  std::vector<std::string> opened;
};

}  // namespace zel::test
