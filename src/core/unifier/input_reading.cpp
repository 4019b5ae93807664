#include "unifier/input_reading.hpp"

#include <algorithm>

#include "common/file_status.hpp"
#include "common/input_location.hpp"
#include "common/text_rules.hpp"
#include "unifier/record_rules.hpp"

namespace callfold::unifier {

InputBytes::InputBytes(const std::string& path) : path_(path), regular_(is_regular_file(path)) {
    if (!regular_) {
        once_ = read_all(*open_file_source(path));
        return;
    }
    file_size_ = regular_file_size(path);
}

std::unique_ptr<ByteSource> InputBytes::open() const {
    return regular_ ? open_file_source(path_) : memory_source(once_, path_);
}

std::size_t InputBytes::size_hint(Compression compression) const {
    const std::size_t size = regular_ ? file_size_ : once_.size();
    // Compressed text is taken to be four times its size, so that it is
    // allocated once rather than copied through every doubling.
    return compression == Compression::gzip ? size * 4 : size + 1;
}

TextLines get_lines(const std::string& path) {
    return gzip_then_plain(path, [](const InputBytes& bytes, Compression compression) {
        return read_lines(bytes.open(), compression, bytes.size_hint(compression));
    });
}

void stream_lines(const std::string& path, const LineSink& sink) {
    gzip_then_plain(path, [&sink](const InputBytes& bytes, Compression compression) {
        sink.restart();
        LineStream stream(bytes.open(), compression);
        std::uint64_t delivered = 0;
        for (;;) {
            std::string_view run;
            if (!read_located(stream, &LineStream::next_lines, run, "", delivered)) return;
            delivered += static_cast<std::uint64_t>(std::count(run.begin(), run.end(), '\n'));
            sink.lines(run);
        }
    });
}

bool is_record_line(std::string_view line) {
    const std::string_view stripped = strip_whitespace(line);
    return !stripped.empty() && stripped.front() != '#';
}

bool is_empty(const std::vector<std::string_view>& lines) {
    for (const std::string_view line : lines)
        if (is_record_line(line)) return false;
    return true;
}

InputLines read_struct_lines(const InputPaths& paths, const std::vector<std::string>& drop_sv_filters) {
    InputLines result;
    for (std::size_t type = 0; type < file_type_count; ++type) {
        const std::string key(file_type_keys[type]);
        if (!paths[type]) {
            log_event(LogLevel::warning, "Can't unify file type \"%s\". The file does not exist.", {key});
            continue;
        }
        TextLines input;
        try {
            input = get_lines(*paths[type]);
        } catch (...) {
            InputLocation where;
            where.input = input_name(key);
            rethrow_located(std::move(where));
        }
        if (type == FileType::sv) {
            const std::vector<std::size_t> kept = kept_sv_lines(input.lines, drop_sv_filters);
            if (kept.size() != input.lines.size()) {
                std::vector<std::string_view> lines;
                lines.reserve(kept.size());
                for (const std::size_t index : kept) lines.push_back(input.lines[index]);
                input.lines = std::move(lines);
            }
        }
        if (is_empty(input.lines)) {
            log_event(LogLevel::warning, "Can't unify file type \"%s\". The file is empty or contains only headers.",
                      {key});
            continue;
        }
        result[type] = std::move(input);
    }
    return result;
}

}  // namespace callfold::unifier
