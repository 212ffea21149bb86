// The service session: one connection to QZSL per run and its FT facets.
#pragma once
#include "hostsession.hh"

extern Corvane::Tessark::SL::FATServiceMgmt::FATServiceManager_ptr FATsrvcMgr_ptr;
extern Brantis::Tessark::HostSession_ptr m_hostSession;
extern Corvane::Tessark::SL::QueryableFacet_var qf_var;
extern Corvane::Tessark::SL::FATServiceMgmt::FATServiceQueryFacet_var queryFacet_var;
extern Corvane::Tessark::SL::ModifiableFacet_var mf_var;
extern Corvane::Tessark::SL::FATServiceMgmt::FATServiceModifiableFacet_var modifyFacet_var;

// Each returns only on success; every failure ends the run.
void getQZSLConnection();
void getQueryableFacetInstance();
void getModifiableFacetInstance();
void getControlFacetInstance(int row);
// Forgets the host session after a call failed with `e` in the ORB, so that
// the end of the run does not wait on it.
void dropHostSessionAfter(const CORBA::Exception &e);

template <typename Init, typename Value> bool register_QZSL_OBVs(CORBA::ORB_ptr orb);
