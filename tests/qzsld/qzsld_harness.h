// A live qzsld for the tests: started on a free loopback port with a private
// directory, reached through the omniORB stubs of the remote contract.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

#include "records.h"

namespace SL = Corvane::Tessark::SL;
namespace BT = Brantis::Tessark;

struct Qzsld {
  std::string dir;  // private directory: db, journal, faults, inventory, output
  int port = 0;
  pid_t pid = -1;
  std::string db, journal, readyFile, output;
};

// Starts qzsld with the inventory and fault texts ("" = none) and more
// options, and waits for its ready file. Fails the test (ADD_FAILURE) and
// returns pid -1 when it does not come up.
Qzsld startQzsld(const std::string &inventory, const std::string &faults = "",
                 const std::vector<std::string> &extra = {});
// Starts qzsld again on the same directory, database and port, without import.
void restartQzsld(Qzsld &service, const std::vector<std::string> &extra = {});
// Sends `signal` and waits; the wait status, or -1 when it did not end within `seconds`.
int stopQzsld(Qzsld &service, int signal = 15, double seconds = 10);

// Runs qzsld with `args` to completion; its exit status and its output.
struct Outcome {
  int status;
  std::string out, err;
};
Outcome runQzsld(const std::vector<std::string> &args, const std::string &home = "");

std::vector<std::string> journalLines(const Qzsld &service);
void clearJournal(const Qzsld &service);

std::string readText(const std::string &path);
void writeText(const std::string &path, const std::string &text);
std::string tempDir();

// The test process's ORB, with every value factory registered.
CORBA::ORB_ptr testOrb();
BT::HostSessionFactory_ptr factoryOf(const Qzsld &service);
BT::HostSession_ptr sessionOf(const Qzsld &service);
FT::FATServiceManager_ptr managerOf(const Qzsld &service);
FT::FATServiceQueryFacet_ptr queryOf(const Qzsld &service);
FT::FATServiceModifiableFacet_ptr modifyOf(const Qzsld &service);
FT::FATServiceControlFacet_ptr controlOf(const Qzsld &service);

// The error records of a caught QZSLOpException as "code:message" texts (UTF-8).
std::string errorsOf(const SL::QZSLOpException &e);
// A wide text (UTF-16 units, surrogate pairs combined) as UTF-8.
std::string utf8(const CORBA::WChar *wide);

// The refusal a call ends with: "code:message" of each error record, the
// name of another CORBA exception, or "none".
template <class F> std::string refusal(F call) {
  try {
    call();
  } catch (const SL::QZSLOpException &e) {
    return errorsOf(e);
  } catch (const CORBA::Exception &e) {
    return e._name();
  }
  return "none";
}

// A JSON text parsed (fails the test on a syntax error).
Json parseJson(const std::string &text);
