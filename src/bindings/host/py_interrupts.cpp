#include "host/py_interrupts.hpp"

namespace callfold::py {
namespace {

// The error a signal handler raised on this thread is kept, until it is raised
// to the caller, in the thread's state dictionary: the translator that raises
// it may be another module's (the host tries the last registered one first),
// so it must not live in this module's own variables.
constexpr const char* kept_error_key = "Callfold.interrupted_by";

PyObject* take_raised() {
#if PY_VERSION_HEX >= 0x030C0000
    return PyErr_GetRaisedException();
#else
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    if (value != nullptr && traceback != nullptr) PyException_SetTraceback(value, traceback);
    Py_XDECREF(type);
    Py_XDECREF(traceback);
    return value;
#endif
}

}  // namespace

bool host_signal_raised() {
    nb::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() == 0) return false;
    keep_raised_error();
    return true;
}

void keep_raised_error() {
    PyObject* error = take_raised();
    PyObject* state = PyThreadState_GetDict();  // borrowed
    if (error != nullptr && state != nullptr && PyDict_SetItemString(state, kept_error_key, error) != 0)
        PyErr_Clear();  // out of memory: the caller gets KeyboardInterrupt instead
    Py_XDECREF(error);
}

void raise_interrupted() {
    PyObject* state = PyThreadState_GetDict();  // borrowed
    PyObject* error = state != nullptr ? PyDict_GetItemString(state, kept_error_key) : nullptr;
    if (error == nullptr) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        return;
    }
    Py_INCREF(error);
    if (PyDict_DelItemString(state, kept_error_key) != 0) PyErr_Clear();
#if PY_VERSION_HEX >= 0x030C0000
    PyErr_SetRaisedException(error);  // keeps the handler's traceback
#else
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error)), error);
    Py_DECREF(error);
#endif
}

}  // namespace callfold::py
