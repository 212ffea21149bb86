// What the change commands share: the records they send, the usage
// preference store with its fall-back, and their success report.
#pragma once
#include "ftservice.hh"
#include "run/report.h"

namespace FSM = Corvane::Tessark::SL::FATServiceMgmt;

// FT configuration keys.
extern const char *const CLIENT_PORTS_PER_SERVER_KEY;  // "FT_MAX_CLIENT_PORTS_PER_SERVER"
extern const char *const CLIENTS_PER_PORT_KEY;         // "FT_MAX_CLIENTS_PER_PORT"

// The generated default constructors leave long and boolean members
// undefined, so every record sent is built with all of its fields.
FSM::FTConfigInfo *newConfigInfo(const char *name, const char *value);
// A sequence holding the single setting `name` = `value`.
FSM::FTConfigInfoSeq oneSetting(const char *name, const char *value);
// The usage record of the command line: "preferred" with ftwait and ftrwait,
// otherwise the preference of ftpreference with both waits 0.
FSM::FATUsageInfo *newUsageInfo(bool preferred);

// Stores `usage` for `host` with setUsageInfo, or with addUsageInfo when the
// service refuses that (the host has no record yet). A refusal of the second
// call is reported with `failId`/`failText` and ends the run.
void storeUsageInfo(const char *host, FSM::QZSL_QZU_MACHINE_TYPE type, FSM::FATUsageInfo *usage,
                    const char *failId, const char *failText);

// Prints the command's success message on stdout and gives the command's
// status, 0.
int reportSuccess(const char *id, const char *text, const char *object);
