#include "host/errors.hpp"

#include <nanobind/nanobind.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "common/errors.hpp"
#include "common/input_location.hpp"
#include "common/text_rules.hpp"
#include "host/python_host.hpp"

namespace nb = nanobind;

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

// The note an error gains when the core says where in an input it arose:
// "cnv input '/data/s1.cnv.vcf', line 14: 'chr2\t7000000\t...'".
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

// Adds `note` to the error being raised (BaseException.add_note).
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

nb::object decoded_path(const std::string& path) {
    return nb::steal(PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size())));
}

// The system's own messages may quote paths, whose bytes need not be UTF-8:
// such bytes come out as the host's file-name functions give them.
void raise_own_message(PyObject* kind, const char* message) {
    nb::object text = nb::steal(PyUnicode_DecodeUTF8(message, static_cast<Py_ssize_t>(std::strlen(message)), "surrogateescape"));
    if (!text.is_valid()) return;
    PyErr_SetObject(kind, text.ptr());
}

// Worded for the keyword argument the caller passed the output as.
void raise_output_over_input(const callfold::OutputOverInput& error) {
    using Output = callfold::OutputOverInput::Output;
    std::string message;
    switch (error.output_kind) {
        case Output::unified:
            message = "output_path '" + error.output_path + "' is the " + error.input_key + " input '" +
                      error.input_path + "'; writing the unified file there would destroy it";
            break;
        case Output::unified_compressed:
            message = "the compressed output '" + error.output_path + "' is the " + error.input_key + " input '" +
                      error.input_path + "'; choose an output_path whose compressed name is not an input";
            break;
        case Output::filtered:
            message = "output path '" + error.output_path + "' names " +
                      (error.input_key == "catalog" ? "the catalog BED" : "the repeat VCF") + " '" + error.input_path +
                      "'; writing it would destroy the input";
            break;
    }
    raise_own_message(PyExc_ValueError, message.c_str());
}

void raise_os_error(const callfold::SystemCallFailed& error) {
    nb::object filename = decoded_path(error.path);
    if (!filename.is_valid()) return;
    errno = error.err;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, filename.ptr());
}

const char* decode_reason(callfold::Utf8Problem problem) {
    switch (problem) {
        case callfold::Utf8Problem::invalid_start_byte: return "invalid start byte";
        case callfold::Utf8Problem::invalid_continuation_byte: return "invalid continuation byte";
        case callfold::Utf8Problem::unexpected_end: return "unexpected end of data";
        case callfold::Utf8Problem::none: break;
    }
    return "invalid data";
}

void raise_decode_error(const callfold::InvalidUtf8& error) {
    PyObject* exception = PyUnicodeDecodeError_Create(
        "utf-8", error.object.data(), static_cast<Py_ssize_t>(error.object.size()),
        static_cast<Py_ssize_t>(error.start), static_cast<Py_ssize_t>(error.end), decode_reason(error.problem));
    if (exception == nullptr) return;
    PyErr_SetObject(PyExc_UnicodeDecodeError, exception);
    Py_DECREF(exception);
}

// As the host's gzip reader words each failure.
void raise_gzip_error(const callfold::DamagedGzip& error) {
    using Kind = callfold::DamagedGzip::Kind;
    if (error.kind == Kind::truncated) {
        PyErr_SetString(PyExc_EOFError, "Compressed file ended before the end-of-stream marker was reached");
        return;
    }
    if (error.kind == Kind::corrupt) {
        nb::object zlib_error = nb::module_::import_("zlib").attr("error");
        const std::string message = "Error -3 while decompressing data: " + error.detail;
        PyErr_SetObject(zlib_error.ptr(), nb::str(message.c_str()).ptr());
        return;
    }
    nb::object message;
    switch (error.kind) {
        case Kind::not_gzip: {
            nb::object found = nb::steal(PyBytes_FromStringAndSize(error.found.data(), static_cast<Py_ssize_t>(error.found.size())));
            message = nb::str("Not a gzipped file ({!r})").format(found);
            break;
        }
        case Kind::unknown_method: message = nb::str("Unknown compression method"); break;
        case Kind::crc_mismatch: {
            char text[64];
            std::snprintf(text, sizeof text, "CRC check failed 0x%x != 0x%x", error.stored_crc, error.computed_crc);
            message = nb::str(text);
            break;
        }
        default: message = nb::str("Incorrect length of data produced"); break;
    }
    nb::object bad_gzip = nb::module_::import_("gzip").attr("BadGzipFile");
    PyErr_SetObject(bad_gzip.ptr(), message.ptr());
}

