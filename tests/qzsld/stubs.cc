#include "stubs.h"

#include <codecvt>
#include <locale>

// The test process's ORB, with every value factory registered.
static CORBA::ORB_ptr testOrb() {
  static CORBA::ORB_ptr orb = [] {
    int argc = 5;
    const char *argv[] = {"qzsld_tests", "-ORBgiopMaxMsgSize", "268435456", "-ORBclientCallTimeOutPeriod",
                          "60000", nullptr};
    CORBA::ORB_ptr started = CORBA::ORB_init(argc, const_cast<char **>(argv));
    registerValueFactories(started);
    return started;
  }();
  return orb;
}

static FT::FATServiceManager_ptr managerOf(const Site &site) {
  std::string location = "corbaloc:iiop:1.2@127.0.0.1:" + std::to_string(site.port) + "/qzsl/HSFactory";
  CORBA::Object_var object = testOrb()->string_to_object(location.c_str());
  BT::HostSessionFactory_var factory = BT::HostSessionFactory::_narrow(object);
  BT::HostSession_var session = factory->getHostSession("testhost", "C");
  return session->getFATServiceManager();
}

FT::FATServiceQueryFacet_ptr queryOf(const Site &site) {
  FT::FATServiceManager_var manager = managerOf(site);
  SL::QueryableFacet_var facet = manager->aqueryFacet();
  return FT::FATServiceQueryFacet::_narrow(facet);
}

FT::FATServiceModifiableFacet_ptr modifyOf(const Site &site) {
  FT::FATServiceManager_var manager = managerOf(site);
  SL::ModifiableFacet_var facet = manager->amodifyFacet();
  return FT::FATServiceModifiableFacet::_narrow(facet);
}

std::string utf8(const CORBA::WChar *wide) {
  std::u16string units(wide, wide + std::char_traits<CORBA::WChar>::length(wide));
  return std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>().to_bytes(units);
}

std::string errorsOf(const SL::QZSLOpException &e) {
  std::string text;
  for (CORBA::ULong i = 0; i < e.errRecSeq.length(); ++i)
    text += (i ? "|" : "") + std::to_string(e.errRecSeq[i].errorCode) + ":" +
            utf8(e.errRecSeq[i].localizedMsg);
  return text;
}

::testing::AssertionResult sameJson(json_t *expected, json_t *record) {
  Json actual(record);
  if (json_equal(expected, actual.get()))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected:\n"
                                       << compactJson(expected) << "\nactual:\n"
                                       << compactJson(actual.get());
}
