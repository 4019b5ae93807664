#include "host/error_notes.hpp"

#include <cstdio>
#include <string>
#include <string_view>

#include "common/utf8.hpp"

namespace callfold::py {
namespace {

constexpr std::size_t shown_characters = 80;

// The line start as a quoted literal: TAB, CR, LF, backslash and the quote
// escaped as the host escapes them, control characters and bytes that are not
// UTF-8 as \xNN, about 80 characters with "..." when cut.
std::string quoted_line_start(std::string_view bytes) {
    std::string out = "'";
    std::size_t characters = 0;
    std::size_t pos = 0;
    while (pos < bytes.size() && characters < shown_characters) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        char escaped[8];
        if (byte >= 0x80) {
            const Utf8Check check = check_utf8(bytes.substr(pos, 4), true);
            std::size_t length = 1;
            while (length < 4 && pos + length < bytes.size() &&
                   (static_cast<unsigned char>(bytes[pos + length]) & 0xc0) == 0x80)
                ++length;
            if (check.valid >= length) {
                out.append(bytes.substr(pos, length));
                pos += length;
            } else {
                std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
                out += escaped;
                ++pos;
            }
        } else {
            switch (byte) {
                case '\t': out += "\\t"; break;
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                case '\\': out += "\\\\"; break;
                case '\'': out += "\\'"; break;
                default:
                    if (byte < 0x20 || byte == 0x7f) {
                        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
                        out += escaped;
                    } else {
                        out += static_cast<char>(byte);
                    }
            }
            ++pos;
        }
        ++characters;
    }
    out += '\'';
    if (pos < bytes.size()) out += "...";
    return out;
}

}  // namespace

nb::str location_note(const InputLocation& where) {
    nb::str note(where.input.empty() ? "input" : where.input.c_str());
    if (!where.path.empty()) {
        nb::object path = nb::steal(
            PyUnicode_DecodeFSDefaultAndSize(where.path.data(), static_cast<Py_ssize_t>(where.path.size())));
        if (!path.is_valid()) throw nb::python_error();
        note = nb::str("{} {!r}").format(note, path);
    }
    // A record refused after its own line was read has no text at hand.
    if (where.line_start.empty()) return nb::str("{}, line {}").format(note, where.line);
    const std::string start = quoted_line_start(where.line_start);
    return nb::str("{}, line {}: {}").format(note, where.line, nb::str(start.data(), start.size()));
}

void add_note_to_raised(nb::handle note) {
#if PY_VERSION_HEX >= 0x030C0000
    PyObject* raised = PyErr_GetRaisedException();
    if (raised == nullptr) return;
    PyObject* added = PyObject_CallMethod(raised, "add_note", "O", note.ptr());
    if (added == nullptr) {
        Py_DECREF(raised);
        return;  // the error of add_note itself stands
    }
    Py_DECREF(added);
    PyErr_SetRaisedException(raised);
#else
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    if (value == nullptr) {
        PyErr_Restore(type, value, traceback);
        return;
    }
    PyObject* added = PyObject_CallMethod(value, "add_note", "O", note.ptr());
    if (added == nullptr) {
        Py_XDECREF(type);
        Py_XDECREF(value);
        Py_XDECREF(traceback);
        return;
    }
    Py_DECREF(added);
    PyErr_Restore(type, value, traceback);
#endif
}

}  // namespace callfold::py
