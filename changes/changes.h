// The change, delete and rescan commands.
#pragma once
#include <csignal>

[[noreturn]] void setconfigDefaults(int selector);
void printConfigDefaults();
[[noreturn]] void changeSANClient(int selector);
[[noreturn]] void deleteSANClient();
[[noreturn]] void changeFATServer(int selector);
int getServerConf(bool report);
[[noreturn]] void deleteFATServer();
int rescanSANClient(int index, bool quiet, bool inThread);
int rescanAllSANClients();
void *rescan_thread(void *index);
int process_completed_thread(int index, int &failed);
void display_waiting_clients();
void SIGSEGV_handler(int signal);
// Installs the worker's SIGSEGV handler for a request about `client`, the
// previous disposition into `saved`.
void watchForFaults(struct sigaction *saved, const char *client);
