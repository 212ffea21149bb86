// floor_server PORT UPSTREAM READY: the floor under qzsld. A bare omniORB
// server publishing qzsl/HSFactory on 127.0.0.1:PORT whose query facet answers
// every call with a prebuilt record: the first call with given arguments is
// passed once to the QZSL on 127.0.0.1:UPSTREAM and its answer kept, so a
// warm-up run makes every later run answer the same records, of the same
// sizes, from memory. Writes READY once it listens; runs until killed.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>

#include "recordjson.h"

namespace BT = Brantis::Tessark;
namespace SL = Corvane::Tessark::SL;

namespace {

FT::FATServiceQueryFacet_var upstream;
BT::HostSession_var hostSession;
FT::FATServiceManager_var serviceManager;
CORBA::Object_var queryFacet;

std::mutex cannedMutex;
std::map<std::string, CORBA::ValueBase *> records;
std::map<std::string, void *> sequences;
std::map<std::string, CORBA::Long> numbers;

std::string key(const char *op, std::initializer_list<const char *> args) {
  std::string k = op;
  for (const char *arg : args) k += std::string("\n") + arg;
  return k;
}

template <class T> T *record(const std::string &k, const std::function<T *()> &fetch) {
  std::lock_guard<std::mutex> lock(cannedMutex);
  auto found = records.find(k);
  if (found == records.end()) found = records.emplace(k, fetch()).first;
  if (!found->second) return nullptr;
  found->second->_add_ref();
  return T::_downcast(found->second);
}

template <class S> S *sequence(const std::string &k, const std::function<S *()> &fetch) {
  std::lock_guard<std::mutex> lock(cannedMutex);
  auto found = sequences.find(k);
  if (found == sequences.end()) found = sequences.emplace(k, fetch()).first;
  return new S(*static_cast<S *>(found->second));
}

struct QueryFacet : POA_Corvane::Tessark::SL::FATServiceMgmt::FATServiceQueryFacet {
  SV::FATServerInfoSeq *getFATServerList(const char *m) override {
    return sequence<SV::FATServerInfoSeq>(key("l", {m}), [&] { return upstream->getFATServerList(m); });
  }
  FT::SANClientInfoSeq *getSANClientList(const char *m, const char *s) override {
    return sequence<FT::SANClientInfoSeq>(key("c", {m, s}), [&] { return upstream->getSANClientList(m, s); });
  }
  FT::FATUsageInfo *getUsageInfo(const char *h, FT::QZSL_QZU_MACHINE_TYPE t) override {
    return record<FT::FATUsageInfo>(key("u", {h, t == FT::QZSL_QZU_CLIENT ? "c" : "o"}),
                                    [&] { return upstream->getUsageInfo(h, t); });
  }
  SV::FATServerInfo *getFATServerInfo(const char *n) override {
    return record<SV::FATServerInfo>(key("s", {n}), [&] { return upstream->getFATServerInfo(n); });
  }
  FT::SANClientInfo *getSANClientInfo(const char *n) override {
    return record<FT::SANClientInfo>(key("i", {n}), [&] { return upstream->getSANClientInfo(n); });
  }
  SV::FATServerConfigurationInfo *getServerConfiguration(const char *n) override {
    return record<SV::FATServerConfigurationInfo>(key("g", {n}), [&] { return upstream->getServerConfiguration(n); });
  }
  CL::FATClientPipeInfoSeq *getClientPipeList(const char *n) override {
    return sequence<CL::FATClientPipeInfoSeq>(key("p", {n}), [&] { return upstream->getClientPipeList(n); });
  }
  SV::FATPipeInfoSeq *getServerPipeList(const char *n) override {
    return sequence<SV::FATPipeInfoSeq>(key("q", {n}), [&] { return upstream->getServerPipeList(n); });
  }
  CORBA::Long getMediaServersCountOfClient(const char *h) override {
    std::lock_guard<std::mutex> lock(cannedMutex);
    auto found = numbers.find(h);
    if (found == numbers.end()) found = numbers.emplace(h, upstream->getMediaServersCountOfClient(h)).first;
    return found->second;
  }
  SV::FATPseudoDeviceInfoSeq *getServerDeviceList(SV::FATServerInfo *s) override {
    return upstream->getServerDeviceList(s);
  }
  CL::FATClientDeviceInfoSeq *getClientDeviceList(CL::FATClientInfo *c) override {
    return upstream->getClientDeviceList(c);
  }
  FT::FTConfigInfoSeq *getFTConfigInfoSeq(const char *m, const char *h, FT::QZSL_QZU_MACHINE_TYPE t,
                                          const FT::FTConfigInfoSeq &keys) override {
    std::string k = key("f", {m, h, t == FT::QZSL_QZU_CLIENT ? "c" : t == FT::QZSL_QZU_MASTER ? "m" : "o"});
    for (CORBA::ULong i = 0; i < keys.length(); ++i) k += std::string("\n") + (keys[i] ? keys[i]->confName() : "");
    return sequence<FT::FTConfigInfoSeq>(k, [&] { return upstream->getFTConfigInfoSeq(m, h, t, keys); });
  }
};

struct ServiceManager : POA_Corvane::Tessark::SL::FATServiceMgmt::FATServiceManager {
  CORBA::Boolean isManagerActive() override { return true; }
  CORBA::Boolean isServiceConfigured() override { return true; }
  SL::QueryableFacet_ptr aqueryFacet() override { return SL::QueryableFacet::_unchecked_narrow(queryFacet); }
  SL::ModifiableFacet_ptr amodifyFacet() override { return SL::ModifiableFacet::_nil(); }
  SL::ControlFacet_ptr acontrolFacet() override { return SL::ControlFacet::_nil(); }
};

struct HostSession : POA_Brantis::Tessark::HostSession {
  FT::FATServiceManager_ptr getFATServiceManager() override {
    return FT::FATServiceManager::_duplicate(serviceManager);
  }
  void destroy() override {}
};

struct HostSessionFactory : POA_Brantis::Tessark::HostSessionFactory {
  BT::HostSession_ptr getHostSession(const char *, const char *) override {
    return BT::HostSession::_duplicate(hostSession);
  }
};

CORBA::Object_ptr activate(PortableServer::POA_ptr poa, PortableServer::ServantBase *servant) {
  PortableServer::ObjectId_var id = poa->activate_object(servant);
  servant->_remove_ref();
  return poa->id_to_reference(id);
}

void connectUpstream(CORBA::ORB_ptr orb, const char *port) {
  std::string uri = std::string("corbaloc:iiop:1.2@127.0.0.1:") + port + "/qzsl/HSFactory";
  CORBA::Object_var object = orb->string_to_object(uri.c_str());
  BT::HostSessionFactory_var factory = BT::HostSessionFactory::_narrow(object);
  BT::HostSession_var session = factory->getHostSession("floor", "C");
  FT::FATServiceManager_var manager = session->getFATServiceManager();
  object = manager->aqueryFacet();
  upstream = FT::FATServiceQueryFacet::_narrow(object);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: floor_server PORT UPSTREAM READY\n");
    return 2;
  }
  std::string endpoint = std::string("giop:tcp:127.0.0.1:") + argv[1];
  const char *args[] = {"floor_server", "-ORBendPoint", endpoint.c_str(), "-ORBgiopMaxMsgSize", "268435456"};
  int orbArgc = 5;
  CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, const_cast<char **>(args));
  registerValueFactories(orb);
  connectUpstream(orb, argv[2]);

  CORBA::Object_var object = orb->resolve_initial_references("RootPOA");
  PortableServer::POA_var poa = PortableServer::POA::_narrow(object);
  object = orb->resolve_initial_references("omniINSPOA");
  PortableServer::POA_var insPoa = PortableServer::POA::_narrow(object);
  queryFacet = activate(poa, new QueryFacet);
  object = activate(poa, new ServiceManager);
  serviceManager = FT::FATServiceManager::_narrow(object);
  object = activate(poa, new HostSession);
  hostSession = BT::HostSession::_narrow(object);
  PortableServer::ObjectId_var id = PortableServer::string_to_ObjectId("qzsl/HSFactory");
  HostSessionFactory *factory = new HostSessionFactory;
  insPoa->activate_object_with_id(id, factory);
  factory->_remove_ref();
  PortableServer::POAManager_var manager = poa->the_POAManager();
  manager->activate();
  manager = insPoa->the_POAManager();
  manager->activate();

  FILE *ready = fopen(argv[3], "w");
  if (!ready) return 1;
  fprintf(ready, "%d\n", (int)getpid());
  fclose(ready);
  orb->run();
  return 0;
}
