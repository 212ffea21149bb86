# Writes a qzsld inventory: `servers` FT servers of `luns` LUNs each (8 LUNs
# per port) and `clients` SAN clients of `devices` devices each, every client
# with one live pipe and every server with four.
#   awk -v servers=100 -v luns=32 -v clients=2000 -v devices=4 -f gen_inventory.awk
function port(p) {
  return sprintf("{\"portNumber\": %d, \"mode\": 2, \"status\": 524288, \"portWWN\": \"21:00:00:24:ff:00:%02x:%02x\", \"model\": \"QLE2692\", \"vendor\": \"QLogic\"}", p, s % 256, p)
}
function lun(l) {
  return sprintf("{\"lun\": %d, \"status\": 1, \"devicePort\": %s}", l, port(int(l / 8) + 1))
}
function server_name(n) { return sprintf("media%04d", n) }
BEGIN {
  printf "{\"servers\": [\n"
  for (s = 1; s <= servers; s++) {
    printf "%s{\"hostName\": \"%s\", \"masterServerName\": \"master1\", \"serviceVersion\": \"9.1.0\", \"state\": %d,", (s > 1 ? ",\n" : ""), server_name(s), (s % 10 == 0 ? 0 : 1)
    printf " \"config\": {\"maxNumberOfPipes\": 32, \"numberOfPipes\": 16}, \"devices\": ["
    for (l = 0; l < luns; l++) printf "%s%s", (l ? ", " : ""), lun(l)
    printf "], \"pipes\": ["
    for (p = 0; p < 4; p++)
      printf "%s{\"status\": 2, \"direction\": %d, \"pipeId\": %d, \"device\": %s}", (p ? ", " : ""), p % 2 + 1, s * 100 + p, lun(p)
    printf "]}"
  }
  printf "],\n\"clients\": [\n"
  for (c = 1; c <= clients; c++) {
    printf "%s{\"fatClientInfo\": {\"hostName\": \"client%05d\", \"masterServerName\": \"master1\", \"serviceVersion\": \"9.1.0\", \"state\": 1, \"hostDevices\": [", (c > 1 ? ",\n" : ""), c
    for (d = 0; d < devices; d++) {
      s = (c * devices + d) % servers + 1
      l = (c + d) % luns
      dev[d] = sprintf("{\"deviceServerName\": \"%s\", \"status\": 1, \"hbaPort\": {\"portNumber\": %d}, \"device\": %s}", server_name(s), int(d / 2), lun(l))
      printf "%s%s", (d ? ", " : ""), dev[d]
    }
    printf "], \"pipes\": [{\"status\": 2, \"direction\": 1, \"pipeId\": %d, \"devicePath\": %s, \"job\": {\"jobId\": \"%d\"}}]},", c, dev[0], 1000 + c
    printf " \"afatUsageInfo\": {\"usagePref\": \"Preferred\", \"waitPeriod\": {\"backupWaitPeriod\": 15, \"restoreWaitPeriod\": 5}}}"
  }
  printf "],\n\"usage\": [{\"host\": \"master1\", \"machineType\": \"QZSL_QZU_MASTER\", \"usage\": {\"usagePref\": \"Preferred\", \"waitPeriod\": {\"backupWaitPeriod\": 15, \"restoreWaitPeriod\": 5}}}]"
  printf ",\n\"settings\": [{\"host\": \"client00001\", \"machineType\": \"QZSL_QZU_CLIENT\", \"confName\": \"FT_MAX_CLIENT_PORTS_PER_SERVER\", \"confValue\": \"4\"}]}\n"
}
