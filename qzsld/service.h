// The service's objects: the host-session factory published under the
// object key qzsl/HSFactory, the host session, the FT service manager and the
// three FT facets. One servant of each serves every caller.
#pragma once
#include <omniORB4/CORBA.h>
#include <string>

// The FT facet servants (one file each).
PortableServer::ServantBase *newQueryFacet();
PortableServer::ServantBase *newModifyFacet();
PortableServer::ServantBase *newControlFacet(int discoveryMs);

// Activates every object and publishes the factory: `factory` is "normal",
// "missing" (nothing under the key) or "wrongtype" (an object of another
// interface under the key). Throws CORBA exceptions when the ORB refuses.
void publishService(CORBA::ORB_ptr orb, const std::string &factory, int discoveryMs);
