#include "host/py_errors.hpp"

#include <nanobind/nanobind.h>

#include <cerrno>
#include <string>

#include "common/errors.hpp"

namespace nb = nanobind;

namespace callfold::py {
namespace {

void raise_os_error(const callfold::OsError& error) {
    nb::object filename = nb::steal(PyUnicode_DecodeFSDefaultAndSize(error.path.data(), static_cast<Py_ssize_t>(error.path.size())));
    if (!filename.is_valid()) return;
    errno = error.err;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, filename.ptr());
}

void raise_decode_error(const callfold::DecodeError& error) {
    PyObject* exception = PyUnicodeDecodeError_Create(
        "utf-8", error.object.data(), static_cast<Py_ssize_t>(error.object.size()),
        static_cast<Py_ssize_t>(error.start), static_cast<Py_ssize_t>(error.end), error.reason.c_str());
    if (exception == nullptr) return;
    PyErr_SetObject(PyExc_UnicodeDecodeError, exception);
    Py_DECREF(exception);
}

void raise_gzip_error(const callfold::GzipError& error) {
    switch (error.kind) {
        case callfold::GzipError::Kind::truncated:
            PyErr_SetString(PyExc_EOFError, error.what());
            return;
        case callfold::GzipError::Kind::bad_format: {
            nb::object bad_gzip = nb::module_::import_("gzip").attr("BadGzipFile");
            PyErr_SetObject(bad_gzip.ptr(), nb::str(error.what()).ptr());
            return;
        }
        case callfold::GzipError::Kind::corrupt: {
            nb::object zlib_error = nb::module_::import_("zlib").attr("error");
            const std::string message = std::string("Error -3 while decompressing data: ") + error.what();
            PyErr_SetObject(zlib_error.ptr(), nb::str(message.c_str()).ptr());
            return;
        }
    }
}

void raise_unpack_error(const callfold::UnpackError& error) {
    const std::string expected = std::to_string(error.expected);
    const std::string got = std::to_string(error.got);
    std::string message;
    if (error.got < error.expected) {
        message = "not enough values to unpack (expected " + expected + ", got " + got + ")";
    } else {
#if PY_VERSION_HEX >= 0x030E0000
        message = "too many values to unpack (expected " + expected + ", got " + got + ")";
#else
        message = "too many values to unpack (expected " + expected + ")";
#endif
    }
    PyErr_SetString(PyExc_ValueError, message.c_str());
}

void raise_child_error(const callfold::ChildProcessError& error) {
    nb::list command;
    for (const auto& argument : error.command) command.append(nb::str(argument.c_str(), argument.size()));
    nb::object called_process_error = nb::module_::import_("subprocess").attr("CalledProcessError");
    nb::object exception = called_process_error(error.returncode, command);
    PyErr_SetObject(called_process_error.ptr(), exception.ptr());
}

void translate(const std::exception_ptr& pointer, void*) {
    try {
        std::rethrow_exception(pointer);
    } catch (const callfold::OsError& error) {
        raise_os_error(error);
    } catch (const callfold::DecodeError& error) {
        raise_decode_error(error);
    } catch (const callfold::GzipError& error) {
        raise_gzip_error(error);
    } catch (const callfold::UnpackError& error) {
        raise_unpack_error(error);
    } catch (const callfold::ValueError& error) {
        PyErr_SetString(PyExc_ValueError, error.what());
    } catch (const callfold::IndexError& error) {
        PyErr_SetString(PyExc_IndexError, error.what());
    } catch (const callfold::OverflowError& error) {
        PyErr_SetString(PyExc_OverflowError, error.what());
    } catch (const callfold::RuntimeError& error) {
        PyErr_SetString(PyExc_RuntimeError, error.what());
    } catch (const callfold::ChildProcessError& error) {
        raise_child_error(error);
    }
}

}  // namespace

void register_error_translator() { nb::register_exception_translator(translate); }

}  // namespace callfold::py
