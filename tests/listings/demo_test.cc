// The run every listing table row goes through, and every listing of the demo
// site compared byte for byte with demo/, checked by hand against the layouts.
#include "listing_site.h"

TEST_P(Listing, LeavesExactlyWhatTheRowSays) {
  const ListingCase &c = GetParam();
  SiteOptions options;
  options.inventory = c.inventory;
  options.faults = c.faults;
  Site site = startSite(options);
  RunResult r = runTool(site, c.args);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.status, c.status);
  if (c.calls) { EXPECT_EQ(ftCalls(site), *c.calls); }
  if (c.log) { EXPECT_EQ(logLines(site), *c.log); }
  stopSite(site);
}

namespace {

ListingCase demo(const char *name, Lines args, const char *file, int status = 0) {
  return {name, demoInventory(), "", args, readFile(std::string(LISTINGS_DEMO_DIR "/") + file), "", status};
}

// "-listactive" without options ends with the result of the last FT server,
// ftmedia03, which has no active pipe: 252.
INSTANTIATE_TEST_SUITE_P(
    Demo, Listing,
    ::testing::Values(demo("Clients", {"-listclients"}, "listclients.txt"),
                      demo("ClientsVerbose", {"-listclients", "-verbose"}, "listclients_verbose.txt"),
                      demo("ClientsJson", {"-lc", "-json"}, "listclients.json"),
                      demo("Servers", {"-listservers"}, "listservers.txt"),
                      demo("ServersVerbose", {"-verbose", "-listservers"}, "listservers_verbose.txt"),
                      demo("ServersJson", {"-ls", "-json"}, "listservers.json"),
                      demo("Targets", {"-listtargets"}, "listtargets.txt"),
                      demo("TargetsVerbose", {"-lt", "-verbose"}, "listtargets_verbose.txt"),
                      demo("Active", {"-listactive"}, "listactive.txt", 252),
                      demo("ActiveVerbose", {"-la", "-verbose"}, "listactive_verbose.txt", 252),
                      demo("TelemetryJson", {"-list_telemetry", "-json"}, "list_telemetry.json"),
                      demo("TelemetryCompact", {"-ll", "-json_compact"}, "list_telemetry_compact.json")),
    caseName);

}  // namespace
