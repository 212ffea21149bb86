// The FT inventory's tables: the schema, FT servers and SAN clients read as
// records, and records stored as rows. Callers hold the store's mutex and
// run these inside a transaction.
#pragma once
#include <jansson.h>
#include <map>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace store {

void createSchema();
// Deletes every row of the inventory.
void clearInventory();

std::optional<sqlite3_int64> serverId(const std::string &name);
std::optional<sqlite3_int64> clientId(const std::string &name);
// The id of a known server or client; refuses an unknown one.
sqlite3_int64 requireServer(const std::string &name);
sqlite3_int64 requireClientId(const std::string &name);
// The ids a query of one id column returns.
std::vector<sqlite3_int64> ids(sqlite3_stmt *s);

// FATServerInfo and FATClientInfo of a row.
json_t *serverJson(sqlite3_int64 id);
json_t *clientJson(sqlite3_int64 id);
// SANClientInfo of a stored client: its own usage preference, else its master
// server's default, else the built-in one.
json_t *sanClientJson(sqlite3_int64 id);
// The stored usage record of (host, kind), or nullptr.
json_t *storedUsage(const std::string &host, int kind);
// The export's "usage" entries (all but the clients' own) and "settings" entries.
json_t *usageEntries();
json_t *settingEntries();

// For each FT server name, its stored LUNs by their canonical encoding.
using LunIndex = std::map<std::string, std::map<std::string, sqlite3_int64>>;
// Store a canonical FATServerInfo or FATClientInfo; a name that exists is refused.
sqlite3_int64 storeServer(json_t *server);
sqlite3_int64 storeClient(json_t *client, LunIndex &index);
void storeUsage(const std::string &host, int kind, json_t *usage);
void storeSetting(const std::string &host, int kind, const std::string &name, const std::string &value);

}  // namespace store
