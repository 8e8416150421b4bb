// Checks that the libraries build, link and load, and that the loaded library is the one
// this tree describes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "binding/version.h"

namespace {

// True for "N.N.N" with decimal components and nothing else.
bool IsDottedTriple(const std::string& text) {
  int dots = 0;
  bool digit_seen = false;
  for (char c : text) {
    if (c == '.') {
      if (!digit_seen) return false;
      ++dots;
      digit_seen = false;
    } else if (c >= '0' && c <= '9') {
      digit_seen = true;
    } else {
      return false;
    }
  }
  return dots == 2 && digit_seen;
}

TEST(BuildSmoke, LoadedLibraryMatchesProjectVersion) {
  const char* version = KovVmBindingsVersion();
  ASSERT_NE(version, nullptr);
  EXPECT_STREQ(version, KOV_PROJECT_VERSION);
  EXPECT_TRUE(IsDottedTriple(version)) << version;
}

TEST(BuildSmoke, VersionIsStableAcrossCalls) {
  // A static string, not a buffer rebuilt per call.
  EXPECT_EQ(KovVmBindingsVersion(), KovVmBindingsVersion());
}

TEST(BuildSmoke, DottedTripleRejectsMalformedText) {
  for (const char* bad : {"", "1", "1.2", "1.2.", ".1.2", "1..2", "1.2.3.4", "1.2.x", "v1.2.3"}) {
    EXPECT_FALSE(IsDottedTriple(bad)) << bad;
  }
  EXPECT_TRUE(IsDottedTriple("10.0.12"));
}

// The library keeps no mutable global state, so concurrent callers need no locking. Run
// under the thread sanitizer this also shows that the sanitizer build works end to end.
TEST(BuildSmokeConcurrency, VersionReadFromManyThreads) {
  constexpr int kThreads = 4;
  constexpr int kCalls = 1000;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &mismatches] {
      for (int i = 0; i < kCalls; ++i) {
        if (std::strcmp(KovVmBindingsVersion(), KOV_PROJECT_VERSION) != 0) ++mismatches[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
