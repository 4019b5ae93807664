#include "repeats/engines.hpp"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <set>
#include <signal.h>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/errors.hpp"
#include "common/file_status.hpp"
#include "common/host_context.hpp"
#include "common/output_file.hpp"
#include "common/output_guard.hpp"
#include "common/system_io.hpp"
#include "repeats/catalog.hpp"
#include "repeats/record_span.hpp"

namespace callfold::repeats {

IntersectCounts intersect_builtin(const std::string& repeat_path, const std::string& bed_path,
                                  const std::string& output_path) {
    require_path_text(repeat_path);
    require_path_text(bed_path);
    require_path_text(output_path);

    std::optional<CatalogIndex> catalog;
    {
        const Catalog intervals = read_bed_intervals(bed_path);
        catalog.emplace(intervals);
    }

    IntersectCounts counts;
    {
        std::unique_ptr<LineStream> source = open_vcf_text(repeat_path);
        refuse_filtered_output_over_inputs(repeat_path, bed_path, output_path);
        OutputFile destination(output_path);
        for_each_vcf_line(
            *source,
            [&](std::string_view header) {
                destination.write(header);
                catalog->see_header_line(header);
            },
            // A record on the chromosome looked up last that the catalog does
            // not name, or that starts past every interval's end there, is
            // dropped as the full reading would drop it, without reading on.
            [&](std::string_view text) -> std::size_t {
                std::size_t chromosome_end = 0;
                std::int64_t position = 0;
                const OverlapIndex* index = nullptr;
                if (!record_position(text, chromosome_end, position) ||
                    !catalog->remembered(text.substr(0, chromosome_end), index))
                    return 0;
                if (index != nullptr && (position == INT64_MIN || position - 1 < index->span_start_limit())) return 0;
                ++counts.dropped;
                return record_line_length(text);
            },
            [&](std::string_view line, const std::optional<RecordSpan>& span) {
                if (span && catalog->overlaps(*span)) {
                    destination.write(line);
                    ++counts.kept;
                } else {
                    ++counts.dropped;
                }
                return true;
            });
        destination.close();
        source->close();
    }
    counts.naming = catalog->naming();
    log_event(LogLevel::info, "Repeat records kept: %d, outside the catalog: %d", {counts.kept, counts.dropped});
    return counts;
}

}  // namespace callfold::repeats

extern char** environ;

namespace callfold::repeats {
namespace {

struct SpawnSetup {
    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
    bool actions_ready = false;
    bool attributes_ready = false;
    ~SpawnSetup() {
        if (actions_ready) posix_spawn_file_actions_destroy(&actions);
        if (attributes_ready) posix_spawnattr_destroy(&attributes);
    }
};

void check(int result, const char* what) {
    if (result != 0) throw SystemCallFailed(result, what);
}

// Child processes get the default disposition of the signals the host ignores
// for itself (SIGPIPE, SIGXFSZ), as the host's own process starter gives them.
void prepare(SpawnSetup& setup, int output_fd) {
    check(posix_spawn_file_actions_init(&setup.actions), bedtools_program);
    setup.actions_ready = true;
    check(posix_spawn_file_actions_adddup2(&setup.actions, output_fd, STDOUT_FILENO), bedtools_program);
    check(posix_spawnattr_init(&setup.attributes), bedtools_program);
    setup.attributes_ready = true;
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGXFSZ);
    check(posix_spawnattr_setsigdefault(&setup.attributes, &defaults), bedtools_program);
    check(posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGDEF), bedtools_program);
}

// A started child, ended on every way out: one still running when the work
// stops (an interrupt, a failed write) is terminated and reaped.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    ~Child() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        retry_after_signal([&] { return ::waitpid(pid_, &status, 0); }, InterruptPoll::off);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The exit status, negative for the signal that ended it.
    int wait() {
        int status = 0;
        if (retry_after_signal([&] { return ::waitpid(pid_, &status, 0); }) < 0)
            throw SystemCallFailed(errno, bedtools_program);
        pid_ = 0;
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        if (WIFSIGNALED(status)) return -WTERMSIG(status);
        return status;
    }

private:
    pid_t pid_;
};

// Copies what the child writes into the pipe to `output` until the child
// closes it, looking for an interrupt at least every tenth of a second.
void copy_child_output(int pipe_fd, OutputFile& output) {
    std::vector<char> buffer(std::size_t{1} << 16);
    for (;;) {
        pollfd ready{pipe_fd, POLLIN, 0};
        const int events = retry_after_signal([&] { return ::poll(&ready, 1, 100); });
        if (events < 0) throw SystemCallFailed(errno, bedtools_program);
        poll_interrupt();
        if (events == 0) continue;
        const std::size_t got = read_some(pipe_fd, buffer.data(), buffer.size(), bedtools_program);
        if (got == 0) return;
        output.write(std::string_view(buffer.data(), got));
        report_progress(got);
    }
}

}  // namespace

std::vector<std::string> bedtools_arguments(const std::string& repeat_path, const std::string& bed_path) {
    return {bedtools_program, "intersect", "-a", repeat_path, "-b", bed_path, "-header", "-u"};
}

void intersect_with_bedtools(const std::string& repeat_path, const std::string& bed_path,
                             const std::string& output_path) {
    require_path_text(repeat_path);
    require_path_text(bed_path);
    require_path_text(output_path);
    refuse_filtered_output_over_inputs(repeat_path, bed_path, output_path);

    OutputFile output(output_path);

    const std::vector<std::string> arguments = bedtools_arguments(repeat_path, bed_path);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // bedtools exits 0 even when its own writes fail, so it writes into a pipe
    // and every write to the output file is made and checked here.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw SystemCallFailed(errno, bedtools_program);
    FileDescriptor pipe_read(ends[0]);
    FileDescriptor pipe_write(ends[1]);

    SpawnSetup setup;
    prepare(setup, pipe_write.get());
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, bedtools_program, &setup.actions, &setup.attributes, argv.data(), environ);
    if (started != 0) throw SystemCallFailed(started, bedtools_program);
    Child child(pid);
    pipe_write.reset();  // the child holds the only writing end

    copy_child_output(pipe_read.get(), output);
    const int status = child.wait();
    // A Ctrl-C at a terminal reaches bedtools too: the user stopped the work, it did not fail.
    poll_interrupt();
    output.close(Durability::synced);
    if (status != 0) throw ChildProcessFailed(status, arguments);
}

namespace {

std::string default_search_path() {
    const std::size_t size = ::confstr(_CS_PATH, nullptr, 0);
    if (size == 0) return "/bin:/usr/bin";
    std::string value(size, '\0');
    ::confstr(_CS_PATH, value.data(), size);
    value.resize(size - 1);
    return value;
}

bool is_executable_file(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> find_executable(const std::string& name) {
    const char* variable = std::getenv("PATH");
    const std::string search = variable != nullptr ? std::string(variable) : default_search_path();
    if (search.empty()) return std::nullopt;

    std::set<std::string_view> seen;
    const std::string_view directories(search);
    std::size_t start = 0;
    for (;;) {
        std::size_t stop = directories.find(':', start);
        if (stop == std::string_view::npos) stop = directories.size();
        const std::string_view directory = directories.substr(start, stop - start);
        if (seen.insert(directory).second) {
            // An empty entry names the working directory, as joining "" and the name does.
            std::string candidate(directory);
            if (!candidate.empty() && candidate.back() != '/') candidate += '/';
            candidate += name;
            if (is_executable_file(candidate)) return candidate;
        }
        if (stop == directories.size()) return std::nullopt;
        start = stop + 1;
    }
}

}  // namespace callfold::repeats
