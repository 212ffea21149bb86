// Machine kinds (QZSL_QZU_MACHINE_TYPE) and their enumerator names, which the
// inventory file, the export and the journal write.
#pragma once
#include <string>

// QZSL_QZU_MACHINE_TYPE values.
const int MACHINE_MEDIA = 0, MACHINE_MASTER = 1, MACHINE_CLIENT = 2;
// "QZSL_QZU_MEDIA" and so on; "" for a value out of range.
const char *machineTypeName(int kind);
// The value of an enumerator name, or -1.
int machineTypeValue(const std::string &name);
