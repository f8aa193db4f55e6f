// Listing callbacks that turn reported members into list rows and keep rows up to date.
#pragma once

#include <cstdint>

#include "core/context.h"

uint32_t AddRowCallback(ArchiveContext* context);
uint32_t UpdateRowCallback(ArchiveContext* context);
uint32_t UpdateModeCallback(ArchiveContext* context);
