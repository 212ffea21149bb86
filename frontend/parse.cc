#include "frontend/parse.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "frontend/usage.h"
#include "platform/messages.h"
#include "run/globals.h"

namespace {

// Position in the arguments after the command keyword.
struct arg_cursor_t {
  int count;
  char **arguments;
  int next;
  const char *command;
};

// The value of the option just read, or null when none follows or the next
// argument is an option itself; a missing value is never consumed.
const char *take_value(arg_cursor_t &cursor) {
  if (cursor.next >= cursor.count || cursor.arguments[cursor.next][0] == '-') return nullptr;
  return cursor.arguments[cursor.next++];
}

// The number that a text accepted by isValidNum stands for. An empty text
// stands for none, and a number beyond 32 bits is out of every range the
// options have, so both are refused here and reported as range errors.
bool to_int(const char *text, long &value) {
  if (*text == '\0') return false;
  value = 0;
  for (const char *digit = text; *digit != '\0'; ++digit) {
    value = value * 10 + (*digit - '0');
    if (value > INT_MAX) return false;
  }
  return true;
}

bool number_in_range(const char *text, long low, long high, long &value) {
  return isValidNum(text) && to_int(text, value) && value >= low && value <= high;
}

// A host name option ("-C", "-Me", "-M" of the listings).
void take_name(arg_cursor_t &cursor, const char *option, int bit, int &selector,
               std::string &field) {
  if (selector & bit) invalidArg(option, cursor.command);
  const char *value = take_value(cursor);
  if (value == nullptr) print_error(ERR_HOSTNAME, cursor.command);
  field = value;
  if (!validate_name(value)) print_error(ERR_HOSTNAME, cursor.command);
  selector |= bit;
}

// "-ftwait" and "-ftrwait": minutes, only after "-ftpref preferred".
void take_wait(arg_cursor_t &cursor, const char *option, int bit, int &selector, bool preferred,
               int &field) {
  if (selector & bit) invalidArg(option, cursor.command);
  if (!preferred) print_error(ERR_WAIT_WITHOUT_PREFERRED, cursor.command);
  const char *value = take_value(cursor);
  long minutes = 0;
  if (value == nullptr || !number_in_range(value, 1, 1441, minutes)) print_error(ERR_WAIT, cursor.command);
  field = static_cast<int>(minutes);
  selector |= bit;
}

// "-np" and "-ncp": counts kept as typed, refused after "-ftpref".
void take_count(arg_cursor_t &cursor, const char *option, int bit, int &selector, long minimum,
                int exclusiveCode, int valueCode, std::string &field) {
  if (selector & bit) invalidArg(option, cursor.command);
  if (selector & (SEL_FTPREF | SEL_FTPREF_PREFERRED)) print_error(exclusiveCode, cursor.command);
  const char *value = take_value(cursor);
  if (value == nullptr) print_error(valueCode, cursor.command);
  field = value;
  long count = 0;
  if (!number_in_range(value, minimum, INT_MAX, count)) print_error(valueCode, cursor.command);
  selector |= bit;
}

void take_preference(arg_cursor_t &cursor, int &selector, bool &preferred) {
  if (selector & (SEL_FTPREF | SEL_FTPREF_PREFERRED)) invalidArg("-ftpref", cursor.command);
  const char *value = take_value(cursor);
  if (value == nullptr) print_error(ERR_FTPREF, cursor.command);
  ftpreference = value;
  if (strcmp(value, "preferred") == 0) {
    preferred = true;
    selector |= SEL_FTPREF_PREFERRED;
  } else if (strcmp(value, "always") == 0 || strcmp(value, "never") == 0 ||
             strcmp(value, "fail") == 0) {
    selector |= SEL_FTPREF;
  } else {
    print_error(ERR_FTPREF, cursor.command);
  }
}

void take_limit(arg_cursor_t &cursor, int &selector) {
  if (selector & SEL_SRV_L) invalidArg("-l", cursor.command);
  const char *value = take_value(cursor);
  if (value == nullptr) print_error(ERR_LIMIT, cursor.command);
  long limit = 0;
  if (!number_in_range(value, 1, INT_MAX, limit)) {
    QZ_LOOKUP("ZrtFtc0081N", "-l value: %s", value);
    fprintf(stderr, "\n%s", localizedMsg);
    print_error(ERR_LIMIT, cursor.command);
  }
  pipelimit = static_cast<int>(limit);
  selector |= SEL_SRV_L;
}

void take_state(arg_cursor_t &cursor, int &selector) {
  if (selector & SEL_SRV_STATE) invalidArg("-state", cursor.command);
  const char *value = take_value(cursor);
  if (value == nullptr) print_error(ERR_STATE, cursor.command);
  state = value;
  if (strcmp(value, "active") != 0 && strcmp(value, "disabled") != 0) print_error(ERR_STATE, cursor.command);
  selector |= SEL_SRV_STATE;
}

// The options every parser knows; anything else is refused.
void take_common(arg_cursor_t &cursor, const char *option) {
  if (strcmp(option, "-verbose") == 0)
    vbose = true;
  else if (strcmp(option, "-help") == 0)
    print_usage(cursor.command);
  else
    invalidArg(option, cursor.command);
}

bool offers_json(const char *command) {
  return strcmp(command, "-listclients") == 0 || strcmp(command, "-listservers") == 0 ||
         strcmp(command, "-list_telemetry") == 0;
}

// The name of a positional command: an argument starting with "-" is no
// name, but "-help" there still asks for the usage.
void take_positional_name(const char *name, const char *command, std::string &field) {
  if (name[0] == '-') {
    if (strcmp(name, "-help") == 0) print_usage(command);
    print_error(ERR_HOSTNAME, command);
  }
  field = name;
  if (!validate_name(name)) print_error(ERR_HOSTNAME, command);
}

// [-verbose] <name> [-verbose]; the "-verbose" is tolerated, not obeyed.
void parse_name_args(int count, char **arguments, const char *command, std::string &field) {
  if (count < 1 || count > 2) print_error(ERR_ARGUMENTS, command);
  int name = (count > 1 && strcmp(arguments[0], "-verbose") == 0) ? 1 : 0;
  take_positional_name(arguments[name], command, field);
  if (name + 1 < count && strcmp(arguments[name + 1], "-verbose") != 0) print_error(ERR_ARGUMENTS, command);
}

}  // namespace

