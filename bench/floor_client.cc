// floor_client PORT JOURNAL: the floor under qzftconfig. A bare omniORB client
// that connects to the QZSL on 127.0.0.1:PORT as the tool does (ping, narrow)
// and then makes exactly the calls of JOURNAL, a qzsld journal of one tool
// run, with the same arguments, dropping every answer. Its ORB is set up as
// the tool's (same options, and every call bounded by a time-out, which makes
// omniORB wait for each reply with poll): the floor is what any client bound
// to do the tool's job pays. Prints the number of calls made; exits 1 on a
// line it cannot replay.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "recordjson.h"

namespace BT = Brantis::Tessark;

namespace {

// The arguments of a journal line: JSON values, or bare enumerator names.
std::vector<Json> parseArguments(const std::string &text) {
  std::vector<Json> args;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == ' ') { ++at; continue; }
    if (text.compare(at, 9, "QZSL_QZU_") == 0) {
      size_t end = text.find(' ', at);
      std::string name = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
      args.emplace_back(json_integer(name == "QZSL_QZU_MEDIA" ? 0 : name == "QZSL_QZU_MASTER" ? 1 : 2));
      at = end == std::string::npos ? text.size() : end;
      continue;
    }
    json_error_t error;
    json_t *value = json_loadb(text.data() + at, text.size() - at, JSON_DECODE_ANY | JSON_DISABLE_EOF_CHECK, &error);
    if (!value) break;
    args.emplace_back(value);
    at += error.position;
  }
  return args;
}

const char *str(const std::vector<Json> &args, size_t i) {
  const char *s = i < args.size() ? json_string_value(args[i].get()) : nullptr;
  return s ? s : "";
}

FT::QZSL_QZU_MACHINE_TYPE kind(const std::vector<Json> &args, size_t i) {
  return (FT::QZSL_QZU_MACHINE_TYPE)(i < args.size() ? json_integer_value(args[i].get()) : 0);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: floor_client PORT JOURNAL\n");
    return 2;
  }
  std::ifstream journal(argv[2]);
  std::vector<std::string> lines;
  for (std::string line; std::getline(journal, line);) lines.push_back(line);

  const char *options[][2] = {{"giopMaxMsgSize", "268435456"}, {"maxGIOPVersion", "1.2"},
                              {"clientTransportRule", "* tcp"}, {"maxGIOPConnectionPerServer", "8"},
                              {nullptr, nullptr}};
  int orbArgc = 0;
  CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, nullptr, "omniORB4", options);
  registerValueFactories(orb);
  std::string uri = std::string("corbaloc:iiop:1.2@127.0.0.1:") + argv[1] + "/qzsl/HSFactory";
  CORBA::Object_var object = orb->string_to_object(uri.c_str());
  // The benchmark's qz.conf: REQUEST_TIMEOUT 3600 for the connection, the
  // default CONNECT_TIMEOUT of 300 for every later call.
  omniORB::setClientConnectTimeout(3600 * 1000);
  omniORB::setClientCallTimeout(object, 3600 * 1000);
  if (object->_non_existent()) return 1;
  omniORB::setClientCallTimeout(300 * 1000);
  BT::HostSessionFactory_var factory = BT::HostSessionFactory::_narrow(object);
  BT::HostSession_var session;
  FT::FATServiceManager_var manager;
  FT::FATServiceQueryFacet_var query;
  int calls = 0;
  for (const std::string &line : lines) {
    size_t space = line.find(' ');
    std::string op = line.substr(0, space);
    std::vector<Json> a = parseArguments(space == std::string::npos ? "" : line.substr(space + 1));
    ++calls;
    if (op == "getHostSession") session = factory->getHostSession(str(a, 0), str(a, 1));
    else if (op == "getFATServiceManager") manager = session->getFATServiceManager();
    else if (op == "aqueryFacet") {
      CORBA::Object_var facet = manager->aqueryFacet();
      query = FT::FATServiceQueryFacet::_narrow(facet);
    } else if (op == "destroy") session->destroy();
    else if (op == "getSANClientList") FT::SANClientInfoSeq_var r = query->getSANClientList(str(a, 0), str(a, 1));
    else if (op == "getFATServerList") SV::FATServerInfoSeq_var r = query->getFATServerList(str(a, 0));
    else if (op == "getFATServerInfo") SV::FATServerInfo_var r = query->getFATServerInfo(str(a, 0));
    else if (op == "getSANClientInfo") FT::SANClientInfo_var r = query->getSANClientInfo(str(a, 0));
    else if (op == "getUsageInfo") FT::FATUsageInfo_var r = query->getUsageInfo(str(a, 0), kind(a, 1));
    else if (op == "getClientPipeList") CL::FATClientPipeInfoSeq_var r = query->getClientPipeList(str(a, 0));
    else if (op == "getServerPipeList") SV::FATPipeInfoSeq_var r = query->getServerPipeList(str(a, 0));
    else if (op == "getMediaServersCountOfClient") query->getMediaServersCountOfClient(str(a, 0));
    else if (op == "getFTConfigInfoSeq") {
      FT::FTConfigInfoSeq_var keys = decodeSequence<FT::FTConfigInfoSeq>(a.size() > 3 ? a[3].get() : nullptr, "keys");
      FT::FTConfigInfoSeq_var r = query->getFTConfigInfoSeq(str(a, 0), str(a, 1), kind(a, 2), keys.in());
    } else {
      fprintf(stderr, "floor_client: cannot replay \"%s\"\n", line.c_str());
      return 1;
    }
  }
  printf("%d\n", calls);
  orb->destroy();
  return 0;
}
