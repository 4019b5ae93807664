#include "host/py_interrupts.hpp"

namespace callfold::py {
namespace {

// The error a signal handler raised on this thread, until it is raised to the caller.
thread_local PyObject* kept_error = nullptr;

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
    Py_XDECREF(kept_error);
    kept_error = take_raised();
    return true;
}

void raise_interrupted() {
    PyObject* error = kept_error;
    kept_error = nullptr;
    if (error == nullptr) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        return;
    }
#if PY_VERSION_HEX >= 0x030C0000
    PyErr_SetRaisedException(error);  // keeps the handler's traceback
#else
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error)), error);
    Py_DECREF(error);
#endif
}

}  // namespace callfold::py
