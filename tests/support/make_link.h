// Symbolic links for the tests, on every system the tests run on: POSIX links natively,
// and under Wine host links, which Wine shows as reparse points (it cannot make junctions).
#pragma once

#include <filesystem>
#include <vector>

// The links a test made, removed (the links, never what they point at) when it ends: a
// folder removal that followed one would run in circles or delete outside the test.
// Declare it after the test's ScratchDir, so that it goes first.
struct TestLinks {
  std::vector<std::filesystem::path> made;
  // Makes link point at target (a folder or a file); false when this system cannot.
  bool Make(const std::filesystem::path& target, const std::filesystem::path& link);
  ~TestLinks();
};

// True when the system shows a link to a file as a link (Wine shows the file).
bool FileLinksShowAsLinks();
