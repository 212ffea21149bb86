// The record encoding: every value type of the remote contract as JSON, one
// object per record with its IDL member names as keys. The inventory, the
// fault replies and the journal all use it.
#pragma once
#include <jansson.h>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <string>

#include "hostsession.hh"

namespace FW = Corvane::Tessark::TL::Framework;
namespace SV = Corvane::Tessark::DL::FATServer;
namespace CL = Corvane::Tessark::DL::FATClient;
namespace FT = Corvane::Tessark::SL::FATServiceMgmt;
namespace OBV_FW = OBV_Corvane::Tessark::TL::Framework;
namespace OBV_SV = OBV_Corvane::Tessark::DL::FATServer;
namespace OBV_CL = OBV_Corvane::Tessark::DL::FATClient;
namespace OBV_FT = OBV_Corvane::Tessark::SL::FATServiceMgmt;

struct JsonRelease {
  void operator()(json_t *j) const { json_decref(j); }
};
using Json = std::unique_ptr<json_t, JsonRelease>;

// Every record with its members in marshalling order (the inherited
// "expansion" of the data-layer records is handled apart).
#define QZ_FIELDS_ExpansionAttribute(F) F(name)
#define QZ_FIELDS_BaseObject(F)
#define QZ_FIELDS_NameAliasInfo(F) F(aliasName)
#define QZ_FIELDS_IPAddressInfo(F) F(type) F(address) F(cluster) F(alias_) F(size) F(primaryName)
#define QZ_FIELDS_FATPortInfo(F) \
  F(portd) F(vendor) F(portNumber) F(mode) F(status) F(model) F(portWWN)
#define QZ_FIELDS_FATPseudoDeviceInfo(F) F(lun) F(devicePort) F(status) F(inquiryPageCode83)
#define QZ_FIELDS_FATPipeNexusInfo(F) F(lun) F(initiatorId) F(targetId)
#define QZ_FIELDS_FATBufferCtrlInfo(F) \
  F(shmId) F(owner) F(ownerPid) F(shmSize) F(multiplexed) F(bufferSegmentSize) F(shmFlags) \
  F(numBufferSegment)
#define QZ_FIELDS_FATPipeInfo(F) F(device) F(bufferCtrl) F(address) F(status) F(direction) F(pipeId)
#define QZ_FIELDS_FATServerConfigurationInfo(F) \
  F(maxNumberOfPipes) F(recommendedNumberOfPipes) F(numberOfPipes) F(maxNumberOfLUNsPerPort) \
  F(maxNumberOfPorts)
#define QZ_FIELDS_FATServerInfo(F) \
  F(addresses) F(devices) F(numberOfConnections) F(masterServerName) F(operatingSystem) \
  F(config) F(hostName) F(serviceName) F(pipes) F(state) F(serviceVersion)
#define QZ_FIELDS_ClientHBAPortInfo(F) \
  F(vendor) F(portNumber) F(status) F(driverName) F(portId) F(model) F(driverVersion) F(portWWN)
#define QZ_FIELDS_FATClientDeviceInfo(F) F(device) F(hbaPort) F(deviceServerName) F(status) F(name)
#define QZ_FIELDS_FATMachineInfo(F) F(operatingSystem) F(supportFATDeviceScan)
#define QZ_FIELDS_JobExtraInfo(F) \
  F(sqlServerInstanceID) F(sqlServerVersion) F(altBufferInfo) F(sqlAltRestoreEvent) F(reserved)
#define QZ_FIELDS_FATClientJobInfo(F) F(extraInfo) F(jobId) F(jobGroupId) F(backupId) F(requestingUser)
#define QZ_FIELDS_FTPipeStatInfo(F) \
  F(numClientWait) F(effectiveElapsedTime) F(numDataNotReady) F(numIoNotReady) F(realElapsedTime) \
  F(numErrorAgainTransfer) F(numDataMissingTransfer) F(numTotalBytes) F(numCheckCondition) \
  F(numRetries) F(numErrorIoDevice) F(numErrorSemTimeout)
#define QZ_FIELDS_FATClientPipeInfo(F) \
  F(devicePath) F(status) F(buffer) F(direction) F(job) F(pipeId) F(stats)
#define QZ_FIELDS_FATClientInfo(F) \
  F(addresses) F(hostDevices) F(masterServerName) F(machine) F(hostName) F(serviceName) F(pipes) \
  F(state) F(serviceVersion)
