#include "support/result_printer.h"

namespace {
struct Named {
  ResultCode code;
  const char* name;
};

#define N(code) {code, #code}
constexpr Named kNames[] = {
    N(kResultOk), N(kResultCancelled), N(kResultEndOfMembers), N(kResultEmptyBlock), N(kResultNoCallback),
    N(kResultNoMemory), N(kResultNotFound), N(kResultLimit), N(kResultThread), N(kResultWindow), N(kResultOpen),
    N(kResultRead), N(kResultSave), N(kResultWrite), N(kResultDiskFull), N(kResultNotArchive),
    N(kResultNewerVersion), N(kResultChecksum), N(kResultUnexpectedEnd), N(kResultFormat),
    N(kResultUnsupportedMethod), N(kResultPassword), N(kResultFolderOpen), N(kResultNameDoesNotFit),
    N(kResultNotAFile), N(kResultLinkInPath), N(kResultNameLengthFixed), N(kResultNameChangesType),
};
#undef N
}  // namespace

void PrintTo(ResultCode code, std::ostream* out) {
  const char* name = "unnamed result";
  for (const Named& n : kNames)
    if (n.code == code) name = n.name;
  *out << name << " (" << static_cast<uint32_t>(code) << ")";
}
