// Scratch folders for tests that make databases: a new folder in the
// system's temporary folder under a name no other run holds, portable so
// that the same tests run on Windows. create_directory answers false for a
// folder that is already there, and another name is drawn.
#ifndef ZKSQL_TESTS_SCRATCH_FOLDER_H_
#define ZKSQL_TESTS_SCRATCH_FOLDER_H_

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace zksql_testing {

// Makes the folder "<temporary folder>/<prefix>-<16 hex digits>" and returns
// its path, or an empty text when none could be made. The caller removes
// it (RemoveScratchFolder).
inline std::string MakeScratchFolder(const char* prefix) {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) return std::string();
  std::random_device entropy;
  std::mt19937_64 draw((static_cast<uint64_t>(entropy()) << 32) ^ entropy());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "%s-%016llx", prefix, static_cast<unsigned long long>(draw()));
    std::filesystem::path candidate = base / name;
    if (std::filesystem::create_directory(candidate, ec)) return candidate.string();
  }
  return std::string();
}

// Removes a folder MakeScratchFolder made, with everything in it; an empty
// path is left alone.
inline void RemoveScratchFolder(const std::string& path) {
  std::error_code ec;
  if (!path.empty()) std::filesystem::remove_all(path, ec);
}

}  // namespace zksql_testing

#endif  // ZKSQL_TESTS_SCRATCH_FOLDER_H_
