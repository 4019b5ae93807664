#include "host/error_notes.hpp"

#include <cstdio>
#include <string>
#include <string_view>

#include "common/text_rules.hpp"

namespace callfold::py {
namespace {

constexpr std::size_t shown_characters = 80;

struct CodeRange {
    char32_t first;
    char32_t last;
};

// Characters the host does not print in a repr (besides C0, DEL and C1): the
// separators other than the space, the format characters (bidirectional
// overrides and isolates, zero-width ones, U+FEFF, ...) and private use.
constexpr CodeRange unprintable[] = {
    {0x00A0, 0x00A0},   {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},
    {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x1680, 0x1680},   {0x180E, 0x180E},
    {0x2000, 0x200F},   {0x2028, 0x202F},   {0x205F, 0x2064},   {0x2066, 0x206F},   {0x3000, 0x3000},
    {0xD800, 0xF8FF},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
    {0xF0000, 0x10FFFF},
};

bool printable(char32_t code) {
    if (code < 0x20 || (code >= 0x7F && code < 0xA0)) return false;
    for (const CodeRange& range : unprintable)
        if (code >= range.first && code <= range.last) return false;
    return true;
}

char32_t code_point(std::string_view sequence) {
    const auto lead = static_cast<unsigned char>(sequence[0]);
    char32_t code = sequence.size() == 2 ? lead & 0x1F : sequence.size() == 3 ? lead & 0x0F : lead & 0x07;
    for (std::size_t i = 1; i < sequence.size(); ++i) code = (code << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3F);
    return code;
}

void append_escaped(std::string& out, char32_t code) {
    char escaped[12];
    if (code < 0x100) std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(code));
    else if (code < 0x10000) std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(code));
    else std::snprintf(escaped, sizeof escaped, "\\U%08x", static_cast<unsigned>(code));
    out += escaped;
}

// The line start as a quoted literal, escaped as the host's repr escapes it:
// TAB, CR, LF, backslash and the quote by name, every other character it does
// not print (controls, separators, format characters such as the byte order
// mark or a bidirectional override) by its code, bytes that are not UTF-8 as
// \xNN; about 80 characters with "..." when cut. The note stays one line.
std::string quoted_line_start(std::string_view bytes) {
    std::string out = "'";
    std::size_t characters = 0;
    std::size_t pos = 0;
    while (pos < bytes.size() && characters < shown_characters) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        if (byte >= 0x80) {
            const Utf8Check check = check_utf8(bytes.substr(pos, 4), true);
            std::size_t length = 1;
            while (length < 4 && pos + length < bytes.size() &&
                   (static_cast<unsigned char>(bytes[pos + length]) & 0xc0) == 0x80)
                ++length;
            if (check.valid >= length) {
                const std::string_view sequence = bytes.substr(pos, length);
                const char32_t code = code_point(sequence);
                if (printable(code)) out.append(sequence);
                else append_escaped(out, code);
                pos += length;
            } else {
                append_escaped(out, byte);
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
                    if (printable(byte)) out += static_cast<char>(byte);
                    else append_escaped(out, byte);
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
