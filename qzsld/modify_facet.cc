// The FT modifiable facet: changes of the inventory, each committed before
// the reply.
#include "callgate.h"
#include "service.h"
#include "store.h"

namespace {

template <class T> T *changedRecord(const Arrival &arrival, const std::string &host,
                                    const std::function<json_t *()> &change) {
  if (arrival.action != FaultAction::None)
    return answerRecord<T>(arrival.result);
  Json json(fromStore(host, change));
  return answerRecord<T>(json.get());
}

std::vector<std::pair<std::string, std::string>> settingsOf(const FT::FTConfigInfoSeq &settings) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (CORBA::ULong i = 0; i < settings.length(); ++i)
    if (settings[i].in())
      pairs.emplace_back(settings[i]->confName(), settings[i]->confValue());
  return pairs;
}

struct ModifyFacet : POA_Corvane::Tessark::SL::FATServiceMgmt::FATServiceModifiableFacet {
  SV::FATServerInfo *addServer(SV::FATServerInfo *server) override {
    std::string name = server ? server->hostName() : "";
    Arrival arrival = arrive("addServer", record(server), name);
    return changedRecord<SV::FATServerInfo>(arrival, name, [&] {
      Json json(toJson(server));
      return store::addServer(json.get());
    });
  }

  void deleteServer(const char *name) override {
    arrive("deleteServer", text(name), name);
    inStore(name, [&] { store::deleteServer(name); });
  }

  void setServerPipeLimit(const char *name, CORBA::Long limit) override {
    arrive("setServerPipeLimit", text(name) + number(limit), name);
    inStore(name, [&] { store::setServerPipeLimit(name, limit); });
  }

  CL::FATClientInfo *addClient(const char *name) override {
    Arrival arrival = arrive("addClient", text(name), name);
    return changedRecord<CL::FATClientInfo>(arrival, name, [&] {
      if (!*name)
        refuse(INVALID_ARGUMENT, "", "a SAN client needs a host name");
      return store::addClient(name);
    });
  }

  CL::FATClientInfo *addClientWithInfo(CL::FATClientInfo *client) override {
    std::string name = client ? client->hostName() : "";
    Arrival arrival = arrive("addClientWithInfo", record(client), name);
    return changedRecord<CL::FATClientInfo>(arrival, name, [&] {
      Json json(toJson(client));
      return store::addClientWithInfo(json.get());
    });
  }

  void deleteClient(const char *name) override {
    arrive("deleteClient", text(name), name);
    inStore(name, [&] { store::deleteClient(name); });
  }

  void setUsageInfo(const char *host, FT::QZSL_QZU_MACHINE_TYPE type, FT::FATUsageInfo *usage) override {
    arrive("setUsageInfo", text(host) + kind(type) + record(usage), host);
    Json json(toJson(usage));
    inStore(host, [&] { store::setUsage(host, type, json.get()); });
  }

  void addUsageInfo(const char *host, FT::QZSL_QZU_MACHINE_TYPE type, FT::FATUsageInfo *usage) override {
    arrive("addUsageInfo", text(host) + kind(type) + record(usage), host);
    Json json(toJson(usage));
    inStore(host, [&] { store::addUsage(host, type, json.get()); });
  }

  void deleteUsageInfo(const char *host) override {
    arrive("deleteUsageInfo", text(host), host);
    inStore(host, [&] { store::deleteUsage(host); });
  }

  void setJobConcurrency(SV::FATServerInfo *server, SV::FATServerConfigurationInfo *config) override {
    std::string name = server ? server->hostName() : "";
    arrive("setJobConcurrency", record(server) + record(config), name);
    if (!server)
      refuse(INVALID_ARGUMENT, "", "no FT server given");
    Json json(toJson(config));
    inStore(name, [&] { store::setJobConcurrency(name, json.get()); });
  }

  void updateFTConfigInfoSeq(const char *host, FT::QZSL_QZU_MACHINE_TYPE type,
                             const FT::FTConfigInfoSeq &settings) override {
    arrive("updateFTConfigInfoSeq", text(host) + kind(type) + sequence(settings), host);
    inStore(host, [&] { store::updateSettings(host, type, settingsOf(settings)); });
  }

  void deleteFTConfigInfoSeq(const char *host, FT::QZSL_QZU_MACHINE_TYPE type,
                             const FT::FTConfigInfoSeq &settings) override {
    arrive("deleteFTConfigInfoSeq", text(host) + kind(type) + sequence(settings), host);
    std::vector<std::string> names;
    for (const auto &setting : settingsOf(settings))
      names.push_back(setting.first);
    inStore(host, [&] { store::deleteSettings(host, type, names); });
  }
};

}  // namespace

PortableServer::ServantBase *newModifyFacet() { return new ModifyFacet; }
