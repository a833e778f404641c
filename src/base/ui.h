// The small views a tab's logic talks to. The window implements them over
// wx; tests use the fakes in tests/support. All texts are GBK.
#pragma once

#include <functional>
#include <string>

namespace zel {

class Browser {
 public:
  virtual ~Browser() = default;
  // Loading starts; it ends with the document-complete callback. Failures
  // of the request are ignored by every caller.
  virtual void Navigate(const std::string& address) = 0;
  // Shows exactly this page at once as the current document; absolute local
  // picture paths load.
  virtual void ShowHtml(const std::string& html) = 0;
  // The body's text without markup.
  virtual std::string BodyText() = 0;
  // The first element named so gets the value; then the first form is
  // submitted. False when nothing was submitted (no page, no such form).
  virtual bool SetFieldAndSubmit(const std::string& name, const std::string& value) = 0;
  // Gives up the page being loaded; the document shown stays. Its
  // document-complete never fires.
  virtual void Stop() {}
  // Fires once a loaded page is complete.
  std::function<void()> OnDocumentComplete;
};

class ListView {
 public:
  virtual ~ListView() = default;
  virtual void Clear() = 0;
  virtual void Add(const std::string& text) = 0;
  virtual void Delete(int index) = 0;
  virtual int Count() const = 0;
  virtual std::string Item(int index) const = 0;
  virtual int Selected() const = 0;  // -1 when none
  virtual void Select(int index) = 0;  // -1 clears the selection
};

class TextView {
 public:
  virtual ~TextView() = default;
  virtual void SetText(const std::string& text) = 0;
  virtual std::string Text() const = 0;
};

class Control {
 public:
  virtual ~Control() = default;
  virtual void Enable(bool on) = 0;
  virtual bool IsEnabled() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual std::string Caption() const = 0;
};

// What the window does for the logic beyond its views.
class Shell {
 public:
  virtual ~Shell() = default;
  virtual void ShowInfoBox(const std::string& text, const std::string& caption) = 0;
  virtual void OpenInBrowserWindow(const std::string& url) = 0;
};

}  // namespace zel
