// The qz.conf reader on any file content.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/masterconfig.h"

static std::string home, conf_path;

static void remove_home() {
  unlink(conf_path.c_str());
  rmdir(home.c_str());
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  char pattern[] = "/tmp/qzfuzz.XXXXXX";
  if (mkdtemp(pattern) == nullptr) abort();
  home = pattern;
  setenv("TESSARK_HOME", pattern, 1);
  conf_path = home + "/qz.conf";
  atexit(remove_home);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  FILE *file = fopen(conf_path.c_str(), "w");
  fwrite(data, 1, size, file);
  fclose(file);
  if (QZ_read_master_config() == 0 && get_master_config_ptr() == nullptr) abort();
  return 0;
}
