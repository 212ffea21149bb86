#include "machinetype.h"

const char *machineTypeName(int kind) {
  static const char *const names[] = {"QZSL_QZU_MEDIA", "QZSL_QZU_MASTER", "QZSL_QZU_CLIENT"};
  return kind >= 0 && kind <= 2 ? names[kind] : "";
}

int machineTypeValue(const std::string &name) {
  for (int kind = 0; kind <= 2; ++kind)
    if (name == machineTypeName(kind))
      return kind;
  return -1;
}