#define QZ_FIELDS_FATUsagePreference(F)
#define QZ_FIELDS_FATWaitPeriod(F) F(backupWaitPeriod) F(restoreWaitPeriod)
#define QZ_FIELDS_FATUsageInfo(F) F(usagePref) F(waitPeriod) F(isClientUsageInfo)
#define QZ_FIELDS_FTConfigInfo(F) F(confName) F(confValue) F(isClient)
#define QZ_FIELDS_SANClientInfo(F) F(fatClientInfo) F(afatUsageInfo)

#define QZ_RECORDS(X) \
  X(FW, ExpansionAttribute) X(FW, BaseObject) X(SV, NameAliasInfo) X(SV, IPAddressInfo) \
  X(SV, FATPortInfo) X(SV, FATPseudoDeviceInfo) X(SV, FATPipeNexusInfo) X(SV, FATBufferCtrlInfo) \
  X(SV, FATPipeInfo) X(SV, FATServerConfigurationInfo) X(SV, FATServerInfo) \
  X(CL, ClientHBAPortInfo) X(CL, FATClientDeviceInfo) X(CL, FATMachineInfo) X(CL, JobExtraInfo) \
  X(CL, FATClientJobInfo) X(CL, FTPipeStatInfo) X(CL, FATClientPipeInfo) X(CL, FATClientInfo) \
  X(CL, FATUsagePreference) X(FT, FATWaitPeriod) X(FT, FATUsageInfo) X(FT, FTConfigInfo) \
  X(FT, SANClientInfo)

// Where and why JSON does not fit a record: `where` is the member path below
// the value being decoded (".devicePort.mode", "[2]"), filled in while the
// error travels up.
struct DecodeError {
  std::string where;
  std::string what;
};

// toJson gives a new JSON value: null for a null record, members in
// marshalling order, "expansion" only when it is not empty. decodeRecord
// builds a new record from JSON (null gives a null record); missing members
// take their defaults; an unknown member or a value of the wrong type throws
// DecodeError.
#define QZ_DECLARE(NS, T) \
  json_t *toJson(const NS::T *record); \
  void decodeRecord(json_t *json, NS::T *&record);
QZ_RECORDS(QZ_DECLARE)
#undef QZ_DECLARE

// Registers a value factory for every record with the ORB.
void registerValueFactories(CORBA::ORB_ptr orb);

// A JSON string of `text`; bytes that are not UTF-8 become U+FFFD.
json_t *jsonText(const char *text);
// `json` as one line of compact JSON, keys in their order.
std::string compactJson(const json_t *json);

template <class T, class E, class H>
T *sequenceElement(const _CORBA_Unbounded_Sequence_Value<T, E, H> *);

// A sequence of records as a JSON array (null elements stay null).
template <class S> json_t *sequenceToJson(const S &sequence) {
  json_t *array = json_array();
  for (CORBA::ULong i = 0; i < sequence.length(); ++i)
    json_array_append_new(array, toJson(sequence[i].in()));
  return array;
}

// A JSON array (or null, or nothing) of records as a new sequence; throws DecodeError.
template <class S> S *decodeElements(json_t *json) {
  using T = std::remove_pointer_t<decltype(sequenceElement((S *)nullptr))>;
  std::unique_ptr<S> sequence(new S);
  if (!json || json_is_null(json))
    return sequence.release();
  if (!json_is_array(json))
    throw DecodeError{"", "expected an array"};
  sequence->length(json_array_size(json));
  for (size_t i = 0; i < json_array_size(json); ++i) {
    T *element = nullptr;
    try {
      decodeRecord(json_array_get(json, i), element);
    } catch (DecodeError &e) {
      e.where = "[" + std::to_string(i) + "]" + e.where;
      throw;
    }
    (*sequence)[i] = element;
  }
  return sequence.release();
}

// The same, throwing std::runtime_error naming the member below `path`.
template <class T> void decode(json_t *json, const std::string &path, T *&record) {
  try {
    decodeRecord(json, record);
  } catch (const DecodeError &e) {
    throw std::runtime_error(path + e.where + ": " + e.what);
  }
}
template <class S> S *decodeSequence(json_t *json, const std::string &path) {
  try {
    return decodeElements<S>(json);
  } catch (const DecodeError &e) {
    throw std::runtime_error(path + e.where + ": " + e.what);
  }
}

// `json` read as a record of type T and written back: every member present,
// in marshalling order. Throws like decode.
template <class T> json_t *canonicalRecord(json_t *json, const std::string &path) {
  T *record = nullptr;
  decode(json, path, record);
  json_t *out = toJson(record);
  if (record)
    record->_remove_ref();
  return out;
}
