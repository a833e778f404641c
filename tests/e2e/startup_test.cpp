#include <gtest/gtest.h>
#include "app/main_frame.h"
#include "e2e/e2e_util.h"
#include "support/testutil.h"
TEST(Startup, Smoke) {
  zel::test::AppFolder app;
  app.CopyShippedData();
  auto* f = new zel::Tfrm_main(app.path());
  f->Show();
  zel::e2e::Pump(500);
  EXPECT_EQ(f->PageControl1->GetPageCount(), 9u);
  f->Destroy();
}