int parse_common_listing_args(int count, char **arguments, const char *command) {
  int selector = 0;
  arg_cursor_t cursor{count, arguments, 0, command};
  while (cursor.next < cursor.count) {
    const char *option = cursor.arguments[cursor.next++];
    if (strcmp(option, "-C") == 0)
      take_name(cursor, option, SEL_C, selector, client_name);
    else if (strcmp(option, "-Me") == 0)
      take_name(cursor, option, SEL_ME, selector, media_server);
    else if (strcmp(option, "-M") == 0)
      take_name(cursor, option, SEL_M, selector, master_server);
    else if (strcmp(option, "-json") == 0 && offers_json(command))
      gJson = true;
    else if (strcmp(option, "-json_compact") == 0 && offers_json(command))
      gJson = gJson_compact = true;
    else
      take_common(cursor, option);
  }
  return selector;
}

int parse_common_server_args(int count, char **arguments, const char *command) {
  int selector = 0;
  arg_cursor_t cursor{count, arguments, 0, command};
  while (cursor.next < cursor.count) {
    const char *option = cursor.arguments[cursor.next++];
    if (strcmp(option, "-Me") == 0)
      take_name(cursor, option, SEL_SRV_ME, selector, media_server);
    else if (strcmp(option, "-l") == 0)
      take_limit(cursor, selector);
    else if (strcmp(option, "-state") == 0)
      take_state(cursor, selector);
    else if (strcmp(option, "-M") == 0)
      print_error(ERR_ARGUMENTS, command);  // a server belongs to the local master server
    else
      take_common(cursor, option);
  }
  return selector;
}

int parse_common_args(int count, char **arguments, const char *command) {
  int selector = 0;
  bool preferred = false;
  arg_cursor_t cursor{count, arguments, 0, command};
  while (cursor.next < cursor.count) {
    const char *option = cursor.arguments[cursor.next++];
    if (strcmp(option, "-C") == 0) {
      take_name(cursor, option, SEL_C, selector, client_name);
    } else if (strcmp(option, "-ftpref") == 0) {
      take_preference(cursor, selector, preferred);
    } else if (strcmp(option, "-ftwait") == 0) {
      take_wait(cursor, option, SEL_FTWAIT, selector, preferred, ftwait);
    } else if (strcmp(option, "-ftrwait") == 0) {
      take_wait(cursor, option, SEL_FTRWAIT, selector, preferred, ftrwait);
    } else if (strcmp(option, "-np") == 0) {
      take_count(cursor, option, SEL_NP, selector, 2, ERR_FTPREF_AND_NP, ERR_NP, num_ports);
    } else if (strcmp(option, "-ncp") == 0) {
      take_count(cursor, option, SEL_NCP, selector, 1, ERR_FTPREF_AND_NCP, ERR_NCP, num_clients_per_port);
    } else if (strcmp(option, "-M") == 0) {
      // A client's settings live on the master server it belongs to.
      if (strcmp(command, "-changeclient") == 0) print_error(ERR_ARGUMENTS, command);
      const char *value = take_value(cursor);
      if (value == nullptr || !validate_name(value)) print_error(ERR_HOSTNAME, command);
      master_server = value;
    } else {
      take_common(cursor, option);
    }
  }
  return selector;
}

int parse_client_name_args(int count, char **arguments, const char *command) {
  parse_name_args(count, arguments, command, client_name);
  return 0;
}

int parse_server_name_args(int count, char **arguments, const char *command) {
  parse_name_args(count, arguments, command, media_server);
  return 0;
}

int parse_rescan_client_args(int count, char **arguments, const char *command) {
  if (count < 1 || count > 3) print_error(ERR_ARGUMENTS, command);
  int name = 0;
  while (count - name > 1 &&
         (strcmp(arguments[name], "-verbose") == 0 || strcmp(arguments[name], "-C") == 0))
    ++name;
  take_positional_name(arguments[name], command, client_name);
  int rest = count - name - 1;
  if (rest > 1 || (rest == 1 && strcmp(arguments[name + 1], "-verbose") != 0))
    print_error(ERR_ARGUMENTS, command);
  return 0;
}

int parse_rescan_all_args(int count, char **arguments, const char *command) {
  // Two or more arguments are not looked at: the rescan runs regardless.
  if (count == 1) {
    if (strcmp(arguments[0], "-verbose") != 0) print_usage(command);
    vbose = true;
  }
  return 0;
}

bool validate_name(const char *text) {
  if (text == nullptr || *text == '\0' || strlen(text) > 256) return false;
  return strpbrk(text, "@$\\/\":;#*,|") == nullptr;
}

bool isValidNum(const char *text) {
  if (text == nullptr) return false;
  for (const char *c = text; *c != '\0'; ++c)
    if (*c < '0' || *c > '9') return false;
  return true;
}
