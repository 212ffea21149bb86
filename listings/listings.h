// The read-only commands.
#pragma once
#include <jansson.h>

#include "ftservice.hh"

void listSANClients(int selector, json_t *telemetryArray);
int printClientDetails(Corvane::Tessark::SL::FATServiceMgmt::SANClientInfo *info, json_t *array);
void listFATServers(int selector, json_t *telemetryArray);
int printServerDetails(Corvane::Tessark::DL::FATServer::FATServerInfo *info, json_t *array);
void listFATTargets(int selector);
int printTargetDetails(Corvane::Tessark::DL::FATServer::FATServerInfo *info);
int listActivePipeConnections(int selector, int reportFlag);
int listAllActiveConnections();
