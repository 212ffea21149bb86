// The run every listing table row goes through, and listings of the demo site
// compared byte for byte with demo/, checked by hand against the layouts.
#include "listing_site.h"

TEST_P(Listing, LeavesExactlyWhatTheRowSays) {
  const ListingCase &c = GetParam();
  SiteOptions options;
  options.inventory = c.inventory;
  options.faults = c.faults;
  Site site = startSite(options);
  RunResult r = runTool(site, c.args, into(c.stdoutTo));
  expectRun(r, c.out, c.err, c.status);
  if (c.calls) { EXPECT_EQ(ftCalls(site), *c.calls); }
  if (c.log) { EXPECT_EQ(logLines(site), *c.log); }
  // A run that succeeded closes its host session, and does nothing after.
  if (c.status == STATUS_OK) { EXPECT_EQ(journal(site).back(), "destroy"); }
  stopSite(site);
}

namespace {

ListingCase demo(const char *name, Lines args, const char *file, int status = STATUS_OK) {
  return ending(status, "", on(demoInventory(), {name, args, readFile(std::string(LISTINGS_DEMO_DIR "/") + file)}));
}

// One listing of each form; the row tables check the rest. "-listactive"
// without "-C" or "-Me" ends with the result of the last FT server,
// ftmedia03, which has no active pipe: 252.
INSTANTIATE_TEST_SUITE_P(
    Demo, Listing,
    ::testing::Values(demo("Clients", {"-listclients"}, "listclients.txt"),
                      demo("ServersJson", {"-ls", "-json"}, "listservers.json"),
                      demo("ActiveVerbose", {"-la", "-verbose"}, "listactive_verbose.txt", STATUS_OUT_OF_RANGE)),
    rowName<ListingCase>);

}  // namespace
