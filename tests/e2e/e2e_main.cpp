// Window tests run inside a real wx application on a real display.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Listing the tests (at build time) needs no display.
  if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
    fprintf(stderr, "e2e: cannot start the toolkit (no display?)\n");
    return 1;
  }
  int rc = RUN_ALL_TESTS();
  // Detached workers may still run; leave without tearing the toolkit down.
  fflush(nullptr);
  _exit(rc);
}
