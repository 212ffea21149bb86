#include "session/session.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/debuglog.h"
#include "platform/hostinfo.h"
#include "platform/messages.h"
#include "platform/orb.h"
#include "run/exit.h"
#include "run/globals.h"
#include "run/report.h"
#include "session/serviceowner.h"

namespace SL = Corvane::Tessark::SL;
namespace FSM = Corvane::Tessark::SL::FATServiceMgmt;
namespace FATServer = Corvane::Tessark::DL::FATServer;
namespace FATClient = Corvane::Tessark::DL::FATClient;
namespace Framework = Corvane::Tessark::TL::Framework;

FSM::FATServiceManager_ptr FATsrvcMgr_ptr = FSM::FATServiceManager::_nil();
Brantis::Tessark::HostSession_ptr m_hostSession = Brantis::Tessark::HostSession::_nil();
SL::QueryableFacet_var qf_var;
FSM::FATServiceQueryFacet_var queryFacet_var;
SL::ModifiableFacet_var mf_var;
FSM::FATServiceModifiableFacet_var modifyFacet_var;

// The debug-log text for the exception being handled; call only inside a catch block.
static std::string failureText() {
  std::string text = exceptionEnd().text;
  return text.empty() ? "Unknown C++ Exception " : text;
}

[[noreturn]] static void genericFailure(const char *text, bool unsound = false) {
  endRun(genericEnd(text, unsound));
}

[[noreturn]] static void logAndFail(const char *text) {
  std::string failure = failureText();
  logmsg(LOG_ERROR, failure.c_str(), progname);
  genericFailure(text);
}

static void failIf(const run_end_t &end) {
  if (end.kind != run_end_t::NONE) endRun(end);
}

template <typename Init, typename Value> bool register_QZSL_OBVs(CORBA::ORB_ptr orb) {
  std::string failure;
  try {
    CORBA::ValueFactoryBase_var factory = new Init;
    CORBA::ValueFactory previous = orb->register_value_factory(Value::_PD_repoId, factory.in());
    if (previous)
      previous->_remove_ref();
    return true;
  } catch (...) {
    failure = failureText();
  }
  logmsg(LOG_ERROR, failure.c_str(), progname);
  fprintf(stderr, "%s\n\n", "Got an Exception, see log for details");
  return false;
}

struct value_factory_row_t {
  bool (*registerType)(CORBA::ORB_ptr);
  const char *failure;
};

