// The FT inventory in SQLite: FT servers with their target ports, LUNs and
// pipes, SAN clients with their HBA ports, devices and pipes, usage
// preferences and FT settings. Every function is safe to call from any thread
// (one connection behind one mutex); every change is one transaction that is
// committed before the function returns. Results are new JSON values in the
// record encoding (recordjson.h). Refusals raise QZSLOpException (errors.h);
// database failures throw std::runtime_error.
#pragma once
#include <jansson.h>
#include <string>
#include <utility>
#include <vector>

// Several functions share their names with the servant operations that call
// them, and an unqualified call inside a servant reaches the servant's own
// operation. Callers therefore always write store::, which names the store
// and nothing else.
namespace store {

// Opens the database, creating it and its schema when missing.
void openStore(const std::string &path);
void closeStore();

// Replaces the whole inventory (one transaction). Throws std::runtime_error
// naming the offending member on malformed input.
void importInventory(json_t *inventory);
// The whole inventory in the import format.
json_t *exportInventory();

// Queries.
bool inventoryEmpty();  // neither an FT server nor a SAN client
json_t *serverList(const std::string &master);
json_t *clientList(const std::string &master, const std::string &media);
json_t *usageInfo(const std::string &host, int kind);
json_t *serverInfo(const std::string &name);  // JSON null when unknown
json_t *clientInfo(const std::string &name);  // SANClientInfo, JSON null when unknown
json_t *serverConfiguration(const std::string &name);
json_t *clientPipes(const std::string &name);
json_t *serverPipes(const std::string &name);
int mediaServerCount(const std::string &client);
json_t *serverDevices(const std::string &name);
json_t *clientDevices(const std::string &name);
json_t *ftSettings(const std::string &fallbackHost, const std::string &host, int kind,
                   const std::vector<std::string> &names);

// Changes.
json_t *addServer(json_t *server);
void deleteServer(const std::string &name);
void setServerPipeLimit(const std::string &name, int limit);
void setJobConcurrency(const std::string &name, json_t *config);
void changeServerState(const std::string &name, bool active);
json_t *addClient(const std::string &name);
json_t *addClientWithInfo(json_t *client);
void deleteClient(const std::string &name);
void setUsage(const std::string &host, int kind, json_t *usage);
void addUsage(const std::string &host, int kind, json_t *usage);
void deleteUsage(const std::string &host);
void updateSettings(const std::string &host, int kind,
                    const std::vector<std::pair<std::string, std::string>> &settings);
void deleteSettings(const std::string &host, int kind, const std::vector<std::string> &names);

// Rescans: the check before the discovery and its record after it.
void requireClient(const std::string &name);
void recordDiscovery(const std::string &name);

}  // namespace store
