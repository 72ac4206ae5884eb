// How every fallible step of the kit and its commands reports: a value, or a message
// saying what went wrong, for the user to read.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace blindscan::kit {

// What went wrong, as a sentence for the user.
struct failure {
  std::string message;
};

// A value of type T, or the failure that prevented it.
// Both convert implicitly, so that a function returns either as it is.
template <typename T>
class [[nodiscard]] result {
 public:
  // cppcheck-suppress noExplicitConstructor
  result(T value) : state_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
  // cppcheck-suppress noExplicitConstructor
  result(failure error) : state_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

  explicit operator bool() const { return state_.index() == 0; }
  T& operator*() { return std::get<0>(state_); }
  const T& operator*() const { return std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  // The message; only for a result that holds no value.
  const std::string& error() const { return std::get<1>(state_).message; }

 private:
  std::variant<T, failure> state_;
};

// Success without a value, or a failure.
template <>
class [[nodiscard]] result<void> {
 public:
  result() = default;
  // cppcheck-suppress [noExplicitConstructor, passedByValue]
  result(failure error)
      : error_(std::move(error.message)), failed_(true) {}  // NOLINT(google-explicit-constructor)

  explicit operator bool() const { return !failed_; }
  const std::string& error() const { return error_; }

 private:
  std::string error_;
  bool failed_ = false;
};

}  // namespace blindscan::kit
