#include "frontend/dispatch.h"

#include <algorithm>
#include <cstring>

#include "frontend/commands.h"
#include "frontend/usage.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/status.h"

static void resetRescanTable() {
  for (thread_table_entry_t &entry : active_threads) {
    entry.state = THREAD_FREE;
    entry.status = 0;
    entry.client.clear();
    entry.control_facet = Corvane::Tessark::SL::FATServiceMgmt::FATServiceControlFacet::_nil();
  }
}

void dispatch(int argc, char **argv) {
  if (argc < 2) print_usage("-help");
  // Only the very first positions hold global flags, and a flag is one only
  // when something follows it: a lone "-verbose" is taken as the keyword.
  int keyword = 1;
  if (strcmp(argv[keyword], "-verbose") == 0 && argc - keyword > 1) {
    vbose = true;
    ++keyword;
  }
  if (strcmp(argv[keyword], "-help") == 0 && argc - keyword > 1) {
    show_help = true;
    ++keyword;
  }
  resetRescanTable();

  const command_t *command = find_command(argv[keyword]);
  if (command == nullptr) print_error(ERR_ARGUMENTS, "-help");
  if (show_help) print_usage(command->keyword);

  int selector = 0;
  if (command->parse != nullptr)
    selector = command->parse(argc - keyword - 1, argv + keyword + 1, command->keyword);
  if (std::find(command->accepted.begin(), command->accepted.end(), selector) ==
      command->accepted.end())
    print_error(command->refusalCode ? command->refusalCode(selector) : ERR_ARGUMENTS, command->keyword);
  if (command->unfilteredListing && selector == 0) master_server.clear();
  int status = command->run(selector);
  if (status == STATUS_SHOW_USAGE) print_usage(command->keyword);
  qzftconfig_exit(status);
}
