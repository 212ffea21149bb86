#include "platform/masterconfig.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/debuglog.h"

namespace {

const char *const TAG = "QZ_read_master_config";
const int DEFAULT_TIMEOUT = 300;

master_config_t current_config;
bool have_config = false;

std::string last_error;

void log_error(const std::string &text) {
  last_error = text;
  logmsg(LOG_ERROR, text.c_str(), TAG);
}

std::string trim(const std::string &text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// A decimal integer in [low, high], nothing else on the value.
bool parse_number(const std::string &value, long low, long high, int *out) {
  if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  char *end = nullptr;
  long number = strtol(value.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || number < low || number > high) return false;
  *out = static_cast<int>(number);
  return true;
}

bool parse_use_kmtl(const std::string &value, int *out) {
  if (strcasecmp(value.c_str(), "REQUIRED") == 0) *out = USE_KMTL_REQUIRED;
  else if (strcasecmp(value.c_str(), "PROHIBITED") == 0) *out = USE_KMTL_PROHIBITED;
  else if (strcasecmp(value.c_str(), "AUTOMATIC") == 0) *out = USE_KMTL_AUTOMATIC;
  else return false;
  return true;
}

bool parse_yes_no(const std::string &value, bool *out) {
  if (strcasecmp(value.c_str(), "YES") == 0) *out = true;
  else if (strcasecmp(value.c_str(), "NO") == 0) *out = false;
  else return false;
  return true;
}

// A user or group name: one word.
bool parse_name(const std::string &value, std::string *out) {
  if (value.empty() || value.find_first_of(" \t") != std::string::npos) return false;
  *out = value;
  return true;
}

// Applies one "KEY = value" pair; false when the value is not acceptable.
bool apply_setting(master_config_t &config, const std::string &key, const std::string &value) {
  const char *k = key.c_str();
  if (strcasecmp(k, "SERVER") == 0) {
    if (value.empty() || value.find_first_of(" \t") != std::string::npos) return false;
    config.servers.push_back(value);
    return true;
  }
  if (strcasecmp(k, "CONNECT_TIMEOUT") == 0) return parse_number(value, 1, 2147483647L, &config.connect_timeout);
  if (strcasecmp(k, "REQUEST_TIMEOUT") == 0) return parse_number(value, 1, 2147483647L, &config.request_timeout);
  if (strcasecmp(k, "QZSL_PORT") == 0) return parse_number(value, 1, 65535, &config.qzsl_port);
  if (strcasecmp(k, "VERBOSE") == 0) return parse_number(value, 0, 2147483647L, &config.verbose);
  if (strcasecmp(k, "USE_KMTL") == 0) return parse_use_kmtl(value, &config.use_kmtl);
  if (strcasecmp(k, "QZSL_ACCOUNT") == 0) return parse_name(value, &config.qzsl_account);
  if (strcasecmp(k, "QZSL_ADMIN_GROUP") == 0) return parse_name(value, &config.admin_group);
  if (strcasecmp(k, "QZSL_OPEN_READS") == 0) return parse_yes_no(value, &config.open_reads);
  return true;
}

// Parses one line into `config`; false (after logging why) when malformed.
bool parse_line(master_config_t &config, std::string line, const std::string &path, int number) {
  size_t hash = line.find('#');
  if (hash != std::string::npos) line.erase(hash);
  line = trim(line);
  if (line.empty()) return true;
  std::string where = path + " line " + std::to_string(number) + ": ";
  size_t equals = line.find('=');
  if (equals == std::string::npos) {
    log_error(where + "no '=' in \"" + line + "\"");
    return false;
  }
  std::string key = trim(line.substr(0, equals));
  std::string value = trim(line.substr(equals + 1));
  if (key.empty()) {
    log_error(where + "missing key in \"" + line + "\"");
    return false;
  }
  if (!apply_setting(config, key, value)) {
    log_error(where + "bad value \"" + value + "\" for " + key);
    return false;
  }
  return true;
}

// Opens the file for reading, refusing anything that is not a regular file.
// Returns the stream, or null with the reason in errno.
FILE *open_config(const std::string &path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    int reason = S_ISDIR(info.st_mode) ? EISDIR : errno;
    close(fd);
    errno = reason;
    return nullptr;
  }
  FILE *file = fdopen(fd, "r");
  if (file == nullptr) {
    int reason = errno;
    close(fd);
    errno = reason;
  }
  return file;
}

}  // namespace

const char *master_config_error() { return last_error.c_str(); }

int QZ_read_master_config() {
  std::string path = std::string(tessark_home()) + "/qz.conf";
  FILE *file = open_config(path);
  if (file == nullptr) {
    int reason = errno;
    log_error("cannot read " + path + ": " + strerror(reason) + " (" + std::to_string(reason) + ")");
    return reason;
  }
  master_config_t config{{}, DEFAULT_TIMEOUT, DEFAULT_TIMEOUT, USE_KMTL_AUTOMATIC, 0, 0, DEFAULT_QZSL_ACCOUNT, "", false};
  char *buffer = nullptr;
  size_t capacity = 0;
  int number = 0;
  int result = 0;
  errno = 0;
  while (result == 0 && getline(&buffer, &capacity, file) >= 0) {
    ++number;
    if (!parse_line(config, buffer, path, number)) result = EINVAL;
  }
  if (result == 0 && ferror(file)) {
    result = errno != 0 ? errno : EIO;
    log_error("error reading " + path + ": " + strerror(result));
  }
  free(buffer);
  fclose(file);
  if (result != 0) return result;
  current_config = config;
  have_config = true;
  return 0;
}

const master_config_t *get_master_config_ptr() { return have_config ? &current_config : nullptr; }

int get_configured_verbose(const char *program, const char *name) {
  const master_config_t *config = get_master_config_ptr();
  return config != nullptr ? config->verbose : 0;
}