void raise_unpack_error(const callfold::WrongFieldCount& error) {
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

void raise_invalid_integer(const callfold::InvalidInteger& error) {
    nb::object text = nb::steal(PyUnicode_DecodeUTF8(error.text.data(), static_cast<Py_ssize_t>(error.text.size()), "replace"));
    if (!text.is_valid()) return;
    // The host's own int() message, repr truncated as it truncates it.
    PyObject* message = PyUnicode_FromFormat("invalid literal for int() with base %d: %.200R", 10, text.ptr());
    if (message == nullptr) return;
    PyErr_SetObject(PyExc_ValueError, message);
    Py_DECREF(message);
}

void raise_missing_key(const callfold::MissingKey& error) {
    nb::object key = nb::str(error.key.data(), error.key.size());
    PyErr_SetObject(PyExc_ValueError, nb::str("{!r} is not in list").format(key).ptr());
}

// Where the error carries a note naming the input, path and line, the message says only
// what is wrong (`located`); otherwise it names the file (and line) itself.
void raise_vcf_input_error(const callfold::VcfInputError& error, bool located) {
    nb::object problem = nb::steal(
        PyUnicode_DecodeUTF8(error.problem.data(), static_cast<Py_ssize_t>(error.problem.size()), "surrogateescape"));
    if (!problem.is_valid()) return;
    if (located) {
        PyErr_SetObject(PyExc_ValueError, problem.ptr());
        return;
    }
    nb::object path = decoded_path(error.path);
    if (!path.is_valid()) return;
    nb::object message = error.line == 0 ? nb::str("{}: {}").format(path, problem)
                                         : nb::str("{}: line {}: {}").format(path, error.line, problem);
    PyErr_SetObject(PyExc_ValueError, message.ptr());
}

void raise_child_error(const callfold::ChildProcessFailed& error) {
    nb::list command;
    for (const auto& argument : error.command) command.append(nb::str(argument.c_str(), argument.size()));
    nb::object called_process_error = nb::module_::import_("subprocess").attr("CalledProcessError");
    nb::object exception = called_process_error(error.returncode, command);
    PyErr_SetObject(called_process_error.ptr(), exception.ptr());
}

void translate(const std::exception_ptr& pointer, void*);

// The located error as the host's own error, with a note saying where it arose.
void raise_located(const callfold::InputLocation& where) {
    const auto* nested = dynamic_cast<const std::nested_exception*>(&where);
    if (nested == nullptr || nested->nested_ptr() == nullptr) {
        PyErr_SetString(PyExc_RuntimeError, where.what());
        return;
    }
    // Worded first: the host's API cannot be used while an error is being raised.
    nb::str note = location_note(where);
    try {
        std::rethrow_exception(nested->nested_ptr());
    } catch (const callfold::VcfInputError& error) {
        raise_vcf_input_error(error, true);
    } catch (...) {
        translate(nested->nested_ptr(), nullptr);
    }
    if (PyErr_Occurred()) add_note_to_raised(note);
}

void translate(const std::exception_ptr& pointer, void*) {
    try {
        std::rethrow_exception(pointer);
    } catch (const callfold::Interrupted&) {
        raise_interrupted();
    } catch (const callfold::InputLocation& where) {
        raise_located(where);
    } catch (const callfold::SystemCallFailed& error) {
        raise_os_error(error);
    } catch (const callfold::PathHasNul&) {
        PyErr_SetString(PyExc_ValueError, "embedded null byte");
    } catch (const callfold::InvalidUtf8& error) {
        raise_decode_error(error);
    } catch (const callfold::DamagedGzip& error) {
        raise_gzip_error(error);
    } catch (const callfold::MissingField&) {
        PyErr_SetString(PyExc_IndexError, "list index out of range");
    } catch (const callfold::MissingKey& error) {
        raise_missing_key(error);
    } catch (const callfold::InvalidInteger& error) {
        raise_invalid_integer(error);
    } catch (const callfold::WrongFieldCount& error) {
        raise_unpack_error(error);
    } catch (const callfold::VcfInputError& error) {
        raise_vcf_input_error(error, false);
    } catch (const callfold::OutputOverInput& error) {
        raise_output_over_input(error);
    } catch (const callfold::InvalidValue& error) {
        raise_own_message(PyExc_ValueError, error.what());
    } catch (const callfold::ValueOutOfRange& error) {
        raise_own_message(PyExc_OverflowError, error.what());
    } catch (const callfold::Unavailable& error) {
        raise_own_message(PyExc_RuntimeError, error.what());
    } catch (const callfold::ChildProcessFailed& error) {
        raise_child_error(error);
    }
}

}  // namespace

void register_error_translator() {
    // Each module asks as it loads; one translator serves them all.
    static const bool registered = (nb::register_exception_translator(translate), true);
    (void)registered;
}

}  // namespace callfold::py
