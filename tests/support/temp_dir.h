// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tessaloom::testing {

class TempDir {
 public:
  TempDir() {
    // In memory where the system offers it: flushes to a busy disk only cost time.
    const std::filesystem::path base = ::access("/dev/shm", W_OK | X_OK) == 0
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "tessaloom-test-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data())) path_ = made;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

  /// Writes a file under the folder, making its folders first.
  void write(const std::string& name, const std::string& text) const {
    std::error_code ec;
    std::filesystem::create_directories((path_ / name).parent_path(), ec);
    std::ofstream(path_ / name, std::ios::binary | std::ios::trunc) << text;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  bool exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

 private:
  std::filesystem::path path_;
};

}  // namespace tessaloom::testing
