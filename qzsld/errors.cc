#include "errors.h"

#include <ctime>

#include "text.h"

namespace SL = Corvane::Tessark::SL;

static CORBA::WChar *wideCopy(const std::string &utf8) {
  std::wstring wide = utf8ToWide(utf8);
  return CORBA::wstring_dup(wide.c_str());
}

SL::QZSLOpException serviceException(const std::string &host, const std::vector<ErrorText> &records,
                                     int domain, long when) {
  SL::ErrorRecordSeq sequence;
  sequence.length(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    sequence[i].errorCode = records[i].errorCode;
    sequence[i].recIndex = records[i].recIndex;
    sequence[i].localizedMsg = wideCopy(records[i].localizedMsg);
    sequence[i].additionalMsg = wideCopy(records[i].additionalMsg);
  }
  return SL::QZSLOpException(domain, when == -1 ? (long)time(nullptr) : when, host.c_str(), sequence);
}

void refuse(int code, const std::string &host, const std::string &message) {
  ErrorText record;
  record.errorCode = code;
  record.localizedMsg = message;
  throw serviceException(host, {record});
}
