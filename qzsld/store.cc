#include "store.h"

#include <ctime>
#include <sys/stat.h>
#include <mutex>
#include <stdexcept>

#include "errors.h"
#include "inventory_rows.h"
#include "machinetype.h"
#include "recordjson.h"
#include "sqlrows.h"

namespace store {

namespace {

std::mutex storeMutex;

const char *const USAGE_PREFERENCES[] = {"Preferred", "Always", "Never", "FailIfNoFT"};

// A usage record as given by a caller, once its preference is one of the four.
Json checkedUsage(const std::string &host, json_t *usage) {
  if (json_is_null(usage))
    refuse(INVALID_ARGUMENT, host, "no FT usage preference given for host " + host);
  std::string preference = json_string_value(json_object_get(usage, "usagePref"));
  for (const char *known : USAGE_PREFERENCES)
    if (preference == known)
      return Json(json_incref(usage));
  refuse(INVALID_USAGE_PREFERENCE, host,
         "\"" + preference + "\" is not an FT usage preference (Preferred, Always, Never, FailIfNoFT)");
}

// Clients and FT servers must exist for their own usage and settings; master
// servers are not part of the FT inventory.
void requireHostOfKind(const std::string &host, int kind) {
  if (kind == MACHINE_CLIENT)
    requireClientId(host);
  else if (kind == MACHINE_MEDIA)
    requireServer(host);
}

std::string stringMember(json_t *object, const char *key) {
  const char *value = json_string_value(json_object_get(object, key));
  return value ? value : "";
}

}  // namespace

void openStore(const std::string &path) {
  std::lock_guard<std::mutex> lock(storeMutex);
  // The inventory is the service account's alone, whatever umask started the
  // service: SQLite creates its files now, the WAL files with the database's
  // mode. Nothing else runs yet that could create files meanwhile.
  mode_t umaskBefore = umask(077);
  struct UmaskBack {
    mode_t mask;
    ~UmaskBack() { umask(mask); }
  } umaskBack{umaskBefore};
  if (sqlite3_open_v2(path.c_str(), &storeDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    std::string message = storeDb ? sqlite3_errmsg(storeDb) : "out of memory";
    sqlite3_close(storeDb);
    storeDb = nullptr;
    throw std::runtime_error("cannot open database " + path + ": " + message);
  }
  sqlite3_busy_timeout(storeDb, 5000);
  // WAL with full synchronisation: a change is on disk before its reply.
  exec("PRAGMA journal_mode = WAL");
  exec("PRAGMA synchronous = FULL");
  exec("PRAGMA foreign_keys = ON");
  transaction(createSchema);
}

void closeStore() {
  std::lock_guard<std::mutex> lock(storeMutex);
  closeStatements();
  sqlite3_close(storeDb);
  storeDb = nullptr;
}

void importInventory(json_t *inventory) {
  std::lock_guard<std::mutex> lock(storeMutex);
  if (!json_is_object(inventory))
    throw std::runtime_error("inventory: expected an object");
  const char *key;
  json_t *value;
  json_object_foreach(inventory, key, value) {
    std::string name = key;
    if (name != "servers" && name != "clients" && name != "usage" && name != "settings")
      throw std::runtime_error("inventory: unknown member \"" + name + "\"");
    if (!json_is_array(value))
      throw std::runtime_error("inventory." + name + ": expected an array");
  }
  transaction([&] {
    clearInventory();
    size_t i;
    json_t *entry;
    json_array_foreach(json_object_get(inventory, "servers"), i, entry) {
      std::string path = "servers[" + std::to_string(i) + "]";
      Json server(canonicalRecord<SV::FATServerInfo>(entry, path));
      if (json_is_null(server.get()))
        continue;
      std::string name = json_string_value(json_object_get(server.get(), "hostName"));
      if (name.empty())
        throw std::runtime_error(path + ": an FT server needs a host name");
      if (serverId(name))
        throw std::runtime_error(path + ": FT server listed twice");
      storeServer(server.get());
    }
    LunIndex index;
    json_array_foreach(json_object_get(inventory, "clients"), i, entry) {
      std::string path = "clients[" + std::to_string(i) + "]";
      Json client(canonicalRecord<FT::SANClientInfo>(entry, path));
      if (json_is_null(client.get()))
        continue;
      json_t *info = json_object_get(client.get(), "fatClientInfo");
      if (json_is_null(info))
        throw std::runtime_error(path + ": expected a SAN client with its fatClientInfo");
      std::string host = json_string_value(json_object_get(info, "hostName"));
      if (host.empty())
        throw std::runtime_error(path + ": a SAN client needs a host name");
      if (clientId(host))
        throw std::runtime_error(path + ": SAN client listed twice");
      storeClient(info, index);
      json_t *usage = json_object_get(client.get(), "afatUsageInfo");
      if (!json_is_null(usage))
        storeUsage(host, MACHINE_CLIENT, usage);
    }
    json_array_foreach(json_object_get(inventory, "usage"), i, entry) {
      std::string path = "usage[" + std::to_string(i) + "]";
      json_t *host = json_object_get(entry, "host");
      int kind = machineTypeValue(stringMember(entry, "machineType"));
      if (!json_is_string(host) || kind < 0 || json_object_size(entry) != 3)
        throw std::runtime_error(path + ": expected {\"host\", \"machineType\", \"usage\"}");
      Json usage(canonicalRecord<FT::FATUsageInfo>(json_object_get(entry, "usage"), path + ".usage"));
      if (json_is_null(usage.get()))
        throw std::runtime_error(path + ".usage: expected a usage preference");
      storeUsage(json_string_value(host), kind, usage.get());
    }
    json_array_foreach(json_object_get(inventory, "settings"), i, entry) {
      std::string path = "settings[" + std::to_string(i) + "]";
      json_t *host = json_object_get(entry, "host");
      json_t *name = json_object_get(entry, "confName");
      json_t *setting = json_object_get(entry, "confValue");
      int kind = machineTypeValue(stringMember(entry, "machineType"));
      if (!json_is_string(host) || !json_is_string(name) || !json_is_string(setting) || kind < 0 ||
          json_object_size(entry) != 4)
        throw std::runtime_error(
            path + ": expected {\"host\", \"machineType\", \"confName\", \"confValue\"}");
      storeSetting(json_string_value(host), kind, json_string_value(name), json_string_value(setting));
    }
  });
}

json_t *exportInventory() {
  std::lock_guard<std::mutex> lock(storeMutex);
  return reading([&]() -> json_t * {
    json_t *servers = json_array();
    for (sqlite3_int64 id : ids(query("SELECT id FROM server ORDER BY id"))) {
      Json server(serverJson(id));
      json_array_append_new(servers, canonicalRecord<SV::FATServerInfo>(server.get(), "server"));
    }
    json_t *clients = json_array();
    for (sqlite3_int64 id : ids(query("SELECT id FROM client ORDER BY id"))) {
      json_t *client = clientJson(id);
      json_t *usage =
          storedUsage(json_string_value(json_object_get(client, "hostName")), MACHINE_CLIENT);
      Json san(json_pack("{s:o, s:o}", "fatClientInfo", client, "afatUsageInfo", usage ? usage : json_null()));
      json_array_append_new(clients, canonicalRecord<FT::SANClientInfo>(san.get(), "client"));
    }
    return json_pack("{s:o, s:o, s:o, s:o}", "servers", servers, "clients", clients, "usage",
                     usageEntries(), "settings", settingEntries());
  });
}

// --- Queries -------------------------------------------------------------------

json_t *serverList(const std::string &master) {
  std::lock_guard<std::mutex> lock(storeMutex);
  return reading([&]() -> json_t * {
    json_t *servers = json_array();
    for (sqlite3_int64 id : ids(query("SELECT id FROM server WHERE ?1 = '' OR masterServerName = ?1"
                                      " ORDER BY id",
                                      master)))
      json_array_append_new(servers, serverJson(id));
    return servers;
  });
}

json_t *clientList(const std::string &master, const std::string &media) {
  std::lock_guard<std::mutex> lock(storeMutex);
  return reading([&]() -> json_t * {
    json_t *clients = json_array();
    for (sqlite3_int64 id :
         ids(query("SELECT c.id FROM client c WHERE (?1 = '' OR c.masterServerName = ?1) AND"
                   " (?2 = '' OR EXISTS (SELECT 1 FROM client_device d WHERE d.client = c.id AND"
                   " d.listed = 1 AND d.deviceServerName = ?2)) ORDER BY c.id",
                   master, media)))
      json_array_append_new(clients, sanClientJson(id));
    return clients;
  });
}

json_t *usageInfo(const std::string &host, int kind) {
  std::lock_guard<std::mutex> lock(storeMutex);
  json_t *usage = storedUsage(host, kind);
  if (!usage)
    refuse(NO_USAGE_PREFERENCE, host,
           "no FT usage preference defined for host " + host + " (" + machineTypeName(kind) + ")");
  return usage;
}

json_t *serverInfo(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  return reading([&]() -> json_t * {
    std::optional<sqlite3_int64> id = serverId(name);
    return id ? serverJson(*id) : json_null();
  });
}

json_t *clientInfo(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  return reading([&]() -> json_t * {
    std::optional<sqlite3_int64> id = clientId(name);
    return id ? sanClientJson(*id) : json_null();
  });
}

json_t *serverConfiguration(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  return reading([&]() -> json_t * {
    Json server(serverJson(requireServer(name)));
    json_t *config = json_object_get(server.get(), "config");
    if (!json_is_object(config))
      refuse(NO_SERVER_CONFIGURATION, name, "FT server " + name + " has no configuration");
    return json_incref(config);
  });
}

json_t *clientPipes(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  return reading([&]() -> json_t * {
    Json client(clientJson(requireClientId(name)));
    return json_incref(json_object_get(client.get(), "pipes"));
  });
}

json_t *serverPipes(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  return reading([&]() -> json_t * {
    Json server(serverJson(requireServer(name)));
    return json_incref(json_object_get(server.get(), "pipes"));
  });
}

bool inventoryEmpty() {
  std::lock_guard<std::mutex> lock(storeMutex);
  return *scalar("SELECT NOT EXISTS (SELECT 1 FROM server) AND NOT EXISTS (SELECT 1 FROM client)") != 0;
}

int mediaServerCount(const std::string &client) {
  std::lock_guard<std::mutex> lock(storeMutex);
  sqlite3_int64 id = requireClientId(client);
  return (int)*scalar("SELECT COUNT(DISTINCT deviceServerName) FROM client_device"
                      " WHERE client = ? AND listed = 1 AND deviceServerName <> ''",
                      id);
}

json_t *serverDevices(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  return reading([&]() -> json_t * {
    Json server(serverJson(requireServer(name)));
    return json_incref(json_object_get(server.get(), "devices"));
  });
}

json_t *clientDevices(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  return reading([&]() -> json_t * {
    Json client(clientJson(requireClientId(name)));
    return json_incref(json_object_get(client.get(), "hostDevices"));
  });
}

json_t *ftSettings(const std::string &fallbackHost, const std::string &host, int kind,
                   const std::vector<std::string> &names) {
  std::lock_guard<std::mutex> lock(storeMutex);
  std::string owner = host;
  if (!scalar("SELECT 1 FROM setting WHERE host = ? AND machineType = ?", host, kind))
    owner = fallbackHost;
  json_t *found = json_array();
  for (const std::string &name : names) {
    sqlite3_stmt *s = query("SELECT confValue FROM setting WHERE host = ? AND machineType = ? AND"
                            " confName = ?",
                            owner, kind, name);
    if (next(s))
      json_array_append_new(found, json_pack("{s:s, s:s, s:b}", "confName", name.c_str(), "confValue",
                                             text(s, 0).c_str(), "isClient", kind == MACHINE_CLIENT));
    sqlite3_reset(s);
  }
  return found;
}

// --- Changes -----------------------------------------------------------------

json_t *addServer(json_t *server) {
  std::lock_guard<std::mutex> lock(storeMutex);
  if (json_is_null(server))
    refuse(INVALID_ARGUMENT, "", "no FT server given");
  Json canonical(canonicalRecord<SV::FATServerInfo>(server, "server"));
  sqlite3_int64 id = 0;
  transaction([&] { id = storeServer(canonical.get()); });
  return serverJson(id);
}

void deleteServer(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  transaction([&] {
    if (run("DELETE FROM server WHERE hostName = ?", name) == 0)
      requireServer(name);
  });
}

void setServerPipeLimit(const std::string &name, int limit) {
  std::lock_guard<std::mutex> lock(storeMutex);
  transaction([&] {
    sqlite3_int64 id = requireServer(name);
    if (!*scalar("SELECT has_config FROM server WHERE id = ?", id))
      refuse(NO_SERVER_CONFIGURATION, name, "FT server " + name + " has no configuration");
    int maximum = (int)scalar("SELECT config_maxNumberOfPipes FROM server WHERE id = ?", id).value_or(0);
    if (limit < 1 || limit > maximum)
      refuse(PIPE_LIMIT_OUT_OF_RANGE, name,
             "connection limit " + std::to_string(limit) + " is out of range for FT server " + name +
                 ": the maximum is " + std::to_string(maximum));
    run("UPDATE server SET config_numberOfPipes = ? WHERE id = ?", limit, id);
  });
}

void setJobConcurrency(const std::string &name, json_t *config) {
  std::lock_guard<std::mutex> lock(storeMutex);
  if (json_is_null(config))
    refuse(INVALID_ARGUMENT, name, "no configuration given for FT server " + name);
  transaction([&] {
    sqlite3_int64 id = requireServer(name);
    json_t *expansion = json_object_get(config, "expansion");
    std::optional<std::string> expansionText;
    if (json_array_size(expansion) > 0)
      expansionText = compactJson(expansion);
    run("UPDATE server SET has_config = 1, config_maxNumberOfPipes = ?,"
        " config_recommendedNumberOfPipes = ?, config_numberOfPipes = ?,"
        " config_maxNumberOfLUNsPerPort = ?, config_maxNumberOfPorts = ?, config_expansion = ?"
        " WHERE id = ?",
        (sqlite3_int64)json_integer_value(json_object_get(config, "maxNumberOfPipes")),
        (sqlite3_int64)json_integer_value(json_object_get(config, "recommendedNumberOfPipes")),
        (sqlite3_int64)json_integer_value(json_object_get(config, "numberOfPipes")),
        (sqlite3_int64)json_integer_value(json_object_get(config, "maxNumberOfLUNsPerPort")),
        (sqlite3_int64)json_integer_value(json_object_get(config, "maxNumberOfPorts")),
        expansionText, id);
  });
}

void changeServerState(const std::string &name, bool active) {
  std::lock_guard<std::mutex> lock(storeMutex);
  transaction([&] {
    if (run("UPDATE server SET state = ? WHERE hostName = ?", active ? 1 : 0, name) == 0)
      requireServer(name);
  });
}

json_t *addClient(const std::string &name) {
  Json client(json_pack("{s:s}", "hostName", name.c_str()));
  return addClientWithInfo(client.get());
}

json_t *addClientWithInfo(json_t *client) {
  std::lock_guard<std::mutex> lock(storeMutex);
  if (json_is_null(client))
    refuse(INVALID_ARGUMENT, "", "no SAN client given");
  Json canonical(canonicalRecord<CL::FATClientInfo>(client, "client"));
  sqlite3_int64 id = 0;
  LunIndex index;
  transaction([&] { id = storeClient(canonical.get(), index); });
  return clientJson(id);
}

void deleteClient(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  transaction([&] {
    if (run("DELETE FROM client WHERE hostName = ?", name) == 0)
      requireClientId(name);
  });
}

void setUsage(const std::string &host, int kind, json_t *usage) {
  std::lock_guard<std::mutex> lock(storeMutex);
  Json checked = checkedUsage(host, usage);
  transaction([&] {
    requireHostOfKind(host, kind);
    if (!scalar("SELECT 1 FROM usage WHERE host = ? AND machineType = ?", host, kind))
      refuse(NO_USAGE_PREFERENCE, host,
             "no FT usage preference defined for host " + host + " (" + machineTypeName(kind) + ")");
    storeUsage(host, kind, checked.get());
  });
}

void addUsage(const std::string &host, int kind, json_t *usage) {
  std::lock_guard<std::mutex> lock(storeMutex);
  Json checked = checkedUsage(host, usage);
  transaction([&] {
    requireHostOfKind(host, kind);
    if (scalar("SELECT 1 FROM usage WHERE host = ? AND machineType = ?", host, kind))
      refuse(USAGE_PREFERENCE_EXISTS, host,
             "an FT usage preference is already defined for host " + host + " (" + machineTypeName(kind) + ")");
    storeUsage(host, kind, checked.get());
  });
}

void deleteUsage(const std::string &host) {
  std::lock_guard<std::mutex> lock(storeMutex);
  transaction([&] {
    if (run("DELETE FROM usage WHERE host = ?", host) == 0)
      refuse(NO_USAGE_PREFERENCE, host, "no FT usage preference defined for host " + host);
  });
}

void updateSettings(const std::string &host, int kind,
                    const std::vector<std::pair<std::string, std::string>> &settings) {
  std::lock_guard<std::mutex> lock(storeMutex);
  for (const auto &setting : settings)
    if (setting.first.empty())
      refuse(INVALID_ARGUMENT, host, "an FT setting needs a name");
  transaction([&] {
    requireHostOfKind(host, kind);
    for (const auto &setting : settings)
      storeSetting(host, kind, setting.first, setting.second);
  });
}

void deleteSettings(const std::string &host, int kind, const std::vector<std::string> &names) {
  std::lock_guard<std::mutex> lock(storeMutex);
  transaction([&] {
    int deleted = 0;
    for (const std::string &name : names)
      deleted += run("DELETE FROM setting WHERE host = ? AND machineType = ? AND confName = ?", host, kind,
                     name);
    if (deleted == 0)
      refuse(NO_SUCH_SETTINGS, host,
             "none of the given FT settings is defined for host " + host + " (" + machineTypeName(kind) + ")");
  });
}

void requireClient(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  requireClientId(name);
}

void recordDiscovery(const std::string &name) {
  std::lock_guard<std::mutex> lock(storeMutex);
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  transaction([&] {
    run("UPDATE client SET lastDiscovery = ? WHERE hostName = ?", now.tv_sec + now.tv_nsec / 1e9, name);
  });
}

}  // namespace store
