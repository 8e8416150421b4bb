// A private temporary folder for a test, removed with everything in it when the test ends; small
// file helpers; and test certificates made with the openssl command.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
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
    std::string name = ::testing::TempDir() + "kov-sim-test-XXXXXX";
    if (::mkdtemp(&name[0])) path_ = name;
    EXPECT_FALSE(path_.empty()) << "cannot make a temporary folder";
  }
  ~TempDir() {  // rm does not follow links out of the folder
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

  // The names in the folder, sorted.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(path_.c_str())) {
      while (dirent* e = ::readdir(d)) {
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
          names.push_back(e->d_name);
      }
      ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

inline bool FileExists(const std::string& p) { return ::access(p.c_str(), F_OK) == 0; }

inline std::string ReadFile(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// Makes in `dir` a CA (ca.pem), a certificate for 127.0.0.1 it signed (host.pem, host.key), and a
// CA that signed nothing here (other.pem); false when the openssl command fails.
inline bool MakeCertificates(const std::string& dir) {
  const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  const std::string script =
      "cd '" + dir + "' && printf 'subjectAltName=IP:127.0.0.1' >san && openssl req -x509" + key +
      " -days 1 -keyout ca.key -out ca.pem -subj /CN=kov-test-ca && openssl req -x509" + key +
      " -days 1 -keyout other.key -out other.pem -subj /CN=kov-other-ca && openssl req" + key +
      " -keyout host.key -out host.csr -subj /CN=127.0.0.1 && openssl x509 -req -in host.csr "
      "-CA ca.pem -CAkey ca.key -CAcreateserial -days 1 -extfile san -out host.pem";
  return std::system(("(" + script + ") >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace Sim
}  // namespace Kov
