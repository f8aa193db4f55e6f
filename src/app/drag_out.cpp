// Members dragged out of the list to Explorer or the desktop. The selection is extracted with
// the Extract job (its progress and prompts) into a folder of its own under %TEMP% before the
// drag starts, and the drag carries those files as CF_HDROP. Delayed rendering would start
// the drag sooner, but targets ask for CF_HDROP while the pointer only hovers over them, and
// an extraction at that moment would freeze the shell with no progress to show; ready files
// also let any target take them, not only the shell. The folder stays until the next drag or
// the program's end: a target may still be copying from it after the drop.
//
// The two COM objects are plain records whose first member points to their table of
// functions (the C layout of the interfaces), with a reference count.
#define CINTERFACE
#define COBJMACROS
#include "app/drag_out.h"

#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/progress_dialog.h"
#include "jobs/jobs.h"

namespace {
struct DataObject {
  IDataObject face;  // first: the object's address is the interface's
  LONG refs;
  HGLOBAL drop;      // DROPFILES and the paths, each ended by a zero, then one more zero
};

struct DropSource {
  IDropSource face;
  LONG refs;
};

struct DragOut {
  DataObject* data;
  std::wstring folder;
};
DragOut gDrag;

FORMATETC DropFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

bool IsDropFormat(const FORMATETC* format) {
  return format != nullptr && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) != 0 &&
         format->dwAspect == DVASPECT_CONTENT;
}

HGLOBAL CopyOf(HGLOBAL from) {
  const SIZE_T size = GlobalSize(from);
  HGLOBAL to = GlobalAlloc(GMEM_MOVEABLE, size);
  if (to == nullptr) return nullptr;
  std::memcpy(GlobalLock(to), GlobalLock(from), size);
  GlobalUnlock(from);
  GlobalUnlock(to);
  return to;
}

