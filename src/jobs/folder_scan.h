// Walking a folder to add every file in it: a counting pass, then an adding pass.
#pragma once

#include <cstdint>

#include "jobs/main_state.h"

inline constexpr uint32_t kScanPathChars = kAddedNameChars;
inline constexpr int32_t kScanDepth = 256;

struct FolderScan {
  uint32_t Stop;
  uint32_t SkipHidden;
  int32_t DepthLeft;
  FolderEntry Entry;
  char16_t FolderPath[kScanPathChars];
  char16_t ItemPath[kScanPathChars];
  uint32_t ReservedLength;
  uint32_t NameLength;
  uint32_t FileCount;
  uint64_t TotalBytes;
  void (*Visitor)(FolderScan* scan);
  MainState* Owner;
};

// Where member names begin in the chosen folder's path (with the base folder's own name
// when baseFolder is set).
uint32_t RelativeNameStart(const char16_t* folder, uint32_t baseFolder);
// Prepares a pass over the folder in JobPath: counts are kept from an earlier pass.
void BeginFolderScan(FolderScan* scan, MainState* owner, void (*visitor)(FolderScan*));
void ScanFolder(FolderScan* scan);
void CountVisitor(FolderScan* scan);
void AddVisitor(FolderScan* scan);
// Shows the file whose append begins (the add pass queues files ahead of their append).
void ShowAddedFile(ArchiveContext* context, const char16_t* sourcePath);
