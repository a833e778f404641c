// The toolkit's own texts are Chinese whatever the desktop's language: the
// test runs under the runner's locale (the plain C one under ./test.sh).
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <wx/stockitem.h>

#include "app/main_frame.h"

namespace zel {
namespace {

std::string Utf8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

TEST(StockTexts, ChineseWhateverTheDesktopSpeaks) {
  UseChineseStockTexts();
  // A message box's button, as the toolkit makes it.
  GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "x");
  GtkWidget* ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(std::string(gtk_button_get_label(GTK_BUTTON(ok))), Utf8(u8"确定(_O)"));
  gtk_widget_destroy(box);
  struct Case {
    std::string got;
    const char8_t* want;
  };
  const Case cases[] = {
      // The text fields' menu.
      {g_dgettext("gtk30", "Cu_t"), u8"剪切(_T)"},
      {g_dgettext("gtk30", "_Paste"), u8"粘贴(_P)"},
      {g_dgettext("gtk30", "Select _All"), u8"全选(_A)"},
      // wx's own dialogs and stock buttons.
      {std::string(wxGetStockLabel(wxID_CANCEL).utf8_str()), u8"取消(&C)"},
      {std::string(wxGetTranslation("Error").utf8_str()), u8"错误"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, Utf8(c.want));
}

}  // namespace
}  // namespace zel
