// ping PORT CLIENT SERVER COUNT: opens a session with the QZSL on
// 127.0.0.1:PORT the way qzftconfig does and prints three figures, in
// microseconds: the mean round trip of getMediaServersCountOfClient(CLIENT),
// one of the cheapest FT calls there is, the CPU time this process spends
// per such call, and the CPU time it spends per getFATServerInfo(SERVER).
// The last two are the ORB's own floor under the listings' cost per call.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include "hostsession.hh"

namespace FSM = Corvane::Tessark::SL::FATServiceMgmt;
namespace FATServer = Corvane::Tessark::DL::FATServer;
namespace Framework = Corvane::Tessark::TL::Framework;

static double seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

static double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

template <typename Init, typename Value> void registerFactory(CORBA::ORB_ptr orb) {
  CORBA::ValueFactoryBase_var factory = new Init;
  orb->register_value_factory(Value::_PD_repoId, factory.in());
}

// The records a FATServerInfo reply can hold.
static void registerServerRecords(CORBA::ORB_ptr orb) {
  registerFactory<FATServer::FATServerInfo_init, FATServer::FATServerInfo>(orb);
  registerFactory<FATServer::FATServerConfigurationInfo_init, FATServer::FATServerConfigurationInfo>(orb);
  registerFactory<FATServer::FATPseudoDeviceInfo_init, FATServer::FATPseudoDeviceInfo>(orb);
  registerFactory<FATServer::FATPortInfo_init, FATServer::FATPortInfo>(orb);
  registerFactory<FATServer::FATPipeInfo_init, FATServer::FATPipeInfo>(orb);
  registerFactory<FATServer::FATPipeNexusInfo_init, FATServer::FATPipeNexusInfo>(orb);
  registerFactory<FATServer::FATBufferCtrlInfo_init, FATServer::FATBufferCtrlInfo>(orb);
  registerFactory<FATServer::IPAddressInfo_init, FATServer::IPAddressInfo>(orb);
  registerFactory<FATServer::NameAliasInfo_init, FATServer::NameAliasInfo>(orb);
  registerFactory<Framework::ExpansionAttribute_init, Framework::ExpansionAttribute>(orb);
}

int main(int argc, char **argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: ping PORT CLIENT SERVER COUNT\n");
    return 2;
  }
  const char *client = argv[2], *server = argv[3];
  int count = atoi(argv[4]);
  int orbArgc = 1;
  CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, argv);
  registerServerRecords(orb);
  std::string uri = std::string("corbaloc:iiop:1.2@127.0.0.1:") + argv[1] + "/qzsl/HSFactory";
  CORBA::Object_var object = orb->string_to_object(uri.c_str());
  Brantis::Tessark::HostSessionFactory_var factory =
      Brantis::Tessark::HostSessionFactory::_narrow(object);
  char host[257] = "";
  gethostname(host, sizeof host - 1);
  Brantis::Tessark::HostSession_var session = factory->getHostSession(host, "C");
  FSM::FATServiceManager_var manager = session->getFATServiceManager();
  CORBA::Object_var generic = manager->aqueryFacet();
  FSM::FATServiceQueryFacet_var query = FSM::FATServiceQueryFacet::_narrow(generic);
  query->getMediaServersCountOfClient(client);  // the connection is up from here on

  double start = seconds(), cpu = cpuSeconds();
  for (int i = 0; i < count; ++i) query->getMediaServersCountOfClient(client);
  double roundTrip = (seconds() - start) / count, cheapCpu = (cpuSeconds() - cpu) / count;
  cpu = cpuSeconds();
  for (int i = 0; i < count; ++i) FATServer::FATServerInfo_var info = query->getFATServerInfo(server);
  double serverInfoCpu = (cpuSeconds() - cpu) / count;

  session->destroy();
  printf("%.1f %.1f %.1f\n", roundTrip * 1e6, cheapCpu * 1e6, serverInfoCpu * 1e6);
  orb->destroy();
  return 0;
}
