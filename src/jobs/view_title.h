// The viewer window's title: the mode's title and, with two pages or more, " [page/count]".
#pragma once

#include <cstdint>
#include <string>

// page counts from 0; the title shows it from 1.
std::u16string ViewTitle(uint32_t mode, uint32_t page, uint32_t pageCount);
