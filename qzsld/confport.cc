#include "confport.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <strings.h>

static std::string trim(const std::string &text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos)
    return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

static bool portNumber(const std::string &value, int &port) {
  if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos)
    return false;
  int parsed = std::stoi(value);
  if (parsed < 1 || parsed > 65535)
    return false;
  port = parsed;
  return true;
}

// Read as the tool reads it: "KEY = value" lines, keys in any case, '#' starts
// a comment, the last occurrence wins.
bool configuredPort(const std::string &path, int &port, std::string &error) {
  port = DEFAULT_QZSL_PORT;
  std::ifstream in(path);
  if (!in) {
    if (errno == ENOENT)
      return true;
    error = "cannot read " + path + ": " + strerror(errno);
    return false;
  }
  for (std::string line; std::getline(in, line);) {
    line = line.substr(0, line.find('#'));
    size_t equals = line.find('=');
    if (equals == std::string::npos || strcasecmp(trim(line.substr(0, equals)).c_str(), "QZSL_PORT") != 0)
      continue;
    std::string value = trim(line.substr(equals + 1));
    if (!portNumber(value, port)) {
      error = path + ": QZSL_PORT must be a port number from 1 to 65535, not \"" + value + "\"";
      return false;
    }
  }
  return true;
}
