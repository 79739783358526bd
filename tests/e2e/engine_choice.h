// Which engine library the library under test binds, for the end-to-end
// tests that need a stand-in engine or none at all.
//
// On POSIX each test chooses: the library loads the file $JXENGINE_LIBRARY
// names. On Windows the library loads JXENGINE.DLL by that name from its
// own folder, as a host installation has it, so the choice is the folder's:
// the suite runs once per folder (one holding the complete stand-in, one
// the incomplete stand-in, one no engine at all), ZKSQL_TEST_ENGINE names
// the folder's situation, and the tests meant for another one are skipped.
#ifndef ZKSQL_TESTS_E2E_ENGINE_CHOICE_H_
#define ZKSQL_TESTS_E2E_ENGINE_CHOICE_H_

#include <stdlib.h>

#include <cstring>

namespace zksql_e2e {

enum class EngineChoice { kStandIn, kIncomplete, kMissing };

inline const char* EngineChoiceName(EngineChoice choice) {
  switch (choice) {
    case EngineChoice::kStandIn:
      return "stand-in";
    case EngineChoice::kIncomplete:
      return "incomplete";
    case EngineChoice::kMissing:
      return "missing";
  }
  return "";
}

// Makes the library bind the chosen engine from its next instance on.
// Returns false when this run cannot (Windows, another folder): the caller
// skips its test.
inline bool UseEngine(EngineChoice choice) {
#ifdef _WIN32
  const char* here = getenv("ZKSQL_TEST_ENGINE");
  return here != nullptr && strcmp(here, EngineChoiceName(choice)) == 0;
#else
  const char* library = "/nonexistent/libjxengine.so";
  if (choice == EngineChoice::kStandIn) library = FAKE_ENGINE_PATH;
  if (choice == EngineChoice::kIncomplete) library = FAKE_ENGINE_INCOMPLETE_PATH;
  setenv("JXENGINE_LIBRARY", library, 1);
  return true;
#endif
}

// Forgets the choice (POSIX), so that later tests start from the default.
inline void ForgetEngineChoice() {
#ifndef _WIN32
  unsetenv("JXENGINE_LIBRARY");
#endif
}

}  // namespace zksql_e2e

#endif  // ZKSQL_TESTS_E2E_ENGINE_CHOICE_H_
