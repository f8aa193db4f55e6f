#include "support/result_printer.h"

namespace {
struct Named {
  ResultCode code;
  const char* name;
};

constexpr Named kNames[] = {
    {kResultOk, "kResultOk"},
    {kResultCancelled, "kResultCancelled"},
    {kResultEndOfMembers, "kResultEndOfMembers"},
    {kResultEmptyBlock, "kResultEmptyBlock"},
    {kResultNoCallback, "kResultNoCallback"},
    {kResultNoMemory, "kResultNoMemory"},
    {kResultNotFound, "kResultNotFound"},
    {kResultLimit, "kResultLimit"},
    {kResultThread, "kResultThread"},
    {kResultWindow, "kResultWindow"},
    {kResultOpen, "kResultOpen"},
    {kResultRead, "kResultRead"},
    {kResultSave, "kResultSave"},
    {kResultWrite, "kResultWrite"},
    {kResultDiskFull, "kResultDiskFull"},
    {kResultNotArchive, "kResultNotArchive"},
    {kResultNewerVersion, "kResultNewerVersion"},
    {kResultChecksum, "kResultChecksum"},
    {kResultUnexpectedEnd, "kResultUnexpectedEnd"},
    {kResultFormat, "kResultFormat"},
    {kResultUnsupportedMethod, "kResultUnsupportedMethod"},
    {kResultPassword, "kResultPassword"},
    {kResultFolderOpen, "kResultFolderOpen"},
    {kResultNameDoesNotFit, "kResultNameDoesNotFit"},
    {kResultNotAFile, "kResultNotAFile"},
    {kResultLinkInPath, "kResultLinkInPath"},
    {kResultNameLengthFixed, "kResultNameLengthFixed"},
    {kResultNameChangesType, "kResultNameChangesType"},
};
}  // namespace

void PrintTo(ResultCode code, std::ostream* out) {
  const char* name = "unnamed result";
  for (const Named& n : kNames)
    if (n.code == code) name = n.name;
  *out << name << " (" << static_cast<uint32_t>(code) << ")";
}
