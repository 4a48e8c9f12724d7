// A fresh folder for test files, removed with everything in it at the end.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tessaloom::testing_support {

class TempFolder {
 public:
  TempFolder() {
    // In memory when the system offers it: the defaults file flushes every write to disk, which
    // on a busy disk costs milliseconds per write and says nothing about locking or atomicity.
    const std::string base =
        ::access("/dev/shm", W_OK | X_OK) == 0 ? std::string("/dev/shm/") : ::testing::TempDir();
    std::string pattern = base + "tessaloom-settings-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace tessaloom::testing_support