#define QZ_FACTORY(module, type) \
  { register_QZSL_OBVs<module::type##_init, module::type>, "Failed to register " #type }

// Every record that can arrive in a reply needs a factory: omniORB registers
// none by itself. The first nineteen fail the run with their own message; the
// last five come after them because a reply holds them only now and then, yet
// without them pipe statistics, job extras or expansion attributes in a reply
// make the whole listing fail with MARSHAL.
static const value_factory_row_t value_factories[] = {
    QZ_FACTORY(FATServer, FATServerInfo),
    QZ_FACTORY(FSM, FATWaitPeriod),
    QZ_FACTORY(FSM, FATUsageInfo),
    QZ_FACTORY(FSM, FTConfigInfo),
    QZ_FACTORY(FSM, SANClientInfo),
    QZ_FACTORY(FATServer, FATServerConfigurationInfo),
    QZ_FACTORY(FATClient, FATClientPipeInfo),
    QZ_FACTORY(FATServer, FATPipeInfo),
    QZ_FACTORY(FATServer, FATPseudoDeviceInfo),
    QZ_FACTORY(FATClient, FATClientDeviceInfo),
    QZ_FACTORY(FATClient, FATClientInfo),
    QZ_FACTORY(FATClient, ClientHBAPortInfo),
    QZ_FACTORY(FATClient, FATClientJobInfo),
    QZ_FACTORY(FATClient, FATMachineInfo),
    QZ_FACTORY(FATServer, FATBufferCtrlInfo),
    QZ_FACTORY(FATServer, FATPipeNexusInfo),
    QZ_FACTORY(FATServer, FATPortInfo),
    QZ_FACTORY(FATServer, IPAddressInfo),
    QZ_FACTORY(FATServer, NameAliasInfo),
    QZ_FACTORY(FATClient, FTPipeStatInfo),
    QZ_FACTORY(FATClient, JobExtraInfo),
    QZ_FACTORY(FATClient, FATUsagePreference),
    QZ_FACTORY(Framework, BaseObject),
    QZ_FACTORY(Framework, ExpansionAttribute),
};

static void registerValueFactories(CORBA::ORB_ptr orb) {
  for (const value_factory_row_t &row : value_factories)
    if (!row.registerType(orb))
      genericFailure(row.failure);
}

// The run's closing step. A session that can no longer be closed must not
// change the outcome that the run already has.
void closeHostSession() {
  Brantis::Tessark::HostSession_ptr session = m_hostSession;
  m_hostSession = Brantis::Tessark::HostSession::_nil();
  if (CORBA::is_nil(session)) return;
  try {
    session->destroy();
  } catch (const CORBA::Exception &) {
  }
}

static void openHostSession(Brantis::Tessark::HostSessionFactory_ptr factory, const char *host) {
  try {
    m_hostSession = factory->getHostSession(host, "C");
  } catch (const CORBA::Exception &) {
    m_hostSession = Brantis::Tessark::HostSession::_nil();
    genericFailure("getHostSession() failed");
  }
  if (CORBA::is_nil(m_hostSession))
    genericFailure("Got invalid HostSession pointer");
  closeAtRunEnd(closeHostSession);
}

static void obtainServiceManager() {
  try {
    FATsrvcMgr_ptr = m_hostSession->getFATServiceManager();
  } catch (const QZSLOpException &e) {
    QZ_LOOKUP("ZrtFtc0035N", "getFATService() failed");
    reportInfo(e, LOG_ERROR, "getFATService() failed", false, "");
  } catch (const CORBA::Exception &e) {
    // A call that failed in the ORB (a time-out, a lost connection) leaves a
    // session whose destroy would only wait as long again before the run
    // ends; a refusal is an answer, and the session stays to be closed.
    genericFailure("getFATService() failed", CORBA::SystemException::_downcast(&e) != nullptr);
  }
  if (CORBA::is_nil(FATsrvcMgr_ptr))
    genericFailure("Got invalid FATService pointer");
}

void getQZSLConnection() {
  if (!CORBA::is_nil(FATsrvcMgr_ptr))
    return;
  Orb orb("qzftconfig", "qzftconfig", "qzftconfig", false, 1024);
  char host[257];
  memset(host, 0, sizeof host);
  getLocalHostName(host, sizeof host);

  try {
    orb.init(nullptr);
  } catch (...) {
    logAndFail("Failed to initialize orb");
  }
  watchServiceOwner();

  CORBA::Object_var object;
  try {
    object = orb.connectToObject(host, "qzsl", "HSFactory", TimeValue(rqst_timeout, 0),
                                 TimeValue::zero, true, false);
    orb.setOrbRequestTimeout(TimeValue(conn_timeout, 0));
  } catch (...) {
    logAndFail("Failed to get QZSL object");
  }
  if (CORBA::is_nil(object))
    genericFailure("NIL object returned by HSFactory");

  // The reference carries no type, so the narrow asks the service itself;
  // its failures end the run through main's last-line handler.
  Brantis::Tessark::HostSessionFactory_var factory =
      Brantis::Tessark::HostSessionFactory::_narrow(object);
  if (CORBA::is_nil(factory))
    genericFailure("Couldn't narrow to HSFactory");

  openHostSession(factory, host);
  obtainServiceManager();
  registerValueFactories(orb.orb());
}

// The steps shared by the three facet getters; `fetch` returns the generic
// facet, `narrow` stores the FT facet and tells whether it is non-nil.
struct facet_texts_t {
  const char *pointer;
  const char *failedId;
  const char *failed;
  const char *instance;
};

template <typename Fetch, typename Narrow>
static run_end_t fetchFacet(const facet_texts_t &texts, Fetch fetch, Narrow narrow) {
  try {
    if (!fetch())
      return genericEnd(texts.pointer);
    if (!narrow())
      return genericEnd(texts.instance);
  } catch (const QZSLOpException &e) {
    return refusalEnd(e, texts.failedId, texts.failed);
  } catch (const CORBA::Exception &) {
    // The session is unusable; destroying it at exit would only wait again.
    return genericEnd(texts.failed, true);
  }
  return run_end_t();
}

void getQueryableFacetInstance() {
  static const facet_texts_t texts = {"Got invalid QueryableFacet pointer", "ZrtFtc0037N",
                                      "Failed to get QueryableFacet instance",
                                      "Got invalid QueryableFacet instance"};
  getQZSLConnection();
  failIf(fetchFacet(
      texts,
      [] {
        qf_var = FATsrvcMgr_ptr->aqueryFacet();
        return !CORBA::is_nil(qf_var);
      },
      [] {
        queryFacet_var = FSM::FATServiceQueryFacet::_narrow(qf_var);
        return !CORBA::is_nil(queryFacet_var);
      }));
}

void getModifiableFacetInstance() {
  static const facet_texts_t texts = {"Got invalid ModifyableFacet pointer", "ZrtFtc0036N",
                                      "Failed to get ModifyableFacet instance",
                                      "Got invalid ModifyableFacet instance"};
  getQZSLConnection();
  failIf(fetchFacet(
      texts,
      [] {
        mf_var = FATsrvcMgr_ptr->amodifyFacet();
        return !CORBA::is_nil(mf_var);
      },
      [] {
        modifyFacet_var = FSM::FATServiceModifiableFacet::_narrow(mf_var);
        return !CORBA::is_nil(modifyFacet_var);
      }));
}

run_end_t fetchControlFacet(int row) {
  static const facet_texts_t texts = {"Got invalid ControlFacet pointer", "ZrtFtc0038N",
                                      "Failed to get ControlFacet instance",
                                      "Got invalid ControlFacet instance"};
  getQZSLConnection();
  thread_table_entry_t &entry = active_threads[row];
  if (!CORBA::is_nil(entry.control_facet))
    return run_end_t();
  SL::ControlFacet_var generic;
  return fetchFacet(
      texts,
      [&] {
        generic = FATsrvcMgr_ptr->acontrolFacet();
        return !CORBA::is_nil(generic);
      },
      [&] {
        entry.control_facet = FSM::FATServiceControlFacet::_narrow(generic);
        return !CORBA::is_nil(entry.control_facet);
      });
}

void getControlFacetInstance(int row) { failIf(fetchControlFacet(row)); }
