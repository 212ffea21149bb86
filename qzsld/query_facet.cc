// The FT query facet: reads of the inventory.
#include "dispatch.h"
#include "image.h"
#include "service.h"
#include "store.h"

namespace {

// A sequence result: the fault reply, or the store's answer.
template <class S> S *sequenceAnswer(const Arrival &arrival, const std::string &host,
                                     const std::function<json_t *()> &stored) {
  if (arrival.action == FaultAction::Reply)
    return answerSequence<S>(arrival.result);
  Json json(fromStore(host, stored));
  return answerSequence<S>(json.get());
}

// A record result: nil, the fault reply, or the store's answer.
template <class T> T *recordAnswer(const Arrival &arrival, const std::string &host,
                                   const std::function<json_t *()> &stored) {
  if (arrival.action != FaultAction::None)
    return answerRecord<T>(arrival.result);
  Json json(fromStore(host, stored));
  return answerRecord<T>(json.get());
}

// A record result that stays valid until the next change: nil, the fault
// reply, or the answer kept in the image (built from the store when missing).
template <class T> T *imagedAnswer(const Arrival &arrival, const char *op, const std::string &host,
                                   const std::function<json_t *()> &stored) {
  if (arrival.action != FaultAction::None)
    return answerRecord<T>(arrival.result);
  CORBA::ValueBase *value = imageValue(std::string(op) + '\n' + host, [&]() -> CORBA::ValueBase * {
    Json json(fromStore(host, stored));
    return answerRecord<T>(json.get());
  });
  return value ? T::_downcast(value) : nullptr;
}

struct QueryFacet : POA_Corvane::Tessark::SL::FATServiceMgmt::FATServiceQueryFacet {
  SV::FATServerInfoSeq *getFATServerList(const char *master) override {
    Arrival arrival = arrive("getFATServerList", text(master), master);
    return sequenceAnswer<SV::FATServerInfoSeq>(arrival, master, [&] { return serverList(master); });
  }

  FT::SANClientInfoSeq *getSANClientList(const char *master, const char *media) override {
    Arrival arrival = arrive("getSANClientList", text(master) + text(media), master);
    return sequenceAnswer<FT::SANClientInfoSeq>(arrival, master,
                                                [&] { return clientList(master, media); });
  }

  FT::FATUsageInfo *getUsageInfo(const char *host, FT::QZSL_QZU_MACHINE_TYPE type) override {
    Arrival arrival = arrive("getUsageInfo", text(host) + kind(type), host);
    return recordAnswer<FT::FATUsageInfo>(arrival, host, [&] { return usageInfo(host, type); });
  }

  SV::FATServerInfo *getFATServerInfo(const char *name) override {
    Arrival arrival = arrive("getFATServerInfo", text(name), name);
    return imagedAnswer<SV::FATServerInfo>(arrival, "getFATServerInfo", name,
                                           [&] { return serverInfo(name); });
  }

  FT::SANClientInfo *getSANClientInfo(const char *name) override {
    Arrival arrival = arrive("getSANClientInfo", text(name), name);
    return imagedAnswer<FT::SANClientInfo>(arrival, "getSANClientInfo", name,
                                           [&] { return clientInfo(name); });
  }

  SV::FATServerConfigurationInfo *getServerConfiguration(const char *name) override {
    Arrival arrival = arrive("getServerConfiguration", text(name), name);
    return recordAnswer<SV::FATServerConfigurationInfo>(arrival, name,
                                                        [&] { return serverConfiguration(name); });
  }

  CL::FATClientPipeInfoSeq *getClientPipeList(const char *name) override {
    Arrival arrival = arrive("getClientPipeList", text(name), name);
    return sequenceAnswer<CL::FATClientPipeInfoSeq>(arrival, name, [&] { return clientPipes(name); });
  }

  SV::FATPipeInfoSeq *getServerPipeList(const char *name) override {
    Arrival arrival = arrive("getServerPipeList", text(name), name);
    return sequenceAnswer<SV::FATPipeInfoSeq>(arrival, name, [&] { return serverPipes(name); });
  }

  CORBA::Long getMediaServersCountOfClient(const char *host) override {
    Arrival arrival = arrive("getMediaServersCountOfClient", text(host), host);
    if (arrival.action == FaultAction::Reply)
      return (CORBA::Long)json_integer_value(arrival.result);
    Json count(fromStore(host, [&] { return json_integer(mediaServerCount(host)); }));
    return (CORBA::Long)json_integer_value(count.get());
  }

  SV::FATPseudoDeviceInfoSeq *getServerDeviceList(SV::FATServerInfo *server) override {
    std::string name = server ? server->hostName() : "";
    Arrival arrival = arrive("getServerDeviceList", record(server), name);
    return sequenceAnswer<SV::FATPseudoDeviceInfoSeq>(arrival, name, [&] {
      if (!server)
        refuse(INVALID_ARGUMENT, "", "no FT server given");
      return serverDevices(name);
    });
  }

  CL::FATClientDeviceInfoSeq *getClientDeviceList(CL::FATClientInfo *client) override {
    std::string name = client ? client->hostName() : "";
    Arrival arrival = arrive("getClientDeviceList", record(client), name);
    return sequenceAnswer<CL::FATClientDeviceInfoSeq>(arrival, name, [&] {
      if (!client)
        refuse(INVALID_ARGUMENT, "", "no SAN client given");
      return clientDevices(name);
    });
  }

  FT::FTConfigInfoSeq *getFTConfigInfoSeq(const char *master, const char *host,
                                          FT::QZSL_QZU_MACHINE_TYPE type,
                                          const FT::FTConfigInfoSeq &keys) override {
    Arrival arrival =
        arrive("getFTConfigInfoSeq", text(master) + text(host) + kind(type) + sequence(keys), master);
    std::vector<std::string> names;
    for (CORBA::ULong i = 0; i < keys.length(); ++i)
      if (keys[i].in())
        names.push_back(keys[i]->confName());
    return sequenceAnswer<FT::FTConfigInfoSeq>(arrival, host,
                                               [&] { return ftSettings(master, host, type, names); });
  }
};

}  // namespace

PortableServer::ServantBase *newQueryFacet() { return new QueryFacet; }
