// The one error convention: an operation whose failure a person must be told about returns a
// Result that carries one line for them; a read whose failure is simply absorbed returns an
// optional (nothing); exceptions are caught only where a library throws them, by type.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace tessaloom {

/// One line for the user saying what failed.
struct Failure {
  std::string message;
};

/// A value, or the failure that prevented it.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}
  Result(Failure failure) : v_(std::move(failure)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  /// The failure's line; empty on success.
  const std::string& error() const {
    static const std::string none;
    return ok() ? none : std::get<1>(v_).message;
  }

 private:
  std::variant<T, Failure> v_;
};

/// Success, or the failure of an operation that yields nothing.
class [[nodiscard]] Outcome {
 public:
  Outcome() = default;
  Outcome(Failure failure) : error_(std::move(failure.message)), failed_(true) {}

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& error() const { return error_; }

 private:
  std::string error_;
  bool failed_ = false;
};

}  // namespace tessaloom
