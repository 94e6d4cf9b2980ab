// The module pure_plinx: single-phase initialisation, one module object per process.
#include <Python.h>

#include <atomic>
#include <cstdint>

#include "failures.hpp"
#include "names.hpp"
#include "plinx_type.hpp"
#include "py_ref.hpp"
#include "runtime_cell.hpp"

namespace pure_plinx {
namespace {

// The project version, passed in by the build from its single definition in CMakeLists.txt.
constexpr const char kVersion[] = PLINX_VERSION;
constexpr const char kSubinterpreterMessage[] =
    "pure_plinx does not yet support sub-interpreters, see the section \"Sub-interpreters\" "
    "of the README of pure_plinx";
constexpr const char kNoExitCallbackMessage[] =
    "pure_plinx cannot import: the interpreter has no room left for the exit callback "
    "(Py_AtExit) that tells it when this interpreter is finalized";

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "pure_plinx", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// The interpreter that imported the module first in the running interpreter runtime; -1
// until then. The module's state (the types and the module object) is shared by all of the
// runtime, so no other interpreter may use it.
std::atomic<std::int64_t> recorded_interpreter{-1};

// The module object, once an initialisation has completed.
RuntimeCell module_cell;

// Run by Py_FinalizeEx after the interpreter is gone, when no Python API may be called. A
// runtime initialised after it gives its main interpreter the id 0 again, so the id cannot
// tell the two apart: forgetting the recorded id and every kept object makes the next import
// start over instead of handing out objects of the finalized runtime.
void forget_finalized_runtime() {
  recorded_interpreter.store(-1);
  Runtime::end();
}

void record_interpreter() {
  const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (id == -1) throw_pending_error();
  std::int64_t expected = -1;
  if (recorded_interpreter.compare_exchange_strong(expected, id)) {
    // The first import of this runtime; without the callback a later runtime in this process
    // could not be told from this one.
    if (Py_AtExit(forget_finalized_runtime) != 0) {
      recorded_interpreter.store(-1);
      throw_new_error(PyExc_ImportError, "%s", kNoExitCallbackMessage);
    }
  } else if (expected != id) {
    throw_new_error(PyExc_ImportError, "%s", kSubinterpreterMessage);
  }
}

// The module's __all__ list, created when the module has none yet.
PyRef all_list(PyObject* module) {
  PyRef all = PyRef::steal(PyObject_GetAttr(module, all_name()));
  if (!all) {
    PythonError error = take_error_or_resume_panic();
    if (!PyErr_GivenExceptionMatches(error.type(), PyExc_AttributeError)) throw std::move(error);
    all = PyRef::steal(PyList_New(0));
    if (!all) throw_pending_error();
    if (PyObject_SetAttr(module, all_name(), all.get()) != 0) throw_pending_error();
    return all;
  }
  if (!PyList_Check(all.get())) {
    throw_new_error(PyExc_TypeError, "'%s' object cannot be converted to 'PyList'",
                    qualified_type_name(Py_TYPE(all.get())).c_str());
  }
  return all;
}

// Lists `name` in __all__ and sets it on the module.
void add_to_module(PyObject* module, const char* name, PyObject* value) {
  const PyRef all = all_list(module);
  const PyRef text = PyRef::steal(PyUnicode_FromString(name));
  if (!text) throw_pending_error();
  if (PyList_Append(all.get(), text.get()) != 0) {
    PyErr_Clear();
    throw InternalFailure("could not append __name__ to __all__");
  }
  if (PyObject_SetAttr(module, text.get(), value) != 0) throw_pending_error();
}

void run_module_body(PyObject* module) {
  add_to_module(module, "Plinx", reinterpret_cast<PyObject*>(plinx_type()));
  const PyRef version = PyRef::steal(PyUnicode_FromString(kVersion));
  if (!version) throw_pending_error();
  add_to_module(module, "__version__", version.get());
}

PyRef create_module() {
  PyRef module = PyRef::steal(PyModule_Create2(&module_definition, PYTHON_API_VERSION));
  if (!module) throw_pending_error();
  run_module_body(module.get());
  return module;
}

PyObject* initialise_module() {
  record_interpreter();
  // A repeated import (after the module left sys.modules) gets the same object back, and
  // the body does not run twice.
  return PyRef::borrow(module_cell.get_or_create(create_module)).release();
}

}  // namespace
}  // namespace pure_plinx

PyMODINIT_FUNC PyInit_pure_plinx() { return pure_plinx::contain(pure_plinx::initialise_module); }
