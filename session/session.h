// The service session: one connection to QZSL per run and its FT facets.
#pragma once
#include "hostsession.hh"
#include "run/report.h"

extern Corvane::Tessark::SL::FATServiceMgmt::FATServiceManager_ptr FATsrvcMgr_ptr;
extern Brantis::Tessark::HostSession_ptr m_hostSession;
extern Corvane::Tessark::SL::QueryableFacet_var qf_var;
extern Corvane::Tessark::SL::FATServiceMgmt::FATServiceQueryFacet_var queryFacet_var;
extern Corvane::Tessark::SL::ModifiableFacet_var mf_var;
extern Corvane::Tessark::SL::FATServiceMgmt::FATServiceModifiableFacet_var modifyFacet_var;

// Each returns only on success; every failure ends the run. Main thread only.
void getQZSLConnection();
void getQueryableFacetInstance();
void getModifiableFacetInstance();
void getControlFacetInstance(int row);
// The control facet of worker row `row` for a rescan worker, which may not
// end the run: a failure comes back as the end that it brings. The main
// thread has connected before any worker starts.
run_end_t fetchControlFacet(int row);
// Destroys the open host session; the end of the run calls it once the
// session is open.
void closeHostSession();

template <typename Init, typename Value> bool register_QZSL_OBVs(CORBA::ORB_ptr orb);
