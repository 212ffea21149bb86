// The command table: one row per command keyword, read both by dispatch and
// by print_usage, so a keyword, its usage text and its rules cannot drift
// apart.
#pragma once
#include <cstddef>
#include <vector>

struct command_t {
  const char *keyword;    // long form; messages and usage texts always name it
  const char *shortForm;  // null when the command has none
  const char *usageId;    // catalog id of the usage text
  const char *usageText;  // English usage text
  // Reads the arguments after the keyword and returns the selector; null when
  // the command takes no arguments at all.
  int (*parse)(int count, char **arguments, const char *command);
  std::vector<int> accepted;  // selectors the command runs with
  // The print_error code for a selector outside `accepted`; null means code 0.
  int (*refusalCode)(int selector);
  bool unfilteredListing;  // selector 0 empties master_server before `run`
  // Runs the command and gives the status that the run ends with;
  // STATUS_SHOW_USAGE ends it with the command's usage.
  int (*run)(int selector);
};

extern const command_t commands[];
extern const size_t command_count;

// The row whose long or short form is exactly `keyword`, or null.
const command_t *find_command(const char *keyword);
// The row whose long form is exactly `command`, or null.
const command_t *find_command_by_keyword(const char *command);
