// Every listing of the demo site, compared byte for byte with the listings in
// demo/, which were checked by hand against the layouts.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "harness.h"

namespace {

struct DemoCase {
  std::vector<std::string> args;
  const char *expected;  // file in demo/
  int status;
};

class DemoListing : public ::testing::TestWithParam<DemoCase> {
protected:
  static Site site;
  static void SetUpTestSuite() {
    SiteOptions options;
    options.inventory = demoInventory();
    site = startSite(options);
  }
  static void TearDownTestSuite() { stopSite(site); }
};
Site DemoListing::site;

TEST_P(DemoListing, PrintsTheExpectedListing) {
  const DemoCase &c = GetParam();
  RunResult r = runTool(site, c.args);
  EXPECT_EQ(r.out, readFile(std::string(LISTINGS_DEMO_DIR "/") + c.expected));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, c.status);
}

// "-listactive" without options ends with the result of the last FT server,
// ftmedia03, which has no active pipe: 252.
INSTANTIATE_TEST_SUITE_P(
    Demo, DemoListing,
    ::testing::Values(DemoCase{{"-listclients"}, "listclients.txt", 0},
                      DemoCase{{"-listclients", "-verbose"}, "listclients_verbose.txt", 0},
                      DemoCase{{"-lc", "-json"}, "listclients.json", 0},
                      DemoCase{{"-listservers"}, "listservers.txt", 0},
                      DemoCase{{"-verbose", "-listservers"}, "listservers_verbose.txt", 0},
                      DemoCase{{"-ls", "-json"}, "listservers.json", 0},
                      DemoCase{{"-listtargets"}, "listtargets.txt", 0},
                      DemoCase{{"-lt", "-verbose"}, "listtargets_verbose.txt", 0},
                      DemoCase{{"-listactive"}, "listactive.txt", 252},
                      DemoCase{{"-la", "-verbose"}, "listactive_verbose.txt", 252},
                      DemoCase{{"-list_telemetry", "-json"}, "list_telemetry.json", 0},
                      DemoCase{{"-ll", "-json_compact"}, "list_telemetry_compact.json", 0}),
    [](const ::testing::TestParamInfo<DemoCase> &info) {
      std::string name = info.param.expected;
      for (char &c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

}  // namespace
