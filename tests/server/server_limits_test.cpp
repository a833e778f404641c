// The server's limits against hostile clients: a forged Host header, header
// floods, slow and idle connections, and many-part ranges.
#include <gtest/gtest.h>

#include "base/ini.h"
#include "server_fixture.h"

namespace zel::server::test {
namespace {

TEST(ServerLimits, UpdateAddressesIgnoreTheHostHeader) {
  struct Case {
    const char* host;
    const char* why;
  } cases[] = {{"evil.example", "another host"},
               {"evil.example:8090", "another host and port"},
               {"127.0.0.1:1", "our address, another port"},
               {"[::1]:99", "bracketed address"},
               {"", "empty"}};
  std::string want = SharedServer::Get().base() + "/weather/files/";
  for (const Case& c : cases) {
    auto client = SharedServer::Get().Client();
    client->set_default_headers({{"Host", c.host}});
    auto res = client->Get("/weather/UpDate.txt");
    ASSERT_TRUE(res) << c.why;
    zel::test::TempDir dir;
    dir.Write("UpDate.ini", res->body);
    EXPECT_EQ(IniFile(dir / "UpDate.ini").ReadString("download", "URL", ""), want) << c.why;
  }
}

}  // namespace
}  // namespace zel::server::test
