#include "failures.hpp"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "runtime_cell.hpp"

namespace pure_plinx {
namespace {

constexpr const char kPanicExceptionName[] = "pyo3_runtime.PanicException";
constexpr const char kPanicExceptionDoc[] =
    "The exception raised when the native code of pure_plinx fails internally.\n"
    "\n"
    "Like SystemExit, it derives from BaseException rather than Exception, so that it\n"
    "typically propagates all the way up the stack and makes the interpreter exit instead\n"
    "of being swallowed by an `except Exception` handler.";
constexpr const char kUnwrappedPanicMessage[] = "Unwrapped panic from Python code";
constexpr const char kResumeNotice[] =
    "pure_plinx: a PanicException raised earlier came back through Python code.\n"
    "pure_plinx: resuming it as an internal failure; its Python traceback follows.\n";

// Created on first need and kept until the interpreter runtime ends.
RuntimeCell panic_type;

PyObject* get_or_create_panic_type() noexcept {
  return panic_type.get_or_create([] {
    return PyRef::steal(PyErr_NewExceptionWithDoc(kPanicExceptionName, kPanicExceptionDoc,
                                                  PyExc_BaseException, nullptr));
  });
}

// The message of a PanicException that came back from Python code: its str(), or a fixed
// text when it has none to give.
std::string panic_message(PyObject* exception) {
  if (exception == nullptr) return kUnwrappedPanicMessage;
  const PyRef text = PyRef::steal(PyObject_Str(exception));
  Py_ssize_t size = 0;
  const char* utf8 = text ? PyUnicode_AsUTF8AndSize(text.get(), &size) : nullptr;
  if (utf8 == nullptr) {
    PyErr_Clear();
    return kUnwrappedPanicMessage;
  }
  return std::string(utf8, static_cast<std::size_t>(size));
}

[[noreturn]] void resume_panic(PythonError error) {
  error.normalize();
  std::string message = panic_message(error.value());
  PySys_WriteStderr("%s", kResumeNotice);
  std::move(error).restore();
  PyErr_PrintEx(0);
  throw ResumedPanic(std::move(message));
}

// The thread's kernel id through the system call: gettid() is glibc 2.30+, and wheels are
// built for older C libraries.
pid_t thread_id() noexcept { return static_cast<pid_t>(syscall(SYS_gettid)); }

const char* thread_label(pid_t thread) noexcept {
  return thread == getpid() ? "main" : "<unnamed>";
}

}  // namespace

#if PY_VERSION_HEX >= 0x030C0000

PythonError::PythonError(PyRef exception) noexcept : exception_(std::move(exception)) {}

std::optional<PythonError> PythonError::take_pending() noexcept {
  PyRef exception = PyRef::steal(PyErr_GetRaisedException());
  if (!exception) return std::nullopt;
  return PythonError(std::move(exception));
}

PyObject* PythonError::type() const noexcept {
  return reinterpret_cast<PyObject*>(Py_TYPE(exception_.get()));
}

void PythonError::normalize() noexcept {}

PyObject* PythonError::value() const noexcept { return exception_.get(); }

void PythonError::restore() && noexcept { PyErr_SetRaisedException(exception_.release()); }

#else

PythonError::PythonError(PyRef exception) noexcept
    : type_(PyRef::borrow(reinterpret_cast<PyObject*>(Py_TYPE(exception.get())))),
      traceback_(PyRef::steal(PyException_GetTraceback(exception.get()))) {
  value_ = std::move(exception);
}

std::optional<PythonError> PythonError::take_pending() noexcept {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PythonError error(PyRef::steal(type), PyRef::steal(value), PyRef::steal(traceback));
  if (!error.type_) return std::nullopt;
  return error;
}

PyObject* PythonError::type() const noexcept { return type_.get(); }

void PythonError::normalize() noexcept {
  PyObject* type = type_.release();
  PyObject* value = value_.release();
  PyObject* traceback = traceback_.release();
  PyErr_NormalizeException(&type, &value, &traceback);
  type_ = PyRef::steal(type);
  value_ = PyRef::steal(value);
  traceback_ = PyRef::steal(traceback);
}

PyObject* PythonError::value() const noexcept { return value_.get(); }

void PythonError::restore() && noexcept {
  PyErr_Restore(type_.release(), value_.release(), traceback_.release());
}

#endif

PythonError take_error_or_resume_panic() {
  std::optional<PythonError> pending = PythonError::take_pending();
  // A call failed without setting an error. PyErr_SetString leaves one pending whatever
  // happens (a MemoryError at worst), so this runs at most once.
  while (!pending) {
    PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
    pending = PythonError::take_pending();
  }
  PythonError error = std::move(*pending);
  // Identity, not a subclass check: nothing can derive from the type without holding it, and
  // only the module's own panics are resumed.
  PyObject* const panic = panic_type.kept();
  if (panic != nullptr && error.type() == panic) resume_panic(std::move(error));
  return error;
}

void drop_error_or_resume_panic() {
  if (PyErr_Occurred()) (void)take_error_or_resume_panic();
}

void throw_pending_error() { throw take_error_or_resume_panic(); }

void throw_new_error(PyObject* type, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  PyErr_FormatV(type, format, arguments);
  va_end(arguments);
  throw_pending_error();
}

void fail_unexpected_api_error(std::source_location where) {
  PyErr_PrintEx(0);
  throw InternalFailure("Python API call failed", where);
}

void report_internal_failure(const InternalFailure& failure) noexcept {
  const std::source_location& where = failure.where();
  const pid_t thread = thread_id();
  PySys_FormatStderr("pure_plinx: internal failure in thread '%s' (%d) at %s:%u: %s\n",
                     thread_label(thread), static_cast<int>(thread), where.file_name(),
                     static_cast<unsigned>(where.line()), failure.message().c_str());
}

void raise_panic(const std::string& message) noexcept {
  // Whatever was pending belongs to the failure being replaced; creating the exception
  // below must not run with an error set.
  PyErr_Clear();
  PyObject* type = get_or_create_panic_type();
  if (type == nullptr) return;
  const PyRef text = PyRef::steal(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (!text) return;
  PyRef instance = PyRef::steal(PyObject_CallOneArg(type, text.get()));
  if (!instance) return;
  PythonError(std::move(instance)).restore();
}

void abort_on_escaped_failure() noexcept {
  (void)std::fputs("pure_plinx: a failure escaped the containment of an entry point; aborting\n",
                   stderr);
  std::abort();
}

}  // namespace pure_plinx
