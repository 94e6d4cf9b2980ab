#include "plinx_type.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "arguments.hpp"
#include "destiny.hpp"
#include "failures.hpp"
#include "names.hpp"
#include "plinx/engine.hpp"
#include "py_ref.hpp"
#include "runtime_cell.hpp"

namespace pure_plinx {
namespace {

// An instance holds nothing but a borrow counter: 0 when free, n > 0 while n calls share it,
// -1 while one caller holds it exclusively. Every call takes a shared borrow, and a call that
// finds the instance held exclusively fails with "Already mutably borrowed". No code path
// takes an exclusive borrow, so that failure cannot happen today; the counter stays because
// it is part of the instance layout (basic size 24) that callers can see.
struct PlinxObject {
  PyObject_HEAD Py_ssize_t borrow_count;
};
static_assert(sizeof(PlinxObject) == 24, "the instance layout is the object header and a word");

constexpr Py_ssize_t kExclusivelyBorrowed = -1;

// The type's tp_name points into this text, so it lives as long as the process.
constexpr const char kTypeName[] = "pure_plinx.Plinx";
// Short name, text signature and doc, in the layout inspect.signature() parses.
constexpr const char kInternalDoc[] = "Plinx()\n--\n\nPython 側の `Plinx` クラス。";
constexpr const char kPullDoc[] =
    "pull($self, destiny)\n--\n\n`destiny` を元に 0.0〜1.0 の浮動小数値を 1 つ引く。";

constexpr const char* kPullParameters[] = {"destiny"};
constexpr ArgumentSpec kConstructorArguments{"Plinx", "__new__", {}, 0};
constexpr ArgumentSpec kPullArguments{"Plinx", "pull", kPullParameters, 1};

// Created on first need and kept until the interpreter runtime ends.
RuntimeCell created_type;

// Holds a shared borrow of the receiver, and a reference to it, for the length of a call.
class SharedBorrow {
 public:
  explicit SharedBorrow(PyObject* receiver) : receiver_(as_plinx(receiver)) {
    if (receiver_->borrow_count == kExclusivelyBorrowed) {
      throw_new_error(PyExc_RuntimeError, "Already mutably borrowed");
    }
    ++receiver_->borrow_count;
    Py_INCREF(receiver);
  }
  SharedBorrow(const SharedBorrow&) = delete;
  SharedBorrow& operator=(const SharedBorrow&) = delete;
  SharedBorrow(SharedBorrow&&) = delete;
  SharedBorrow& operator=(SharedBorrow&&) = delete;
  ~SharedBorrow() {
    --receiver_->borrow_count;
    Py_DECREF(reinterpret_cast<PyObject*>(receiver_));
  }

 private:
  // Python's own call paths only ever pass a Plinx; direct calls of the slots might not.
  static PlinxObject* as_plinx(PyObject* receiver) {
    if (!PyType_IsSubtype(Py_TYPE(receiver), plinx_type())) {
      throw_new_error(PyExc_TypeError, "'%s' object cannot be converted to 'Plinx'",
                      qualified_type_name(Py_TYPE(receiver)).c_str());
    }
    return reinterpret_cast<PlinxObject*>(receiver);
  }

