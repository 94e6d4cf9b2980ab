#pragma once

#include <Python.h>

#include <atomic>
#include <cstdint>
#include <utility>

#include "py_ref.hpp"

namespace pure_plinx {

// Which interpreter runtime is running. An application that embeds CPython may finalise the
// interpreter and initialise a new one in the same process; the objects of the finalised
// runtime are gone then, or belong to nobody, and must never reach the new one.
class Runtime {
 public:
  // A number that changes whenever a runtime that imported the module ends.
  static std::uint64_t current() noexcept { return ended_runtimes.load(); }
  // Called once the running runtime is finalised: every cell forgets its object.
  static void end() noexcept { ended_runtimes.fetch_add(1); }

 private:
  static inline std::atomic<std::uint64_t> ended_runtimes{0};
};

// An object made on first need and kept until the runtime that made it ends. Cells are only
// touched under the interpreter lock, but creating may run Python code, which can let another
// thread create and store one first: that one then stays and the new one is released, so every
// caller sees the same object. An object of an ended runtime is neither returned nor touched
// nor freed: the cell simply forgets it.
class RuntimeCell {
 public:
  // The cell's object, made by `create` when there is none for the running runtime yet. A
  // failed creation (a null PyRef, with an error pending) leaves the cell as it was and gives
  // null.
  template <typename Create>
  PyObject* get_or_create(Create&& create) {
    if (PyObject* object = kept()) return object;
    PyRef created = std::forward<Create>(create)();
    if (!created) return nullptr;
    if (kept() == nullptr) {
      object_ = created.release();
      runtime_ = Runtime::current();
    }
    return object_;
  }

  // The object made in the running runtime, or null when there is none yet.
  PyObject* kept() const noexcept {
    return object_ != nullptr && runtime_ == Runtime::current() ? object_ : nullptr;
  }

 private:
  PyObject* object_ = nullptr;
  std::uint64_t runtime_ = 0;
};

}  // namespace pure_plinx
