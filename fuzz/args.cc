// The argument parsers, in-process: the input is split at NUL bytes into the
// arguments after the command keyword. A parser that ends the run (usage or
// argument error) throws back to here instead of exiting.
#include <climits>
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
  std::string input(reinterpret_cast<const char *>(data) + 1, size - 1);
  std::vector<std::string> words;
  for (size_t start = 0, end; start <= input.size(); start = end + 1) {
    end = input.find('\0', start);
    if (end == std::string::npos) end = input.size();
    words.push_back(input.substr(start, end - start));
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
