// The FT query facet: reads of the inventory.
#include "answercache.h"
#include "callgate.h"
#include "service.h"
#include "store.h"

namespace {

// Reads are answered from the answer cache (built from the store when
// missing or changed since); the journal line's operation and arguments are
// the key.

// A sequence result: the fault reply, or the stored answer.
template <class S> S *sequenceAnswer(const Arrival &arrival, const std::string &key, const std::string &host,
                                     const std::function<json_t *()> &stored) {
  if (arrival.action == FaultAction::Reply)
    return answerSequence<S>(arrival.result);
  return cachedSequence<S>(key, [&] {
    Json json(fromStore(host, stored));
    return answerSequence<S>(json.get());
  });
}

// A record result: nil, the fault reply, or the stored answer.
template <class T> T *recordAnswer(const Arrival &arrival, const std::string &key, const std::string &host,
                                   const std::function<json_t *()> &stored) {
  if (arrival.action != FaultAction::None)
    return answerRecord<T>(arrival.result);
  return cachedRecord<T>(key, [&] {
    Json json(fromStore(host, stored));
    return answerRecord<T>(json.get());
  });
}

struct QueryFacet : POA_Corvane::Tessark::SL::FATServiceMgmt::FATServiceQueryFacet {
  SV::FATServerInfoSeq *getFATServerList(const char *master) override {
    std::string args = text(master), key = "getFATServerList" + args;
    Arrival arrival = arrive("getFATServerList", args, master);
    return sequenceAnswer<SV::FATServerInfoSeq>(arrival, key, master, [&] { return store::serverList(master); });
  }

  FT::SANClientInfoSeq *getSANClientList(const char *master, const char *media) override {
    std::string args = text(master) + text(media), key = "getSANClientList" + args;
    Arrival arrival = arrive("getSANClientList", args, master);
    return sequenceAnswer<FT::SANClientInfoSeq>(arrival, key, master,
                                                [&] { return store::clientList(master, media); });
  }

  FT::FATUsageInfo *getUsageInfo(const char *host, FT::QZSL_QZU_MACHINE_TYPE type) override {
    std::string args = text(host) + kind(type), key = "getUsageInfo" + args;
    Arrival arrival = arrive("getUsageInfo", args, host);
    return recordAnswer<FT::FATUsageInfo>(arrival, key, host, [&] { return store::usageInfo(host, type); });
  }

  SV::FATServerInfo *getFATServerInfo(const char *name) override {
    std::string args = text(name), key = "getFATServerInfo" + args;
    Arrival arrival = arrive("getFATServerInfo", args, name);
    return recordAnswer<SV::FATServerInfo>(arrival, key, name, [&] { return store::serverInfo(name); });
  }

  FT::SANClientInfo *getSANClientInfo(const char *name) override {
    std::string args = text(name), key = "getSANClientInfo" + args;
    Arrival arrival = arrive("getSANClientInfo", args, name);
    return recordAnswer<FT::SANClientInfo>(arrival, key, name, [&] { return store::clientInfo(name); });
  }

  SV::FATServerConfigurationInfo *getServerConfiguration(const char *name) override {
    std::string args = text(name), key = "getServerConfiguration" + args;
    Arrival arrival = arrive("getServerConfiguration", args, name);
    return recordAnswer<SV::FATServerConfigurationInfo>(arrival, key, name,
                                                        [&] { return store::serverConfiguration(name); });
  }

  CL::FATClientPipeInfoSeq *getClientPipeList(const char *name) override {
    std::string args = text(name), key = "getClientPipeList" + args;
    Arrival arrival = arrive("getClientPipeList", args, name);
    return sequenceAnswer<CL::FATClientPipeInfoSeq>(arrival, key, name, [&] { return store::clientPipes(name); });
  }

  SV::FATPipeInfoSeq *getServerPipeList(const char *name) override {
    std::string args = text(name), key = "getServerPipeList" + args;
    Arrival arrival = arrive("getServerPipeList", args, name);
    return sequenceAnswer<SV::FATPipeInfoSeq>(arrival, key, name, [&] { return store::serverPipes(name); });
  }

  CORBA::Long getMediaServersCountOfClient(const char *host) override {
    std::string args = text(host), key = "getMediaServersCountOfClient" + args;
    Arrival arrival = arrive("getMediaServersCountOfClient", args, host);
    if (arrival.action == FaultAction::Reply)
      return (CORBA::Long)json_integer_value(arrival.result);
    return (CORBA::Long)cachedNumber(key, [&] {
      Json count(fromStore(host, [&] { return json_integer(store::mediaServerCount(host)); }));
      return (long)json_integer_value(count.get());
    });
  }

  SV::FATPseudoDeviceInfoSeq *getServerDeviceList(SV::FATServerInfo *server) override {
    std::string name = server ? server->hostName() : "";
    std::string args = record(server), key = "getServerDeviceList" + args;
    Arrival arrival = arrive("getServerDeviceList", args, name);
    return sequenceAnswer<SV::FATPseudoDeviceInfoSeq>(arrival, key, name, [&] {
      if (!server)
        refuse(INVALID_ARGUMENT, "", "no FT server given");
      return store::serverDevices(name);
    });
  }

  CL::FATClientDeviceInfoSeq *getClientDeviceList(CL::FATClientInfo *client) override {
    std::string name = client ? client->hostName() : "";
    std::string args = record(client), key = "getClientDeviceList" + args;
    Arrival arrival = arrive("getClientDeviceList", args, name);
    return sequenceAnswer<CL::FATClientDeviceInfoSeq>(arrival, key, name, [&] {
      if (!client)
        refuse(INVALID_ARGUMENT, "", "no SAN client given");
      return store::clientDevices(name);
    });
  }

  FT::FTConfigInfoSeq *getFTConfigInfoSeq(const char *master, const char *host,
                                          FT::QZSL_QZU_MACHINE_TYPE type,
                                          const FT::FTConfigInfoSeq &keys) override {
    std::string args = text(master) + text(host) + kind(type) + sequence(keys), key = "getFTConfigInfoSeq" + args;
    Arrival arrival = arrive("getFTConfigInfoSeq", args, master);
    std::vector<std::string> names;
    for (CORBA::ULong i = 0; i < keys.length(); ++i)
      if (keys[i].in())
        names.push_back(keys[i]->confName());
    return sequenceAnswer<FT::FTConfigInfoSeq>(arrival, key, host,
                                               [&] { return store::ftSettings(master, host, type, names); });
  }
};

}  // namespace

PortableServer::ServantBase *newQueryFacet() { return new QueryFacet; }
