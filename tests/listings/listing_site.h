// The listing tests are rows of one table each: a site, fault rules, the
// tool's arguments and everything the run must leave behind.
#pragma once

#include <optional>

#include "harness.h"

// The site that exercises the layouts, layout.json. media1: LUNs 0 and 1 on
// port 1, LUN 2 on port 2 (mode 7, speed bits 0), LUN 3 on port 1 again, LUNs
// 4 and 5 without a port; pipes: two active on LUN 3, one inactive, one active
// without a device, one active on LUN 0. media2: disabled, no config, no
// devices. c1: devices on HBA ports 0, 0, 1, 0 and three pipes, the first with
// every record that needs a value factory of its own on the tool's side; c2: no
// devices; c3: two devices without an HBA port behind a missing server, one
// without a device.
const std::string LAYOUT_SITE = readFile(LISTINGS_LAYOUT);

struct ListingCase {
  std::string name;
  std::string inventory;
  std::string faults;  // fault rules, "" for none
  Lines args;
  std::string out, err;
  int status;
  std::optional<Lines> calls = std::nullopt;  // the FT calls, when they matter
  std::optional<Lines> log = std::nullopt;    // the debug log, when it matters
};

// Every row starts a site of its own: rows share no journal and no log.
struct Listing : ::testing::TestWithParam<ListingCase> {};

// Failures name the row rather than dump its bytes.
inline void PrintTo(const ListingCase &c, std::ostream *os) { *os << c.name; }

// The verbose lines of one LUN of an FT server.
inline std::string lunBlock(const char *state, int lun, int active) {
  return std::string("\tFT Server Device State   : ") + state + "\n\tAssociated LUN           : " +
         std::to_string(lun) + "\n\tActive Connections on LUN: " + std::to_string(active) + "\n\n";
}
