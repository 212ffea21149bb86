// The change and rescan tests are rows of tables: fault rules, the tool's
// arguments and everything the run must leave behind.
#pragma once

#include <algorithm>

#include "tests/harness.h"

inline Lines sorted(Lines all) {
  std::sort(all.begin(), all.end());
  return all;
}

// Fails for each of `expected` that is not a line of the site's debug log.
inline void expectLogged(const Site &site, const Lines &expected) {
  Lines all = logLines(site);
  for (const std::string &line : expected)
    EXPECT_NE(std::find(all.begin(), all.end(), line), all.end())
        << line << " not in " << ::testing::PrintToString(all);
}

// A table of rows, each run against a site of its own.
template <typename Row> struct SiteTest : ::testing::TestWithParam<Row> {
  Site site;
  void TearDown() override { stopSite(site); }
};
