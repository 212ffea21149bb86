// The argument parsers, in-process: the first byte picks the parser, the rest
// split at NUL bytes are the arguments after the command keyword. A parser
// that ends the run (usage or argument error) throws back to here instead.
#include <string>
#include <vector>

#include "frontend/parse.h"

struct run_ended {};

// What the parsers fill; the real definitions carry ORB state the parsers
// never touch.
std::string client_name, media_server, master_server, ftpreference, num_ports, num_clients_per_port, state;
int ftwait, ftrwait, pipelimit;
bool vbose, gJson, gJson_compact;
char lc_messages[256] = "C", localizedMsg[8192], englishMsg[8192];

[[noreturn]] void print_usage(const char *) { throw run_ended{}; }
[[noreturn]] void print_error(int, const char *) { throw run_ended{}; }
[[noreturn]] void invalidArg(const char *, const char *) { throw run_ended{}; }

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  if (size == 0) return 0;
  std::vector<std::string> words(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0) words.emplace_back();
    else words.back() += static_cast<char>(data[i]);
  }
  std::vector<char *> argv;
  for (std::string &word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  int (*const parsers[])(int, char **, const char *) = {
      parse_common_listing_args, parse_common_server_args, parse_common_args, parse_client_name_args,
      parse_server_name_args,    parse_rescan_client_args, parse_rescan_all_args};
  try {
    parsers[data[0] % 7](static_cast<int>(words.size()), argv.data(), "-fuzz");
  } catch (const run_ended &) {
  }
  validate_name(words[0].c_str());
  isValidNum(words[0].c_str());
  return 0;
}
