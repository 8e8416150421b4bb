// A private temporary folder for a test, removed with everything in it when the test ends, and
// small file helpers.
#pragma once

#include <dirent.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace Kov {
namespace Sim {

class TempDir {
 public:
  TempDir() {
    std::string pattern = ::testing::TempDir() + "kov-sim-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data())) path_ = name.data();
    EXPECT_FALSE(path_.empty()) << "cannot make a temporary folder";
  }
  ~TempDir() { Remove(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }

  // The names in the folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(path_.c_str())) {
      while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
      }
      ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  static void Remove(const std::string& path) {
    if (path.empty()) return;
    // Depth first, without following links: children go before their folder.
    ::nftw(
        path.c_str(),
        [](const char* p, const struct stat*, int, FTW*) {
          ::remove(p);
          return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
  }

  std::string path_;
};

inline bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

}  // namespace Sim
}  // namespace Kov
