// The local master-server configuration, $TESSARK_HOME/qz.conf.
#pragma once
#include <string>
#include <vector>

enum { USE_KMTL_REQUIRED = 1, USE_KMTL_PROHIBITED = 2, USE_KMTL_AUTOMATIC = 3 };

struct master_config_t {
  std::vector<std::string> servers;  // the first is the master server
  int connect_timeout;               // seconds
  int request_timeout;               // seconds
  int use_kmtl;                      // USE_KMTL_*
  int qzsl_port;                     // TCP port of the local QZSL
};

// Reads the file; 0 on success, otherwise an errno-style code (the reason is
// in the debug log). Unknown keys are ignored.
int QZ_read_master_config();

// The configuration of the last successful read, or null.
const master_config_t *get_master_config_ptr();
