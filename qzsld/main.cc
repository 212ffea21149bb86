// qzsld: the QZSL management service of this installation, serving the FT
// facets from an SQLite inventory.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <stdexcept>
#include <unistd.h>

#include "callers.h"
#include "faults.h"
#include "journal.h"
#include "notify.h"
#include "options.h"
#include "platform/debuglog.h"
#include "platform/masterconfig.h"
#include "platform/version.h"
#include "recordjson.h"
#include "service.h"
#include "stopping.h"
#include "store.h"

namespace {

[[noreturn]] void failStart(const std::string &message) {
  fprintf(stderr, "qzsld: %s\n", message.c_str());
  exit(1);
}

void importFile(const std::string &path) {
  json_error_t error;
  Json inventory(json_load_file(path.c_str(), 0, &error));
  if (!inventory)
    throw std::runtime_error(path + ":" + std::to_string(error.line) + ": " + error.text);
  try {
    store::importInventory(inventory.get());
  } catch (const std::runtime_error &e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

void exportFile(const std::string &path) {
  Json inventory(store::exportInventory());
  FILE *file = fopen(path.c_str(), "w");
  if (!file || json_dumpf(inventory.get(), file, JSON_INDENT(2)) != 0 || fputc('\n', file) == EOF ||
      fclose(file) != 0)
    throw std::runtime_error("cannot write " + path + ": " + strerror(errno));
}

// Written under another name and renamed, so that a reader never sees it half done.
void writeReadyFile(const std::string &path) {
  std::string temporary = path + ".tmp";
  FILE *file = fopen(temporary.c_str(), "w");
  if (!file || fprintf(file, "%d\n", (int)getpid()) < 0 || fclose(file) != 0 ||
      rename(temporary.c_str(), path.c_str()) != 0)
    failStart("cannot write " + path + ": " + strerror(errno));
}

CORBA::ORB_ptr startOrb(const Options &options) {
  std::string endpoint = "giop:tcp:127.0.0.1:" + std::to_string(options.port);
  const char *args[] = {"qzsld", "-ORBendPoint", endpoint.c_str(),
                        // Large enough for 20,000 SAN clients with four devices each in one reply.
                        "-ORBgiopMaxMsgSize", "268435456", "-ORBmaxGIOPVersion", "1.2",
                        // No local user may grow the service without bound: beyond 50
                        // connections a pool of at most 50 threads serves them all, a
                        // connection idle for 60 s (no call under way) is closed, and a
                        // request must arrive whole within 30 s.
                        "-ORBthreadPerConnectionUpperLimit", "50", "-ORBthreadPerConnectionLowerLimit", "40",
                        "-ORBmaxServerThreadPoolSize", "50", "-ORBinConScanPeriod", "60",
                        "-ORBscanGranularity", "5", "-ORBserverCallTimeOutPeriod", "30000", nullptr};
  int argc = sizeof args / sizeof args[0] - 1;
  CORBA::ORB_ptr orb = CORBA::ORB_init(argc, const_cast<char **>(args));
  watchCallers(options.adminGroup, options.openReads);
  registerValueFactories(orb);
  publishService(orb, options.factory, options.discoveryMs);
  return orb;
}

}  // namespace

int main(int argc, char **argv) {
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    fprintf(stderr, "qzsld: %s\n%s", error.c_str(), USAGE);
    return 2;
  }
  if (options.help) {
    printf("%s\n%s", USAGE, HELP);
    return 0;
  }
  if (options.version) {
    printf("qzsld %s\n", QZ_VERSION);
    return 0;
  }

  // The signals are taken by sigwait below; every ORB thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  // The service reads qz.conf as the tool does, so that the two cannot
  // disagree on the port; only a missing file means the defaults. With
  // --port the file is not needed, and one that cannot be read names no
  // administrators' group and opens no reads.
  if (options.exportFile.empty()) {
    int result = QZ_read_master_config();
    if (result != 0 && result != ENOENT && options.port == 0)
      failStart(master_config_error());
    const master_config_t *config = result == 0 ? get_master_config_ptr() : nullptr;
    if (options.port == 0)
      options.port = config && config->qzsl_port > 0 ? config->qzsl_port : DEFAULT_QZSL_PORT;
    if (config && options.adminGroup.empty())
      options.adminGroup = config->admin_group;
    if (config && config->open_reads)
      options.openReads = true;
  }

  try {
    store::openStore(options.db);
    if (!options.inventory.empty())
      importFile(options.inventory);
    if (!options.exportFile.empty()) {
      exportFile(options.exportFile);
      store::closeStore();
      return 0;
    }
    if (!options.faults.empty())
      loadFaults(options.faults);
    if (!options.journal.empty())
      openJournal(options.journal);
  } catch (const std::exception &e) {
    failStart(e.what());
  }

  CORBA::ORB_var orb;
  try {
    orb = startOrb(options);
  } catch (const CORBA::Exception &e) {
    failStart("cannot serve on 127.0.0.1:" + std::to_string(options.port) + ": " + e._name());
  } catch (const std::runtime_error &e) {
    failStart(e.what());
  }
  // A new installation starts without a site; the operator learns from the
  // service's own output how to give it one.
  if (store::inventoryEmpty())
    fprintf(stderr,
            "qzsld: the inventory in %s is empty; import one, with the service stopped, by:"
            " qzsld --db %s --inventory FILE --export /dev/null\n",
            options.db.c_str(), options.db.c_str());
  fprintf(stderr, "qzsld: listening on 127.0.0.1:%d\n", options.port);
  // Whoever waits for the ready file or the notification finds the lines
  // above already written.
  if (!options.readyFile.empty())
    writeReadyFile(options.readyFile);
  notifyServiceManager("READY=1");

  int signal = 0;
  sigwait(&stopSignals, &signal);
  notifyServiceManager("STOPPING=1");
  // Wake the calls that wait (hang, delay, discovery) so that shutdown does
  // not wait for them.
  requestStop();
  orb->shutdown(true);
  orb->destroy();
  closeJournal();
  store::closeStore();
  return 0;
}