  PlinxObject* receiver_;
};

double draw(std::int64_t destiny) {
  try {
    return plinx::Engine{}.pull(destiny);
  } catch (const plinx::DrawError& error) {
    throw InternalFailure(error.what());
  }
}

PyObject* plinx_new(PyTypeObject* type, PyObject* positional, PyObject* keywords) {
  return contain([&] {
    bind_tuple_and_dict(kConstructorArguments, positional, keywords, {});
    const allocfunc allocate = type->tp_alloc != nullptr ? type->tp_alloc : PyType_GenericAlloc;
    PyObject* instance = allocate(type, 0);
    if (instance == nullptr) throw_pending_error();
    reinterpret_cast<PlinxObject*>(instance)->borrow_count = 0;
    return instance;
  });
}

PyObject* plinx_repr(PyObject* self) {
  return contain([&] {
    const SharedBorrow borrow(self);
    PyObject* text = PyUnicode_FromStringAndSize("Plinx()", 7);
    if (text == nullptr) fail_unexpected_api_error();
    return text;
  });
}

PyObject* plinx_pull(PyObject* self, PyObject* const* arguments, Py_ssize_t positional_count,
                     PyObject* keyword_names) {
  return contain([&] {
    PyObject* destiny = nullptr;
    bind_vector(kPullArguments, arguments, positional_count, keyword_names, {&destiny, 1});
    const SharedBorrow borrow(self);
    PyObject* drawn = PyFloat_FromDouble(draw(destiny_from(destiny)));
    if (drawn == nullptr) fail_unexpected_api_error();
    return drawn;
  });
}

void plinx_dealloc(PyObject* self) {
  // Instances of a heap type hold a reference to it, given back after the memory.
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyMethodDef plinx_methods[] = {
    {"pull", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(plinx_pull)),
     METH_FASTCALL | METH_KEYWORDS, kPullDoc},
    {nullptr, nullptr, 0, nullptr},
};

// The interpreter frees a heap type's doc with PyObject_Free up to 3.12, PyMem_Free from 3.13.
#if PY_VERSION_HEX >= 0x030D0000
void* allocate_doc(std::size_t size) { return PyMem_Malloc(size); }
void free_doc(const char* doc) { PyMem_Free(const_cast<char*>(doc)); }
#else
void* allocate_doc(std::size_t size) { return PyObject_Malloc(size); }
void free_doc(const char* doc) { PyObject_Free(const_cast<char*>(doc)); }
#endif

// CPython keeps only the part after the signature when it copies a spec's doc, which loses
// __text_signature__. Putting the whole internal doc back restores it; __doc__ is already
// in the type's dictionary by then.
void restore_internal_doc(PyTypeObject* type) {
  char* doc = static_cast<char*>(allocate_doc(sizeof kInternalDoc));
  if (doc == nullptr) {
    PyErr_NoMemory();
    throw_pending_error();
  }
  std::memcpy(doc, kInternalDoc, sizeof kInternalDoc);
  free_doc(type->tp_doc);
  type->tp_doc = doc;
}

PyRef create_type() {
  PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(kInternalDoc)},
      {Py_tp_new, reinterpret_cast<void*>(plinx_new)},
      {Py_tp_repr, reinterpret_cast<void*>(plinx_repr)},
      {Py_tp_methods, plinx_methods},
      {Py_tp_base, &PyBaseObject_Type},
      {Py_tp_dealloc, reinterpret_cast<void*>(plinx_dealloc)},
      {0, nullptr},
  };
  PyType_Spec spec{kTypeName, sizeof(PlinxObject), 0, Py_TPFLAGS_DEFAULT, slots};
  PyRef type = PyRef::steal(PyType_FromSpec(&spec));
  if (!type) throw_pending_error();
  restore_internal_doc(reinterpret_cast<PyTypeObject*>(type.get()));
  return type;
}

// Raises RuntimeError("An error occurred while initializing class Plinx") from `cause`.
[[noreturn]] void throw_initialization_error(PythonError cause) {
  cause.normalize();
  PyRef error = PyRef::steal(PyObject_CallFunction(
      PyExc_RuntimeError, "s", "An error occurred while initializing class Plinx"));
  if (!error) throw_pending_error();
  PyException_SetCause(error.get(), PyRef::borrow(cause.value()).release());
  throw PythonError(std::move(error));
}

}  // namespace

PyTypeObject* plinx_type() {
  PyObject* type = created_type.get_or_create([] {
    try {
      return create_type();
    } catch (PythonError& cause) {
      throw_initialization_error(std::move(cause));
    }
  });
  return reinterpret_cast<PyTypeObject*>(type);
}

}  // namespace pure_plinx
