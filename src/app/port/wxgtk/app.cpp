#include "app/port/app.h"

#include <glib-unix.h>
#include <wx/app.h>

#include <clocale>
#include <csignal>
#include <cstring>
#include <utility>

namespace zel::port {

void PreferChineseNativeTexts() {
  // GTK's own texts come from gettext, which follows LANGUAGE under every
  // locale but the plain C one.
  g_setenv("LANGUAGE", "zh_CN", TRUE);
  const char* messages = setlocale(LC_MESSAGES, nullptr);
  if (!messages || std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0)
    setlocale(LC_MESSAGES, "C.UTF-8");
}

void AddCatalogFolders() {}  // the system's: /usr/share/locale

void OnSessionEnd(std::function<void()> close) {
  static std::function<void()> handler;
  handler = std::move(close);
  for (int sig : {SIGTERM, SIGINT, SIGHUP})
    g_unix_signal_add(sig, [](gpointer) -> gboolean {
      if (handler) handler();
      return G_SOURCE_CONTINUE;
    }, nullptr);
}

}  // namespace zel::port
