// The entry objects (host-session factory, host session, FT service manager)
// and the publishing of every object of the service.
#include "callgate.h"
#include "service.h"

namespace BT = Brantis::Tessark;
namespace SL = Corvane::Tessark::SL;

namespace {

BT::HostSession_var hostSession;
FT::FATServiceManager_var serviceManager;
CORBA::Object_var queryFacet, modifyFacet, controlFacet;

// A facet getter: the facet, nil, or an object of another facet interface.
template <class F> typename F::_ptr_type facet(const char *op, CORBA::Object_ptr mine, CORBA::Object_ptr other) {
  Arrival arrival = arrive(op, "", "");
  if (arrival.action == FaultAction::Nil)
    return F::_nil();
  return F::_unchecked_narrow(arrival.action == FaultAction::WrongType ? other : mine);
}

bool booleanAnswer(const Arrival &arrival, bool stored) {
  return arrival.action == FaultAction::Reply ? json_is_true(arrival.result) : stored;
}

struct ServiceManager : POA_Corvane::Tessark::SL::FATServiceMgmt::FATServiceManager {
  CORBA::Boolean isManagerActive() override {
    return booleanAnswer(arrive("isManagerActive", "", "", false), true);
  }
  CORBA::Boolean isServiceConfigured() override {
    return booleanAnswer(arrive("isServiceConfigured", "", ""), true);
  }
  SL::QueryableFacet_ptr aqueryFacet() override {
    return facet<SL::QueryableFacet>("aqueryFacet", queryFacet, controlFacet);
  }
  SL::ModifiableFacet_ptr amodifyFacet() override {
    return facet<SL::ModifiableFacet>("amodifyFacet", modifyFacet, queryFacet);
  }
  SL::ControlFacet_ptr acontrolFacet() override {
    return facet<SL::ControlFacet>("acontrolFacet", controlFacet, queryFacet);
  }
};

struct HostSession : POA_Brantis::Tessark::HostSession {
  FT::FATServiceManager_ptr getFATServiceManager() override {
    Arrival arrival = arrive("getFATServiceManager", "", "");
    if (arrival.action == FaultAction::Nil)
      return FT::FATServiceManager::_nil();
    return FT::FATServiceManager::_duplicate(serviceManager);
  }
  void destroy() override { arrive("destroy", "", "", false); }
};

struct HostSessionFactory : POA_Brantis::Tessark::HostSessionFactory {
  // A caller's narrow of the corbaloc reference asks the factory its type
  // remotely; rules on "_is_a" make that question fail. Every run asks it,
  // so it is left out of the journal.
  CORBA::Boolean _is_a(const char *type) override {
    Arrival arrival = arriveUnjournalled("_is_a", type, false);
    return booleanAnswer(arrival, POA_Brantis::Tessark::HostSessionFactory::_is_a(type));
  }
  BT::HostSession_ptr getHostSession(const char *hostName, const char *locale) override {
    Arrival arrival = arrive("getHostSession", text(hostName) + text(locale), hostName);
    if (arrival.action == FaultAction::Nil)
      return BT::HostSession::_nil();
    return BT::HostSession::_duplicate(hostSession);
  }
};

CORBA::Object_ptr activate(PortableServer::POA_ptr poa, PortableServer::ServantBase *servant) {
  PortableServer::ObjectId_var id = poa->activate_object(servant);
  servant->_remove_ref();
  return poa->id_to_reference(id);
}

}  // namespace

void publishService(CORBA::ORB_ptr orb, const std::string &factory, int discoveryMs) {
  CORBA::Object_var object = orb->resolve_initial_references("RootPOA");
  PortableServer::POA_var poa = PortableServer::POA::_narrow(object);
  object = orb->resolve_initial_references("omniINSPOA");
  PortableServer::POA_var insPoa = PortableServer::POA::_narrow(object);

  queryFacet = activate(poa, newQueryFacet());
  modifyFacet = activate(poa, newModifyFacet());
  controlFacet = activate(poa, newControlFacet(discoveryMs));
  object = activate(poa, new ServiceManager);
  serviceManager = FT::FATServiceManager::_narrow(object);
  object = activate(poa, new HostSession);
  hostSession = BT::HostSession::_narrow(object);

  PortableServer::ObjectId_var key = PortableServer::string_to_ObjectId("qzsl/HSFactory");
  PortableServer::ServantBase *published = nullptr;
  if (factory == "normal")
    published = new HostSessionFactory;
  else if (factory == "wrongtype")
    published = new POA_Brantis::LCE::Monitor;
  if (published) {
    insPoa->activate_object_with_id(key, published);
    published->_remove_ref();
  }
  PortableServer::POAManager_var manager = poa->the_POAManager();
  manager->activate();
  manager = insPoa->the_POAManager();
  manager->activate();
}
