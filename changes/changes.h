// The change, delete and rescan commands. Each returns the status that the
// run ends with, unless a report has ended it already.
#pragma once
#include <csignal>
#include <string>
#include <vector>

#include "run/status.h"

int setconfigDefaults(int selector);
void printConfigDefaults();
int changeSANClient(int selector);
int deleteSANClient();
int changeFATServer(int selector);
int getServerConf(bool report);
int deleteFATServer();
int rescanSANClient(int index, bool quiet, bool inThread);
int rescanAllSANClients();
// Rescans `clients` (host names, in order) with up to RESCAN_TABLE_SIZE
// workers, prints the summary and returns the run status.
int rescanClients(const std::vector<std::string> &clients);
void *rescan_thread(void *index);
int process_completed_thread(int index, int &failed);
void display_waiting_clients();
void SIGSEGV_handler(int signal);
// Installs the worker's SIGSEGV handler, the previous disposition into
// `saved`.
void watchForFaults(struct sigaction *saved);
