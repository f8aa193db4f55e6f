// A member's extracted data paged as the viewer pages them: the last page first, then back
// and forth, so that pages deep inside come from the resumption points.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "support/test_files.h"
#include "viewer/member_fetch.h"

// Each page as in plain with zero terminators behind it (whatever scratch the decoder left
// there), or every one refused with the expected result.
inline void ExpectPagesForwardAndBack(ArchiveContext* context, uint32_t index, int64_t storedSize, const Bytes& plain,
                                      ResultCode expected = kResultOk) {
  const uint32_t pages = static_cast<uint32_t>((plain.size() + kViewPageBytes - 1) / kViewPageBytes);
  ASSERT_GE(pages, 3u);
  PrepareMemberView(context, storedSize);
  for (uint32_t page : {pages - 1, 0u, pages / 2, 1u, pages - 2}) {
    PageBuffer buffer;
    ASSERT_EQ(ReadMemberData(context, index, page, &buffer, true), expected) << page;
    if (expected != kResultOk) return;
    const size_t from = size_t{page} * kViewPageBytes, count = std::min<size_t>(kViewPageBytes, plain.size() - from);
    ASSERT_EQ(buffer.length, count) << page;
    EXPECT_TRUE(std::equal(buffer.bytes.begin(), buffer.bytes.begin() + count, plain.begin() + static_cast<long>(from))) << page;
    EXPECT_EQ(buffer.bytes.size(), count + kDataTerminators);
    EXPECT_TRUE(std::all_of(buffer.bytes.begin() + count, buffer.bytes.end(), [](uint8_t b) { return b == 0; })) << page;
  }
}
