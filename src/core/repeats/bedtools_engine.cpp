#include "repeats/bedtools_engine.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "common/errors.hpp"
#include "repeats/path_identity.hpp"
#include "common/path_text.hpp"

extern char** environ;

namespace callfold::repeats {
namespace {

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

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
    if (result != 0) throw OsError(result, what);
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

int wait_for(pid_t child) {
    int status = 0;
    for (;;) {
        if (::waitpid(child, &status, 0) >= 0) break;
        if (errno != EINTR) throw OsError(errno, bedtools_program);
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return -WTERMSIG(status);
    return status;
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
    refuse_output_over_inputs(repeat_path, bed_path, output_path);

    Descriptor output{::open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)};
    if (output.fd < 0) throw OsError(errno, output_path);

    const std::vector<std::string> arguments = bedtools_arguments(repeat_path, bed_path);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    SpawnSetup setup;
    prepare(setup, output.fd);
    pid_t child = 0;
    const int started = posix_spawnp(&child, bedtools_program, &setup.actions, &setup.attributes, argv.data(), environ);
    if (started != 0) throw OsError(started, bedtools_program);

    const int status = wait_for(child);
    const int fd = output.fd;
    output.fd = -1;
    if (::close(fd) != 0 && errno != EINTR) throw OsError(errno, output_path);
    if (status != 0) throw ChildProcessError(status, arguments);
}

}  // namespace callfold::repeats
