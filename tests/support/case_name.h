// Names a TEST_P case after its `what` text, so that a failure says which case it was.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

// Letters and digits of the text, each word capitalised ("bad checksum" -> "BadChecksum").
inline std::string CaseIdentifier(const char* what) {
  std::string id;
  bool upper = true;
  for (const char* p = what; *p != 0; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (!std::isalnum(c)) {
      upper = true;
      continue;
    }
    id.push_back(upper ? static_cast<char>(std::toupper(c)) : static_cast<char>(c));
    upper = false;
  }
  return id;
}

inline std::string CaseIdentifier(const std::string& what) { return CaseIdentifier(what.c_str()); }

struct CaseName {
  template <typename Param>
  std::string operator()(const testing::TestParamInfo<Param>& info) const {
    return CaseIdentifier(info.param.what);
  }
};
