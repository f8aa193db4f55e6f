// The extraction fuzzers, one per format (CMakeLists.txt gives each its file extension): the
// input becomes an archive that is opened and listed as qbx extract does it, then extracted
// into a fresh folder twice: names cleaned, on one thread, then kept as stored (--any-path,
// --utf8) with members decoded ahead on two workers.
// Every prompt has a fixed answer: overwrite all, the password of the fixture ZIPs.
//
// A fuzzer must never write outside its sandbox, whatever the product does wrong: every
// member passes a guard before the extraction callback sees it, which follows the links on
// the disk as the system would. A cleaned name that still leads out of the folder stops the
// run (that is the bug we look for); a name kept as stored that leads out is passed over
// (--any-path writes such names by design). After the callback the guard checks the
// product's promises about TAR links: every link made leads inside, no data are written
// through a link, a hard link is a copy of a file inside. After each input nothing may exist
// in the sandbox but the destination folder, which is then removed.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "cli/job_session.h"
#include "core/member_name.h"
#include "core/output_name.h"
#include "jobs/jobs.h"
#include "fuzz_file.h"
#include "platform/path_posix.h"

namespace fs = std::filesystem;

namespace {
constexpr char kPassword[] = "open sesame";
// ZIP and GZ output goes out in blocks of at most 512 KiB, each after a free-space check; the
// volume says it is full at this check, so a bomb writes at most 3.5 MiB an extraction. (TAR
// and QBX members only copy what the input holds.)
constexpr uint32_t kOutputBlocks = 8;

// archive: the input, beside the sandbox; root: nothing but out, the destination, may ever
// exist in here.
struct Sandbox { fs::path archive, root, out; };

void Discard(void*, CliStream, const char*, size_t) {}
const CliIo kQuietIo{Discard, nullptr};

// The destination as the system resolves it, for the run in work.
fs::path gDestination;

// Where a path below the destination leads with the links on it followed: true when that is
// inside the destination. A path that cannot be resolved counts as inside: a loop of links
// cannot be written through either; only a name within a few bytes of the system's path
// limit (too long once the destination is put in front) could hide a way out like that.
bool LeadsInside(const fs::path& path) {
  std::error_code e;
  const fs::path resolved = fs::weakly_canonical(gDestination / path, e);
  if (e) return true;
  return std::mismatch(gDestination.begin(), gDestination.end(), resolved.begin(), resolved.end()).first ==
         gDestination.end();
}

// True when the name, as the POSIX layer hands it to the system, stays below the destination
// (the current folder): relative, no step of it "..", no link on the way leading out.
bool StaysInside(const char16_t* name) {
  const std::string path = PosixPath(name);
  if (!path.empty() && path[0] == '/') return false;
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return LeadsInside(path);
}

// The name as the callback will use it: the same cleaning, on a copy.
void CleanedCopy(const char16_t* name, bool anyPath, char16_t* copy) {
  uint32_t n = 0;
  for (; n + 1 < kMemberNameChars && name[n] != 0; ++n) copy[n] = name[n];
  copy[n] = 0;
  if (!anyPath) CleanOutputName(copy, kMemberNameChars);
}

// A symbolic link must lead inside the destination: a later member would otherwise be
// written through it.
void CheckLink(const std::string& path) {
  std::error_code e;
  if (fs::is_symlink(fs::symlink_status(gDestination / path, e)) && !LeadsInside(path)) __builtin_trap();
}

// Data are never written through a link, not even one that leads inside. (A part with a
// "/" behind it would name what a link there points at.)
void CheckNoLinkOnTheWay(const std::string& path) {
  std::error_code e;
  for (size_t end = path.find('/');; end = path.find('/', end + 1)) {
    const bool part = end == std::string::npos || (end > 0 && path[end - 1] != '/');
    if (part && fs::is_symlink(fs::symlink_status(gDestination / path.substr(0, end), e))) __builtin_trap();
    if (end == std::string::npos) break;
  }
}

// A hard link's copy comes only from the file its target names inside the destination.
void CheckCopy(const fs::path& copy, const fs::path& original) {
  std::error_code e;
  if (!fs::is_regular_file(fs::symlink_status(copy, e))) return;  // left out
  if (!fs::is_regular_file(fs::symlink_status(original, e)) || ReadFuzzFile(copy) != ReadFuzzFile(original))
    __builtin_trap();
}

// Before the callback: the member's name and, for a hard link (the callback copies the file
// it names), that name. A cleaned name that leads out is the bug we look for; a name kept as
// stored that leads out is passed over. After it: where the data will go, the link the
// callback may have made, the copy it may have made.
uint32_t GuardedMember(ArchiveContext* context) {
  const bool anyPath = StateOf(context)->Options.AnyPath != 0;
  const bool hardLink = IsLinkMember(context) && (context->entry.attributes & kAttrHardLink) != 0;
  static char16_t name[kMemberNameChars], linked[kMemberNameChars], cleanedLinked[kMemberNameChars];
  CleanedCopy(context->memberName, anyPath, name);
  bool inside = StaysInside(name);
  if (inside && hardLink) {
    DecodeStoredName(context->linkTarget, linked);
    CleanedCopy(linked, anyPath, cleanedLinked);
    inside = StaysInside(cleanedLinked);
  }
  if (!inside) {
    if (!anyPath) __builtin_trap();
    return 0;
  }
  std::error_code e;
  const bool nameTaken = fs::exists(fs::symlink_status(gDestination / PosixPath(name), e));
  const uint32_t process = ExtractMemberCallback(context);
  const std::string path = PosixPath(context->memberName);
  if (process != 0) {
    if (!StaysInside(context->memberName)) __builtin_trap();
    CheckNoLinkOnTheWay(path);
  }
  CheckLink(path);
  if (hardLink && !nameTaken) CheckCopy(gDestination / path, gDestination / PosixPath(cleanedLinked));
  return process;
}

// The extract job (job_extract.cpp) with the guard in front of its member callback.
void RunGuardedExtract(CliJobs* jobs, uint32_t workers) {
  MainState& s = jobs->state;
  ArchiveContext& c = s.Archive;
  char16_t previous[4096];
  if (!GetCurrentFolder(previous, sizeof previous / sizeof previous[0])) std::abort();
  c.jobState.store(kJobRunning);
  if (!SetCurrentFolder(s.JobPath)) std::abort();
  std::error_code e;
  gDestination = fs::canonical(fs::current_path(), e);
  if (e) std::abort();
  c.onProgress = FullProgressCallback;
  c.onMember = GuardedMember;
  ArmFault(kFaultVolumeFull, kOutputBlocks);
  c.walkWorkers = workers;
  RunMembers(&c, static_cast<int64_t>(s.Totals.TotalSize), 0);
  c.walkWorkers = 0;
  DisarmFaults();
  c.jobState.store(kJobIdle);
  if (!SetCurrentFolder(previous)) std::abort();
}

// Read-only folders would keep remove_all from emptying them. Links are never followed.
void RemoveAll(const fs::path& folder) {
  std::error_code e;
  for (fs::recursive_directory_iterator i(folder, e), end; !e && i != end; i.increment(e))
    if (fs::is_directory(i->symlink_status(e))) fs::permissions(i->path(), fs::perms::owner_all, fs::perm_options::add, e);
  fs::remove_all(folder, e);
}

void ExtractOnce(const Sandbox& box, bool anyPath) {
  CliOptions o;
  o.anyPath = o.utf8 = anyPath;
  o.overwrite = o.hasPassword = true;
  o.password = kPassword;
  int status = 0;
  CliJobs* jobs = OpenWithJobs(o, box.archive.u16string(), kQuietIo, &status);
  if (jobs == nullptr) return;
  std::error_code e;
  if (!fs::create_directory(box.out, e)) std::abort();
  CopyToJobPath(&jobs->state, box.out.u16string());
  RunGuardedExtract(jobs, anyPath ? 2 : 0);
  FinishJob(jobs, kQuietIo);
  for (fs::recursive_directory_iterator i(box.out, e), end; !e && i != end; i.increment(e))
    CheckLink(i->path().lexically_relative(box.out).string());
  std::error_code listing;
  for (const fs::directory_entry& entry : fs::directory_iterator(box.root, listing))
    if (entry.path() != box.out) __builtin_trap();  // something landed beside the destination
  if (listing) std::abort();
  RemoveAll(box.out);
}

// Made once and never destroyed: the exit handler still needs it.
const Sandbox& TheSandbox() {
  static const Sandbox* const box = [] {
    const fs::path root = fs::temp_directory_path() / ("qbx-extract-fuzz-" + std::to_string(getpid()));
    auto* b = new Sandbox{FuzzFile("qbx-extract-fuzz", QBX_FUZZ_EXTENSION), root, root / "out"};
    RemoveAll(b->root);
    std::error_code e;
    if (!fs::create_directory(b->root, e)) std::abort();
    return b;
  }();
  return *box;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TheSandbox();
  std::atexit([] { RemoveAll(TheSandbox().root); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Sandbox& box = TheSandbox();
  WriteFuzzFile(box.archive, data, size);
  ExtractOnce(box, false);
  ExtractOnce(box, true);
  return 0;
}
