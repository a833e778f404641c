// The About tab's logic, free of any toolkit: the program text with its
// home-page link, the link rectangle and cursor rule of the text box, and
// the link labels along the bottom.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "base/ui.h"

namespace zel {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

constexpr Rgb kLinkGreen{0, 128, 0};
constexpr Rgb kLinkHot{255, 0, 0};
constexpr Rgb kAboutBack{231, 231, 231};

// Client pixels of the text box, bounds included.
struct PixelRect {
  int left, top, right, bottom;
  bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};
constexpr PixelRect kHomeLinkRect{54, 100, 195, 110};

struct AboutLink {
  std::string caption;  // GBK
  std::string url;
};

class AboutTab {
 public:
  // Labels 0..2 are the download sites, 3 is lblZelSoft.
  static constexpr int kLinkCount = 4;
  static constexpr int kZelSoft = 3;

  explicit AboutTab(std::function<Shell*()> shell);

  static std::string HomePage();
  // The fourteen lines, CR LF between them, none after the last.
  static std::string Text();
  // The home-page address as marked in the text: from the first "http" to
  // the end of its line.
  static std::string LinkText(const std::string& text);
  static const std::array<AboutLink, kLinkCount>& Links();

  // Start-up step 10: the text, then the caption of lblDown.
  void Build(TextView& edtAbout, Control& lblDown);

  // The window may move the rectangle to where the address really lies.
  void SetLinkRect(PixelRect r) { rect_ = r; }
  PixelRect LinkRect() const { return rect_; }

  // The cursor of the box: the hand while the pointer is over the address.
  void edtAboutMouseMove(int x, int y) { hand_ = rect_.Contains(x, y); }
  void edtAboutMouseUp();
  bool HandCursor() const { return hand_; }

  void LinkMouseEnter(int i);
  void LinkMouseLeave(int i);
  void LinkClick(int i);  // a download site, or lblZelSoft
  Rgb LinkColour(int i) const;
  bool LinkHand(int i) const;

 private:
  bool Valid(int i) const { return i >= 0 && i < kLinkCount; }
  std::function<Shell*()> shell_;
  PixelRect rect_ = kHomeLinkRect;
  bool hand_ = false;
  std::array<bool, kLinkCount> hot_{};
};

}  // namespace zel
