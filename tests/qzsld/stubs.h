// The client side of the remote contract for the qzsld tests: object
// references of a site started by the end-to-end harness, and readable
// accounts of what a call ended with.
#pragma once
#include <gtest/gtest.h>
#include <string>

#include "harness.h"
#include "records.h"

namespace SL = Corvane::Tessark::SL;
namespace BT = Brantis::Tessark;

// Facets of the service manager of a new host session on the site.
FT::FATServiceQueryFacet_ptr queryOf(const Site &site);
FT::FATServiceModifiableFacet_ptr modifyOf(const Site &site);

// A wide text (UTF-16 units, surrogate pairs combined) as UTF-8.
std::string utf8(const CORBA::WChar *wide);
// The error records of a caught QZSLOpException as "code:message" texts.
std::string errorsOf(const SL::QZSLOpException &e);

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

// Whether `record` (a new JSON value, taken over) equals `expected`; both in
// full when not.
::testing::AssertionResult sameJson(json_t *expected, json_t *record);
