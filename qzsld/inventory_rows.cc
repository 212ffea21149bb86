#include "inventory_rows.h"

#include "errors.h"
#include "machinetype.h"
#include "recordjson.h"
#include "sqlrows.h"

namespace store {

namespace {

// One layout per table of records (sqlrows.h tells the column kinds).
const TableLayout SERVER = {"server",
                          {{"hostName", 's'},
                           {"masterServerName", 's'},
                           {"numberOfConnections", 'i'},
                           {"operatingSystem", 'i'},
                           {"serviceName", 's'},
                           {"state", 'i'},
                           {"serviceVersion", 's'},
                           {"config", 'p'},
                           {"config.maxNumberOfPipes", 'i'},
                           {"config.recommendedNumberOfPipes", 'i'},
                           {"config.numberOfPipes", 'i'},
                           {"config.maxNumberOfLUNsPerPort", 'i'},
                           {"config.maxNumberOfPorts", 'i'},
                           {"config.expansion", 'j'},
                           {"addresses", 'j'},
                           {"expansion", 'j'}}};
const TableLayout TARGET_PORT = {"target_port",
                               {{"portd", 'i'},
                                {"vendor", 's'},
                                {"portNumber", 'i'},
                                {"mode", 'i'},
                                {"status", 'i'},
                                {"model", 's'},
                                {"portWWN", 's'},
                                {"expansion", 'j'}}};
const TableLayout LUN = {"lun",
                       {{"lun", 'i'}, {"status", 'i'}, {"inquiryPageCode83", 's'}, {"expansion", 'j'}}};
const TableLayout SERVER_PIPE = {"server_pipe",
                               {{"bufferCtrl", 'j'},
                                {"address", 'j'},
                                {"status", 'i'},
                                {"direction", 'i'},
                                {"pipeId", 'i'},
                                {"expansion", 'j'}}};
const TableLayout CLIENT = {"client",
                          {{"hostName", 's'},
                           {"masterServerName", 's'},
                           {"machine", 'p'},
                           {"machine.operatingSystem", 'i'},
                           {"machine.supportFATDeviceScan", 'b'},
                           {"machine.expansion", 'j'},
                           {"serviceName", 's'},
                           {"state", 'i'},
                           {"serviceVersion", 's'},
                           {"addresses", 'j'},
                           {"expansion", 'j'}}};
const TableLayout HBA_PORT = {"hba_port",
                            {{"vendor", 's'},
                             {"portNumber", 'i'},
                             {"status", 'i'},
                             {"driverName", 's'},
                             {"portId", 'i'},
                             {"model", 's'},
                             {"driverVersion", 's'},
                             {"portWWN", 's'},
                             {"expansion", 'j'}}};
// "device" holds a copy of the pseudo device only when it is not one of the
// stored LUNs of its FT server; otherwise the lun column points at it.
const TableLayout CLIENT_DEVICE = {"client_device",
                                 {{"device", 'j'},
                                  {"deviceServerName", 's'},
                                  {"status", 'i'},
                                  {"name", 's'},
                                  {"expansion", 'j'}}};
const TableLayout CLIENT_PIPE = {"client_pipe",
                               {{"status", 'i'},
                                {"buffer", 'j'},
                                {"direction", 'i'},
                                {"job", 'p'},
                                {"job.extraInfo", 'p'},
                                {"job.extraInfo.sqlServerInstanceID", 's'},
                                {"job.extraInfo.sqlServerVersion", 's'},
                                {"job.extraInfo.altBufferInfo", 's'},
                                {"job.extraInfo.sqlAltRestoreEvent", 's'},
                                {"job.extraInfo.reserved", 's'},
                                {"job.extraInfo.expansion", 'j'},
                                {"job.jobId", 's'},
                                {"job.jobGroupId", 's'},
                                {"job.backupId", 's'},
                                {"job.requestingUser", 's'},
                                {"job.expansion", 'j'},
                                {"pipeId", 'i'},
                                {"stats", 'p'},
                                {"stats.numClientWait", 'i'},
                                {"stats.effectiveElapsedTime", 'I'},
                                {"stats.numDataNotReady", 'i'},
                                {"stats.numIoNotReady", 'i'},
                                {"stats.realElapsedTime", 'I'},
                                {"stats.numErrorAgainTransfer", 'i'},
                                {"stats.numDataMissingTransfer", 'i'},
                                {"stats.numTotalBytes", 'I'},
                                {"stats.numCheckCondition", 'i'},
                                {"stats.numRetries", 'i'},
                                {"stats.numErrorIoDevice", 'i'},
                                {"stats.numErrorSemTimeout", 'i'},
                                {"stats.expansion", 'j'},
                                {"expansion", 'j'}}};
const TableLayout USAGE = {"usage",
                         {{"usagePref", 's'},
                          {"waitPeriod", 'p'},
                          {"waitPeriod.backupWaitPeriod", 'i'},
                          {"waitPeriod.restoreWaitPeriod", 'i'},
                          {"isClientUsageInfo", 'b'}}};

const std::string LUN_SELECT = selectList(LUN, "l") + ", " + selectList(TARGET_PORT, "p");
const std::string LUN_JOIN = " LEFT JOIN target_port p ON p.id = l.port";
const std::string DEVICE_SELECT =
    selectList(CLIENT_DEVICE, "d") + ", " + LUN_SELECT + ", " + selectList(HBA_PORT, "h");
const std::string DEVICE_JOIN =
    " LEFT JOIN lun l ON l.id = d.lun" + LUN_JOIN + " LEFT JOIN hba_port h ON h.id = d.hbaPort";

json_t *readLun(sqlite3_stmt *s, int &at) {
  json_t *lun = readRecord(s, LUN, at);
  json_t *port = readRecord(s, TARGET_PORT, at);
  if (json_is_object(lun))
    json_object_set_new(lun, "devicePort", port);
  else
    json_decref(port);
  return lun;
}

json_t *readClientDevice(sqlite3_stmt *s, int &at) {
  json_t *device = readRecord(s, CLIENT_DEVICE, at);
  json_t *lun = readLun(s, at);
  json_t *hba = readRecord(s, HBA_PORT, at);
  if (!json_is_object(device)) {
    json_decref(lun);
    json_decref(hba);
    return device;
  }
  if (json_is_object(lun))
    json_object_set_new(device, "device", lun);
  else
    json_decref(lun);
  json_object_set_new(device, "hbaPort", hba);
  return device;
}

// What a client gets when neither it nor its master server has a usage
// preference: FT is not used.
json_t *builtInUsage() {
  return json_pack("{s:s, s:{s:i, s:i}, s:b}", "usagePref", "Never", "waitPeriod", "backupWaitPeriod", 0,
                   "restoreWaitPeriod", 0, "isClientUsageInfo", 0);
}

std::string deviceKey(json_t *device) {
  json_t *canonical = canonicalRecord<SV::FATPseudoDeviceInfo>(device, "device");
  std::string key = compactJson(canonical);
  json_decref(canonical);
  return key;
}

std::optional<sqlite3_int64> findLun(LunIndex &index, const std::string &server, json_t *device) {
  auto known = index.find(server);
  if (known == index.end()) {
    std::map<std::string, sqlite3_int64> &luns = index[server];
    sqlite3_stmt *s = query("SELECT " + LUN_SELECT + " FROM lun l" + LUN_JOIN +
                                " JOIN server sv ON sv.id = l.server"
                                " WHERE sv.hostName = ? ORDER BY l.listed DESC, l.id",
                            server);
    while (next(s)) {
      int at = 0;
      sqlite3_int64 id = sqlite3_column_int64(s, 0);
      Json lun(readLun(s, at));
      luns.emplace(deviceKey(lun.get()), id);
    }
    known = index.find(server);
  }
  auto found = known->second.find(compactJson(device));
  if (found == known->second.end())
    return std::nullopt;
  return found->second;
}

// The row of an equal record among `rows` (keyed by canonical encoding), or a
// new one made by `insert`.
sqlite3_int64 rowFor(std::map<std::string, sqlite3_int64> &rows, json_t *record,
                     const std::function<sqlite3_int64()> &insert) {
  std::string key = compactJson(record);
  auto found = rows.find(key);
  if (found != rows.end())
    return found->second;
  sqlite3_int64 id = insert();
  rows.emplace(key, id);
  return id;
}

std::optional<sqlite3_int64> portRow(sqlite3_int64 server, json_t *port,
                                     std::map<std::string, sqlite3_int64> &ports) {
  if (json_is_null(port))
    return std::nullopt;
  return rowFor(ports, port, [&] { return insertRecord(TARGET_PORT, {{"server", server}}, port); });
}

sqlite3_int64 lunRow(sqlite3_int64 server, json_t *device, bool listed,
                     std::map<std::string, sqlite3_int64> &ports) {
  std::optional<sqlite3_int64> port = portRow(server, json_object_get(device, "devicePort"), ports);
  return insertRecord(LUN, {{"server", server}, {"listed", listed ? 1 : 0}, {"port", port}}, device);
}

sqlite3_int64 deviceRow(sqlite3_int64 client, json_t *device, bool listed, LunIndex &index,
                        std::map<std::string, sqlite3_int64> &hbas) {
  json_t *hba = json_object_get(device, "hbaPort");
  std::optional<sqlite3_int64> hbaId;
  if (!json_is_null(hba))
    hbaId = rowFor(hbas, hba, [&] { return insertRecord(HBA_PORT, {{"client", client}}, hba); });
  json_t *lun = json_object_get(device, "device");
  std::optional<sqlite3_int64> lunId;
  if (!json_is_null(lun))
    lunId = findLun(index, json_string_value(json_object_get(device, "deviceServerName")), lun);
  // A device that is one of the stored LUNs is kept only as the reference.
  Json row(json_copy(device));
  if (lunId)
    json_object_set_new(row.get(), "device", json_null());
  return insertRecord(CLIENT_DEVICE,
                      {{"client", client}, {"listed", listed ? 1 : 0}, {"lun", lunId}, {"hbaPort", hbaId}},
                      row.get());
}

const char *const SCHEMA_TABLES[] = {"setting", "usage", "client_pipe", "client_device", "hba_port",
                                     "client", "server_pipe", "lun", "target_port", "server"};

}  // namespace

std::optional<sqlite3_int64> serverId(const std::string &name) {
  return scalar("SELECT id FROM server WHERE hostName = ?", name);
}
std::optional<sqlite3_int64> clientId(const std::string &name) {
  return scalar("SELECT id FROM client WHERE hostName = ?", name);
}

json_t *serverJson(sqlite3_int64 id) {
  int at = 0;
  sqlite3_stmt *s = query("SELECT " + selectList(SERVER, "s") + " FROM server s WHERE s.id = ?", id);
  if (!next(s))
    return json_null();
  json_t *server = readRecord(s, SERVER, at);
  sqlite3_reset(s);
  json_t *devices = json_array();
  s = query("SELECT " + LUN_SELECT + " FROM lun l" + LUN_JOIN +
                " WHERE l.server = ? AND l.listed = 1 ORDER BY l.id",
            id);
  while (next(s)) {
    at = 0;
    json_array_append_new(devices, readLun(s, at));
  }
  json_object_set_new(server, "devices", devices);
  json_t *pipes = json_array();
  s = query("SELECT " + selectList(SERVER_PIPE, "sp") + ", " + LUN_SELECT +
                " FROM server_pipe sp LEFT JOIN lun l ON l.id = sp.device" + LUN_JOIN +
                " WHERE sp.server = ? ORDER BY sp.id",
            id);
  while (next(s)) {
    at = 0;
    json_t *pipe = readRecord(s, SERVER_PIPE, at);
    json_object_set_new(pipe, "device", readLun(s, at));
    json_array_append_new(pipes, pipe);
  }
  json_object_set_new(server, "pipes", pipes);
  return server;
}

json_t *clientJson(sqlite3_int64 id) {
  int at = 0;
  sqlite3_stmt *s = query("SELECT " + selectList(CLIENT, "c") + " FROM client c WHERE c.id = ?", id);
  if (!next(s))
    return json_null();
  json_t *client = readRecord(s, CLIENT, at);
  sqlite3_reset(s);
  json_t *devices = json_array();
  s = query("SELECT " + DEVICE_SELECT + " FROM client_device d" + DEVICE_JOIN +
                " WHERE d.client = ? AND d.listed = 1 ORDER BY d.id",
            id);
  while (next(s)) {
    at = 0;
    json_array_append_new(devices, readClientDevice(s, at));
  }
  json_object_set_new(client, "hostDevices", devices);
  json_t *pipes = json_array();
  s = query("SELECT " + selectList(CLIENT_PIPE, "cp") + ", " + DEVICE_SELECT +
                " FROM client_pipe cp LEFT JOIN client_device d ON d.id = cp.device" + DEVICE_JOIN +
                " WHERE cp.client = ? ORDER BY cp.id",
            id);
  while (next(s)) {
    at = 0;
    json_t *pipe = readRecord(s, CLIENT_PIPE, at);
    json_object_set_new(pipe, "devicePath", readClientDevice(s, at));
    json_array_append_new(pipes, pipe);
  }
  json_object_set_new(client, "pipes", pipes);
  return client;
}

json_t *storedUsage(const std::string &host, int kind) {
  sqlite3_stmt *s = query("SELECT " + selectList(USAGE, "u") +
                              " FROM usage u WHERE u.host = ? AND u.machineType = ?",
                          host, kind);
  if (!next(s))
    return nullptr;
  int at = 0;
  json_t *usage = readRecord(s, USAGE, at);
  sqlite3_reset(s);
  return usage;
}

json_t *sanClientJson(sqlite3_int64 id) {
  json_t *client = clientJson(id);
  std::string host = json_string_value(json_object_get(client, "hostName"));
  json_t *usage = storedUsage(host, MACHINE_CLIENT);
  if (!usage) {
    json_t *master = json_object_get(client, "masterServerName");
    usage = storedUsage(json_string_value(master), MACHINE_MASTER);
  }
  return json_pack("{s:o, s:o}", "fatClientInfo", client, "afatUsageInfo", usage ? usage : builtInUsage());
}

std::vector<sqlite3_int64> ids(sqlite3_stmt *s) {
  std::vector<sqlite3_int64> found;
  while (next(s))
    found.push_back(sqlite3_column_int64(s, 0));
  return found;
}

sqlite3_int64 requireServer(const std::string &name) {
  std::optional<sqlite3_int64> id = serverId(name);
  if (!id)
    refuse(UNKNOWN_SERVER, name, "FT server " + name + " is not known to the FT service");
  return *id;
}

sqlite3_int64 requireClientId(const std::string &name) {
  std::optional<sqlite3_int64> id = clientId(name);
  if (!id)
    refuse(UNKNOWN_CLIENT, name, "SAN client " + name + " is not known to the FT service");
  return *id;
}

// Stores a canonical FATServerInfo.
sqlite3_int64 storeServer(json_t *server) {
  std::string name = json_string_value(json_object_get(server, "hostName"));
  if (name.empty())
    refuse(INVALID_ARGUMENT, name, "an FT server needs a host name");
  if (serverId(name))
    refuse(SERVER_EXISTS, name, "FT server " + name + " already exists");
  sqlite3_int64 id = insertRecord(SERVER, {}, server);
  std::map<std::string, sqlite3_int64> ports, luns;
  size_t i;
  json_t *device;
  json_array_foreach(json_object_get(server, "devices"), i, device) {
    if (json_is_null(device))
      continue;
    sqlite3_int64 lun = lunRow(id, device, true, ports);
    luns.emplace(compactJson(device), lun);
  }
  json_t *pipe;
  json_array_foreach(json_object_get(server, "pipes"), i, pipe) {
    if (json_is_null(pipe))
      continue;
    json_t *pipeDevice = json_object_get(pipe, "device");
    std::optional<sqlite3_int64> lun;
    if (!json_is_null(pipeDevice))
      lun = rowFor(luns, pipeDevice, [&] { return lunRow(id, pipeDevice, false, ports); });
    insertRecord(SERVER_PIPE, {{"server", id}, {"device", lun}}, pipe);
  }
  return id;
}

// Stores a canonical FATClientInfo.
sqlite3_int64 storeClient(json_t *client, LunIndex &index) {
  std::string name = json_string_value(json_object_get(client, "hostName"));
  if (name.empty())
    refuse(INVALID_ARGUMENT, name, "a SAN client needs a host name");
  if (clientId(name))
    refuse(CLIENT_EXISTS, name, "SAN client " + name + " already exists");
  sqlite3_int64 id = insertRecord(CLIENT, {}, client);
  std::map<std::string, sqlite3_int64> hbas, devices;
  size_t i;
  json_t *device;
  json_array_foreach(json_object_get(client, "hostDevices"), i, device) {
    if (json_is_null(device))
      continue;
    sqlite3_int64 row = deviceRow(id, device, true, index, hbas);
    devices.emplace(compactJson(device), row);
  }
  json_t *pipe;
  json_array_foreach(json_object_get(client, "pipes"), i, pipe) {
    if (json_is_null(pipe))
      continue;
    json_t *path = json_object_get(pipe, "devicePath");
    std::optional<sqlite3_int64> row;
    if (!json_is_null(path))
      row = rowFor(devices, path, [&] { return deviceRow(id, path, false, index, hbas); });
    insertRecord(CLIENT_PIPE, {{"client", id}, {"device", row}}, pipe);
  }
  return id;
}

void storeUsage(const std::string &host, int kind, json_t *usage) {
  insertRecord(USAGE, {{"host", std::nullopt, host.c_str()}, {"machineType", kind}}, usage,
               "host, machineType");
}

void storeSetting(const std::string &host, int kind, const std::string &name, const std::string &value) {
  run("INSERT INTO setting (host, machineType, confName, confValue) VALUES (?, ?, ?, ?)"
      " ON CONFLICT (host, machineType, confName) DO UPDATE SET confValue = excluded.confValue",
      host, kind, name, value);
}

void createSchema() {
  exec("CREATE TABLE IF NOT EXISTS server (id INTEGER PRIMARY KEY" + columnsDdl(SERVER) +
       ", UNIQUE (hostName))");
  exec("CREATE INDEX IF NOT EXISTS server_master ON server (masterServerName)");
  exec("CREATE TABLE IF NOT EXISTS target_port (id INTEGER PRIMARY KEY,"
       " server INTEGER NOT NULL REFERENCES server (id) ON DELETE CASCADE" +
       columnsDdl(TARGET_PORT) + ")");
  exec("CREATE INDEX IF NOT EXISTS target_port_server ON target_port (server)");
  exec("CREATE TABLE IF NOT EXISTS lun (id INTEGER PRIMARY KEY,"
       " server INTEGER NOT NULL REFERENCES server (id) ON DELETE CASCADE,"
       " listed INTEGER NOT NULL,"
       " port INTEGER REFERENCES target_port (id) ON DELETE CASCADE" +
       columnsDdl(LUN) + ")");
  exec("CREATE INDEX IF NOT EXISTS lun_server ON lun (server)");
  exec("CREATE INDEX IF NOT EXISTS lun_port ON lun (port)");
  exec("CREATE TABLE IF NOT EXISTS server_pipe (id INTEGER PRIMARY KEY,"
       " server INTEGER NOT NULL REFERENCES server (id) ON DELETE CASCADE,"
       " device INTEGER REFERENCES lun (id) ON DELETE CASCADE" +
       columnsDdl(SERVER_PIPE) + ")");
  exec("CREATE INDEX IF NOT EXISTS server_pipe_server ON server_pipe (server)");
  exec("CREATE INDEX IF NOT EXISTS server_pipe_device ON server_pipe (device)");
  exec("CREATE TABLE IF NOT EXISTS client (id INTEGER PRIMARY KEY" + columnsDdl(CLIENT) +
       ", lastDiscovery REAL, UNIQUE (hostName))");
  exec("CREATE INDEX IF NOT EXISTS client_master ON client (masterServerName)");
  exec("CREATE TABLE IF NOT EXISTS hba_port (id INTEGER PRIMARY KEY,"
       " client INTEGER NOT NULL REFERENCES client (id) ON DELETE CASCADE" +
       columnsDdl(HBA_PORT) + ")");
  exec("CREATE INDEX IF NOT EXISTS hba_port_client ON hba_port (client)");
  exec("CREATE TABLE IF NOT EXISTS client_device (id INTEGER PRIMARY KEY,"
       " client INTEGER NOT NULL REFERENCES client (id) ON DELETE CASCADE,"
       " listed INTEGER NOT NULL,"
       " lun INTEGER REFERENCES lun (id) ON DELETE CASCADE,"
       " hbaPort INTEGER REFERENCES hba_port (id) ON DELETE CASCADE" +
       columnsDdl(CLIENT_DEVICE) + ")");
  exec("CREATE INDEX IF NOT EXISTS client_device_client ON client_device (client, listed)");
  exec("CREATE INDEX IF NOT EXISTS client_device_lun ON client_device (lun)");
  exec("CREATE INDEX IF NOT EXISTS client_device_hba ON client_device (hbaPort)");
  exec("CREATE INDEX IF NOT EXISTS client_device_server ON client_device (deviceServerName)");
  exec("CREATE TABLE IF NOT EXISTS client_pipe (id INTEGER PRIMARY KEY,"
       " client INTEGER NOT NULL REFERENCES client (id) ON DELETE CASCADE,"
       " device INTEGER REFERENCES client_device (id) ON DELETE CASCADE" +
       columnsDdl(CLIENT_PIPE) + ")");
  exec("CREATE INDEX IF NOT EXISTS client_pipe_client ON client_pipe (client)");
  exec("CREATE INDEX IF NOT EXISTS client_pipe_device ON client_pipe (device)");
  exec("CREATE TABLE IF NOT EXISTS usage (id INTEGER PRIMARY KEY, host TEXT NOT NULL, machineType INTEGER NOT NULL" +
       columnsDdl(USAGE) + ", UNIQUE (host, machineType))");
  exec("CREATE TABLE IF NOT EXISTS setting (id INTEGER PRIMARY KEY, host TEXT NOT NULL, machineType INTEGER NOT NULL,"
       " confName TEXT NOT NULL, confValue TEXT NOT NULL, UNIQUE (host, machineType, confName))");
}

void clearInventory() {
  for (const char *table : SCHEMA_TABLES)
    run(std::string("DELETE FROM ") + table);
}

// A client's own usage preference travels with the client, so it is not here.
json_t *usageEntries() {
  json_t *usages = json_array();
  sqlite3_stmt *s = query("SELECT " + selectList(USAGE, "u") +
                          ", u.host, u.machineType FROM usage u WHERE NOT (u.machineType = 2 AND"
                          " u.host IN (SELECT hostName FROM client)) ORDER BY u.id");
  while (next(s)) {
    int at = 0;
    Json usage(readRecord(s, USAGE, at));
    json_array_append_new(usages, json_pack("{s:s, s:s, s:o}", "host", text(s, at).c_str(), "machineType",
                                            machineTypeName(sqlite3_column_int(s, at + 1)), "usage",
                                            canonicalRecord<FT::FATUsageInfo>(usage.get(), "usage")));
  }
  return usages;
}

json_t *settingEntries() {
  json_t *settings = json_array();
  sqlite3_stmt *s = query("SELECT host, machineType, confName, confValue FROM setting ORDER BY id");
  while (next(s))
    json_array_append_new(settings, json_pack("{s:s, s:s, s:s, s:s}", "host", text(s, 0).c_str(),
                                              "machineType", machineTypeName(sqlite3_column_int(s, 1)),
                                              "confName", text(s, 2).c_str(), "confValue",
                                              text(s, 3).c_str()));
  return settings;
}

}  // namespace store
