// Temporary folders and environment variables for tests of code that finds its files through
// the environment; both are put back when the test ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace tessaloom::testing {

/// A fresh empty folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::path(::testing::TempDir()) / "tsl-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// Sets (or, with nothing, unsets) one variable for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnvironment() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace tessaloom::testing
