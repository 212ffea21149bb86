// The FT control facet: server state changes and client discovery.
#include "callgate.h"
#include "service.h"
#include "stopping.h"
#include "store.h"

namespace {

struct ControlFacet : POA_Corvane::Tessark::SL::FATServiceMgmt::FATServiceControlFacet {
  int discoveryMs;
  explicit ControlFacet(int ms) : discoveryMs(ms) {}

  void changeServerState(const char *name, CORBA::Boolean active) override {
    arrive("changeServerState", text(name) + flag(active), name);
    inStore(name, [&] { store::changeServerState(name, active); });
  }

  // The discovery itself takes its time outside the store's lock, so that
  // several run side by side.
  void startClientDiscovery(const char *name) override {
    arrive("startClientDiscovery", text(name), name);
    inStore(name, [&] { store::requireClient(name); });
    if (!pauseFor(discoveryMs))
      throw CORBA::TRANSIENT(0, CORBA::COMPLETED_NO);
    inStore(name, [&] { store::recordDiscovery(name); });
  }
};

}  // namespace

PortableServer::ServantBase *newControlFacet(int discoveryMs) { return new ControlFacet(discoveryMs); }
