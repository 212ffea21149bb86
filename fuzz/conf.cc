// The qz.conf reader on any file content.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/masterconfig.h"

static std::string conf;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  char home[] = "/tmp/qzfuzz.XXXXXX";
  if (mkdtemp(home) == nullptr) abort();
  setenv("TESSARK_HOME", home, 1);
  conf = std::string(home) + "/qz.conf";
  atexit([] { unlink(conf.c_str()), rmdir(getenv("TESSARK_HOME")); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
  FILE *file = fopen(conf.c_str(), "w");
  fwrite(data, 1, size, file);
  fclose(file);
  if (QZ_read_master_config() == 0 && get_master_config_ptr() == nullptr) abort();
  return 0;
}
