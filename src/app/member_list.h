// The member list: columns, sorting, selection counters, status bar and window title.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include <vector>

#include "app/list_table.h"
#include "core/context.h"
#include "jobs/list_columns.h"

// List view and status bar messages take a row or part as an int in wParam; -1 ("every
// row", "no row") arrives as all ones and the control reads it back as -1.
inline WPARAM IndexParam(int32_t index) { return static_cast<WPARAM>(index); }

enum : uint32_t { kStatusItems = 1, kStatusSelection = 2, kStatusBoth = 3 };

// Creates the list view (control 101) with its six columns; false on failure.
bool CreateMemberList(HWND mainWindow);
// Keeps the column widths (at 96 dpi) and the sort order in the window's memory.
void RememberColumns();
// Rescales the column widths from oldDpi to newDpi.
void RescaleColumns(uint32_t oldDpi, uint32_t newDpi);

// Window title, the last column's heading and both status parts for the archive now open.
void RefreshArchiveView();
void RefreshStatus(uint32_t parts);

// Same column again reverses the order; then the list is sorted.
void SortBy(uint32_t column);
// Sorts with the current order.
void SortList();

void OnItemChanged(const NMLISTVIEW* change);
// A change of many rows' selection at once (a range, or every row): counted again.
void OnSelectionRangeChanged();
void SelectAll();
void DeselectAll();
void InvertSelection();
// CurrentMember from CurrentRow (kNoMember when it names no row).
void RefreshCurrentMember();
// Empties the list and its counters.
void ClearList();
// Empties the rows only (the job that lists again clears the counters itself).
void ClearRows();

// Delete's listing callback: removes CurrentRow and takes its sizes out of the counters.
uint32_t RemoveRowCallback(ArchiveContext* context);

// Row access on the list view, shared with the job host.
bool ReadCell(int32_t row, uint32_t column, char16_t* text, uint32_t capacity);
int32_t FindMemberRow(uint32_t memberIndex);
int32_t FirstSelectedRow();
uint32_t RowMemberAt(int32_t row);  // kNoMember for no row

// The owner-data side: rows from the worker's batches, cells set by edits, cells asked for
// by the list as it paints, and the row the user's typing names.
void TakeRowBatch(const std::vector<PendingRow>& batch);
void SetRowCell(int32_t row, uint32_t column, const char16_t* text);
void FillCell(NMLVDISPINFOW* info);
int32_t FindRowByName(const NMLVFINDITEMW* find);
