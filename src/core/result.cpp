#include "core/result.h"

namespace {
struct ResultMessage {
  ResultCode code;
  const char16_t* title;
  const char16_t* text;
};

constexpr const char16_t* kCorrupt = u"The file may be corrupt, incomplete, or incompatible.";

constexpr ResultMessage kMessages[] = {
    {kResultNoCallback, u"Error", u"Error"},
    {kResultNoMemory, u"Memory Error", u"Memory allocation failed."},
    {kResultNotFound, u"Open Error", u"The file was not found."},
    {kResultLimit, u"Error", u"You've reached the limit for size or count."},
    {kResultThread, u"Error", u"Thread creation failed."},
    {kResultWindow, u"Error", u"Window creation failed."},
    {kResultOpen, u"Open Error", u"The file cannot be opened."},
    {kResultRead, u"Read Error", u"File read failed."},
    {kResultSave, u"Save Error", u"The file cannot be saved."},
    {kResultWrite, u"Write Error", u"File write failed."},
    {kResultDiskFull, u"Storage Error", u"There is not enough free disk space."},
    {kResultNotArchive, u"Open Error", u"The file cannot be opened as an archive."},
    {kResultNewerVersion, u"Open Error", u"The file may require a newer version of Quillbox."},
    {kResultChecksum, u"Checksum Error", u"Checksum failed. The file may be corrupt."},
    {kResultUnexpectedEnd, u"Unexpected End of File Error", kCorrupt},
    {kResultFormat, u"File Format Error", kCorrupt},
    {kResultUnsupportedMethod, u"Unsupported Method",
     u"Only Store and Deflate methods can be Tested or Extracted."},
    {kResultPassword, u"Password Error", u"The password you have entered is incorrect."},
    {kResultFolderOpen, u"Open Error", u"One or more files cannot be opened."},
    {kResultNameDoesNotFit, u"Rename Error",
     u"The new name does not fit in this member's header. The archive is unchanged."},
    {kResultNotAFile, u"Open Error", u"Only files and folders can be added; this is a device, pipe or socket."},
    {kResultLinkInPath, u"Extraction Error",
     u"One or more members were not extracted: extraction never writes through a symbolic link or "
     u"junction on the disk, and makes links only where they point inside the destination."},
    {kResultNameLengthFixed, u"Rename Error",
     u"In a ZIP archive a member's new name must take exactly as many bytes as its old one, since its data "
     u"cannot move. The archive is unchanged."},
    {kResultNameChangesType, u"Rename Error",
     u"A folder's new name must end in \"/\" and a file's must not. The archive is unchanged."},
};

constexpr ResultMessage kOther = {kResultOk, u"Error", u"Error"};

const ResultMessage* Find(ResultCode code) {
  if (code == kResultOk || code == kResultCancelled) return nullptr;
  for (const ResultMessage& m : kMessages)
    if (m.code == code) return &m;
  return &kOther;
}
}  // namespace

const char16_t* ResultTitle(ResultCode code) {
  const ResultMessage* m = Find(code);
  return m ? m->title : nullptr;
}

const char16_t* ResultText(ResultCode code) {
  const ResultMessage* m = Find(code);
  return m ? m->text : nullptr;
}
