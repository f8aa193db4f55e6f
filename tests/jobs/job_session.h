// A job session on the terminal host as the job tests drive it: quiet, the prompts answered
// from a script, extraction into a folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/terminal_host.h"
#include "core/archive.h"
#include "jobs/jobs.h"
#include "support/archive_builder.h"
#include "support/archive_walk.h"

// Prompt answers given in turn (Skip once they run out), and how often each prompt came.
struct PromptScript {
  std::vector<uint32_t> answers;
  size_t next = 0;
  uint32_t asked[16] = {};
  uint32_t waitTicks = 0;  // how long the user thinks before each answer
};

inline PromptScript* gPromptScript = nullptr;

// The terminal's own prompt, given the scripted answer as if on the command line.
inline uint32_t ScriptedAsk(MainState* state, uint32_t code, const char16_t* text) {
  PromptScript& script = *gPromptScript;
  script.asked[code] += 1;
  AdvanceTicks(script.waitTicks);
  auto* terminal = static_cast<TerminalHost*>(state->HostUser);
  terminal->overwriteAnswer = terminal->passwordAnswer =
      script.next < script.answers.size() ? script.answers[script.next++] : kAnswerSkip;
  return TerminalJobHost()->askPrompt(state, code, text);
}

// The archive most job tests open: a folder, names to clean, 9 blocks with its end.
inline Bytes FiveMemberTar() {
  return TarBytes({{{"a.txt", 1}, BytesOf("a")}, {{"sub/", 0, 1600000000, 0755, '5'}, {}}, {{"sub/b.txt", 2}, BytesOf("bb")},
                   {{"/etc/x", 3}, BytesOf("etc")}, {{"a:b", 1}, BytesOf("c")}});
}

inline void IgnoreOutput(void*, CliStream, const char*, size_t) {}

struct JobSession {
  ScratchDir dir;  // the test's files, removed after the archive is closed
  CliIo io{IgnoreOutput, nullptr};  // the host keeps a pointer to it
  CliJobs* jobs = NewCliJobs(io);
  JobHost host = *TerminalJobHost();
  PromptScript script;

  JobSession() {
    host.askPrompt = ScriptedAsk;
    jobs->state.Host = &host;
    gPromptScript = &script;
  }
  ~JobSession() {
    CloseArchive(&jobs->state.Archive);
    DeleteCliJobs(jobs);
    gPromptScript = nullptr;
  }
  MainState& state() { return jobs->state; }
  void SetJobPath(const std::filesystem::path& path) {
    std::u16string wide = Wide(path);
    std::fill(std::begin(state().JobPath), std::end(state().JobPath), 0);
    std::copy(wide.begin(), wide.end(), state().JobPath);
  }
  ResultCode Run(uint32_t kind) { return RunCliJob(jobs, kind); }
  ResultCode Open(const std::filesystem::path& archive) {
    SetJobPath(archive);
    return Run(kJobOpenAndList);
  }
  // Opens dir/name, written with the bytes first; OpenNew opens a missing dir/a.tar.
  ResultCode OpenBytes(const Bytes& bytes, const std::string& name = "a.tar") {
    WriteBytes(dir.Path(name), bytes);
    return Open(dir.Path(name));
  }
  ResultCode OpenNew() { return Open(dir.Path("a.tar")); }
  // Adds the folder dir/tree (made first) to a missing archive, dir/a.tar unless told.
  ResultCode AddTree(const std::filesystem::path& archive = {}) {
    std::filesystem::create_directories(dir.Path("tree"));
    if (ResultCode r = archive.empty() ? OpenNew() : Open(archive)) return r;
    SetJobPath(dir.Path("tree"));
    return Run(kJobAddFolder);
  }
  // Extracts into out (made first), then returns to the test's own current folder.
  ResultCode Extract(const std::filesystem::path& out) {
    std::filesystem::create_directories(out);
    InFolder keep(".");
    SetJobPath(out);
    return Run(kJobExtract);
  }
  std::vector<std::u16string> Names() const {
    std::vector<std::u16string> names;
    for (const TerminalRow& r : jobs->host.rows) names.push_back(r.cells[kColumnName]);
    return names;
  }
};
