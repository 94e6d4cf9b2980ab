#pragma once

#include <Python.h>

#include <exception>
#include <new>
#include <optional>
#include <source_location>
#include <string>
#include <utility>

#include "py_ref.hpp"

namespace pure_plinx {

// A Python exception taken out of the interpreter on its way back to an entry point, which
// restores it. Ordinary errors travel this way: bad arguments, conversion errors, failed
// lookups and allocations.
class PythonError {
 public:
  // An exception instance, to be raised as it is.
  explicit PythonError(PyRef exception) noexcept;

  // Takes the interpreter's pending error; empty when none is set.
  static std::optional<PythonError> take_pending() noexcept;

  // The exception's type, which is never null.
  PyObject* type() const noexcept;
  // Turns a lazily set error into a real exception instance, as needed to read its cause.
  void normalize() noexcept;
  // The exception instance; valid after normalize().
  PyObject* value() const noexcept;
  // Sets this error in the interpreter again.
  void restore() && noexcept;

 private:
#if PY_VERSION_HEX >= 0x030C0000
  // From 3.12 on, a pending error is always one normalized instance.
  PyRef exception_;
#else
  PythonError(PyRef type, PyRef value, PyRef traceback) noexcept
      : type_(std::move(type)), value_(std::move(value)), traceback_(std::move(traceback)) {}

  PyRef type_;
  PyRef value_;
  PyRef traceback_;
#endif
};

// A failure of the module itself, such as a failing random source. It is reported on standard
// error and reaches Python as a PanicException carrying the message.
class InternalFailure {
 public:
  explicit InternalFailure(std::string message,
                           std::source_location where = std::source_location::current())
      : message_(std::move(message)), where_(where) {}

  const std::string& message() const noexcept { return message_; }
  const std::source_location& where() const noexcept { return where_; }

 private:
  std::string message_;
  std::source_location where_;
};

// A PanicException that came back through Python code, for instance out of a destiny's
// __index__. Its notice and traceback are printed already; it is raised again as a new
// PanicException with the same message, without a second report.
class ResumedPanic {
 public:
  explicit ResumedPanic(std::string message) : message_(std::move(message)) {}
  const std::string& message() const noexcept { return message_; }

 private:
  std::string message_;
};

// Takes the error the interpreter has pending after a failed call, or a SystemError when a
// call failed without setting one. A pending PanicException is not taken but resumed: its
// notice and traceback are printed and ResumedPanic is thrown.
PythonError take_error_or_resume_panic();

// Clears whatever error is pending, if any; a pending PanicException is resumed all the same.
void drop_error_or_resume_panic();

// Throws the pending error as take_error_or_resume_panic() takes it (or resumes a panic).
[[noreturn]] void throw_pending_error();

// Throws a new exception of `type` whose message is made by PyErr_Format.
[[noreturn]] void throw_new_error(PyObject* type, const char* format, ...);

// For the interpreter calls that are not expected to fail (creating the result float or the
// repr string): prints and clears the pending error, then fails internally.
[[noreturn]] void fail_unexpected_api_error(
    std::source_location where = std::source_location::current());

// Writes the one-line report of an internal failure to standard error.
void report_internal_failure(const InternalFailure& failure) noexcept;

// Sets a new PanicException carrying `message` as the pending error. Should even that fail,
// the error that stopped it is left pending instead, so an error is pending either way.
void raise_panic(const std::string& message) noexcept;

// Ends the process when a failure escapes the containment of an entry point: past that point
// the interpreter's state can no longer be trusted.
[[noreturn]] void abort_on_escaped_failure() noexcept;

// Runs the body of an entry point, which returns a new reference, and turns every failure
// into a pending Python exception and a null result. Nothing unwinds into the interpreter.
template <typename Body>
PyObject* contain(Body&& body) noexcept {
  try {
    try {
      return std::forward<Body>(body)();
    } catch (PythonError& error) {
      std::move(error).restore();
    } catch (const ResumedPanic& panic) {
      raise_panic(panic.message());
    } catch (const InternalFailure& failure) {
      report_internal_failure(failure);
      raise_panic(failure.message());
    } catch (const std::bad_alloc&) {
      PyErr_NoMemory();
    } catch (const std::exception& unexpected) {
      const InternalFailure failure(unexpected.what());
      report_internal_failure(failure);
      raise_panic(failure.message());
    }
    return nullptr;
  } catch (...) {
    abort_on_escaped_failure();
  }
}

}  // namespace pure_plinx
