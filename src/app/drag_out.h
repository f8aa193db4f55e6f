// Dragging members out of the list: extracted first into a folder of their own under %TEMP%,
// then carried as files (CF_HDROP) to whatever takes the drop.
#pragma once

#include <windows.h>
#include <objidl.h>

// Extracts the selection into a new temporary folder with the Extract job and makes the
// drag's data object; false when the extraction failed or gave nothing.
bool PrepareDragOut(HWND window);
// PrepareDragOut, then the drag itself until the drop or Escape.
void StartDragOut(HWND window);
// The data object of the last drag, kept until the next one (for the tests); null when none.
IDataObject* DragOutData();
// Releases the last drag's data object and removes its temporary folder.
void EndDragOut();