HRESULT STDMETHODCALLTYPE DataQueryInterface(IDataObject* self, REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
    *out = self;
    IDataObject_AddRef(self);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DataAddRef(IDataObject* self) {
  return static_cast<ULONG>(InterlockedIncrement(&reinterpret_cast<DataObject*>(self)->refs));
}

ULONG STDMETHODCALLTYPE DataRelease(IDataObject* self) {
  auto* object = reinterpret_cast<DataObject*>(self);
  const LONG left = InterlockedDecrement(&object->refs);
  if (left == 0) {
    GlobalFree(object->drop);
    delete object;
  }
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE GetData(IDataObject* self, FORMATETC* format, STGMEDIUM* medium) {
  if (!IsDropFormat(format)) return DV_E_FORMATETC;
  HGLOBAL copy = CopyOf(reinterpret_cast<DataObject*>(self)->drop);
  if (copy == nullptr) return E_OUTOFMEMORY;
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = copy;
  medium->pUnkForRelease = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE GetDataHere(IDataObject*, FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE QueryGetData(IDataObject*, FORMATETC* format) {
  return IsDropFormat(format) ? S_OK : DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(IDataObject*, FORMATETC*, FORMATETC* out) {
  out->ptd = nullptr;
  return DATA_S_SAMEFORMATETC;
}

// Targets tell the source what they did ("Performed DropEffect"); nothing here needs it.
HRESULT STDMETHODCALLTYPE SetData(IDataObject*, FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE EnumFormatEtc(IDataObject*, DWORD direction, IEnumFORMATETC** out) {
  if (direction != DATADIR_GET) return E_NOTIMPL;
  FORMATETC format = DropFormat();
  return SHCreateStdEnumFmtEtc(1, &format, out);
}

HRESULT STDMETHODCALLTYPE DAdvise(IDataObject*, FORMATETC*, DWORD, IAdviseSink*, DWORD*) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT STDMETHODCALLTYPE DUnadvise(IDataObject*, DWORD) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT STDMETHODCALLTYPE EnumDAdvise(IDataObject*, IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }

IDataObjectVtbl kDataObjectTable = {DataQueryInterface, DataAddRef, DataRelease, GetData,   GetDataHere,
                                    QueryGetData,       GetCanonicalFormatEtc, SetData, EnumFormatEtc,
                                    DAdvise,            DUnadvise,  EnumDAdvise};

HRESULT STDMETHODCALLTYPE SourceQueryInterface(IDropSource* self, REFIID iid, void** out) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
    *out = self;
    IDropSource_AddRef(self);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE SourceAddRef(IDropSource* self) {
  return static_cast<ULONG>(InterlockedIncrement(&reinterpret_cast<DropSource*>(self)->refs));
}

ULONG STDMETHODCALLTYPE SourceRelease(IDropSource* self) {
  auto* source = reinterpret_cast<DropSource*>(self);
  const LONG left = InterlockedDecrement(&source->refs);
  if (left == 0) delete source;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE QueryContinueDrag(IDropSource*, BOOL escape, DWORD keys) {
  if (escape) return DRAGDROP_S_CANCEL;
  return (keys & (MK_LBUTTON | MK_RBUTTON)) == 0 ? DRAGDROP_S_DROP : S_OK;
}

HRESULT STDMETHODCALLTYPE GiveFeedback(IDropSource*, DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

IDropSourceVtbl kDropSourceTable = {SourceQueryInterface, SourceAddRef, SourceRelease, QueryContinueDrag, GiveFeedback};

// DROPFILES with wide paths, as the shell reads them.
HGLOBAL DropFilesOf(const std::vector<std::wstring>& paths) {
  size_t chars = 1;
  for (const std::wstring& p : paths) chars += p.size() + 1;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  if (memory == nullptr) return nullptr;
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  auto* at = reinterpret_cast<wchar_t*>(drop + 1);
  for (const std::wstring& p : paths) {
    std::memcpy(at, p.c_str(), (p.size() + 1) * sizeof(wchar_t));
    at += p.size() + 1;
  }
  GlobalUnlock(memory);
  return memory;
}

// What the extraction put at the folder's top: the files and folders the drag carries.
std::vector<std::wstring> TopEntries(const std::wstring& folder) {
  std::vector<std::wstring> paths;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return paths;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") paths.push_back(folder + L"\\" + name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return paths;
}

void RemoveTree(const std::wstring& path) {
  if ((GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    return;
  }
  for (const std::wstring& entry : TopEntries(path)) RemoveTree(entry);
  RemoveDirectoryW(path.c_str());
}

// A new empty folder under %TEMP% for this drag.
std::wstring NewDragFolder() {
  wchar_t temp[MAX_PATH];
  const DWORD n = GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return L"";
  std::wstring base = temp;
  if (!base.empty() && base.back() == L'\\') base.pop_back();
  for (unsigned i = 0; i < 1000; ++i) {
    const std::wstring folder = base + L"\\Quillbox-drag-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(i);
    if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
  }
  return L"";
}
}  // namespace

bool PrepareDragOut(HWND window) {
  EndDragOut();
  MainState* s = App();
  gDrag.folder = NewDragFolder();
  if (gDrag.folder.empty() || gDrag.folder.size() >= kJobPathChars) return false;
  std::memset(s->JobPath, 0, sizeof s->JobPath);
  std::memcpy(s->JobPath, gDrag.folder.c_str(), gDrag.folder.size() * sizeof(char16_t));
  s->OverwriteAnswer = 0;
  s->PasswordAnswer = 0;
  // The job makes its destination the current folder, which could then not be removed.
  wchar_t previous[MAX_PATH];
  const DWORD kept = GetCurrentDirectoryW(MAX_PATH, previous);
  RunJobDialog(window, kJobExtract);
  if (kept > 0 && kept < MAX_PATH) SetCurrentDirectoryW(previous);
  const std::vector<std::wstring> paths = TopEntries(gDrag.folder);
  // A failed or cancelled extraction shows its message in its dialog; nothing to drag then.
  if (s->Archive.result != kResultOk || paths.empty()) return false;
  HGLOBAL drop = DropFilesOf(paths);
  if (drop == nullptr) return false;
  gDrag.data = new DataObject{{&kDataObjectTable}, 1, drop};
  return true;
}

void StartDragOut(HWND window) {
  if (!PrepareDragOut(window)) return;
  auto* source = new DropSource{{&kDropSourceTable}, 1};
  DWORD effect = 0;
  DoDragDrop(&gDrag.data->face, &source->face, DROPEFFECT_COPY, &effect);
  IDropSource_Release(&source->face);
}

IDataObject* DragOutData() { return gDrag.data != nullptr ? &gDrag.data->face : nullptr; }

void EndDragOut() {
  if (gDrag.data != nullptr) IDataObject_Release(&gDrag.data->face);
  gDrag.data = nullptr;
  if (!gDrag.folder.empty()) RemoveTree(gDrag.folder);
  gDrag.folder.clear();
}
