#include "engine/platform/SdlDialog.h"

#include "engine/platform/Platform.h"

#include <SDL.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <spawn.h>
#include <string_view>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kDialogArgument = "--spraydash-dialog";
constexpr const char* kOwnExecutable = "/proc/self/exe";
constexpr const char* kErrorKind = "error";
constexpr const char* kWarningKind = "warning";
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr long kWaitStepNs = 20'000'000;

Uint32 BoxFlags(TDialogKind kind) {
    return kind == TDialogKind::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_WARNING;
}

// A signal handler can only leave a note in memory of static storage; it is set while a box is up.
volatile std::sig_atomic_t& CaughtSignal() {
    static volatile std::sig_atomic_t caught = 0;
    return caught;
}

// Waits for the box's process; a signal that would end the game ends the box's whole process group
// first (the box itself is drawn by a child of that process), then is raised again for whoever
// handled it before: SDL's handler turns it into a quit event, the default ends the game.
void WaitForDialog(pid_t pid) {
    CaughtSignal() = 0;
    struct sigaction catcher {};
    catcher.sa_handler = [](int signal) { CaughtSignal() = signal; };
    sigemptyset(&catcher.sa_mask);
    struct sigaction previous[std::size(kEndingSignals)];
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
        sigaction(kEndingSignals[i], &catcher, &previous[i]);

    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (CaughtSignal() != 0) {
            kill(-pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        const timespec step{0, kWaitStepNs};
        nanosleep(&step, nullptr);
    }

    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
        sigaction(kEndingSignals[i], &previous[i], nullptr);
    if (const int signal = CaughtSignal(); signal != 0)
        std::raise(signal);
}

bool ShowInOwnProcess(TDialogKind kind, const std::string& title, const std::string& message) {
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
        return false;
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : kEndingSignals)
        sigaddset(&defaults, signal);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);

    std::string parent = std::to_string(getpid());
    std::string kindName = kind == TDialogKind::Error ? kErrorKind : kWarningKind;
    std::string program = "spraydash";
    std::string argument = kDialogArgument;
    std::string titleText = title;
    std::string messageText = message;
    char* argv[] = {program.data(),   argument.data(),    kindName.data(), parent.data(),
                    titleText.data(), messageText.data(), nullptr};
    // The box needs nothing of the game's open files and connections beyond stdout and stderr.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    pid_t pid = 0;
    const int result = posix_spawn(&pid, kOwnExecutable, &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0)
        return false;
    WaitForDialog(pid);
    return true;
}

} // namespace

void ShowSdlDialog(TDialogKind kind, const std::string& title, const std::string& message, SDL_Window* owner,
                   bool ownProcess) {
    if (ownProcess && ShowInOwnProcess(kind, title, message))
        return;
    SDL_ShowSimpleMessageBox(BoxFlags(kind), title.c_str(), message.c_str(), owner);
}

std::optional<int> RunSdlDialogProcess(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], kDialogArgument) != 0)
        return std::nullopt;
    if (argc != 6)
        return 2;
    const std::string_view kindName = argv[2];
    const pid_t parent = static_cast<pid_t>(std::strtol(argv[3], nullptr, 10));

    // Whatever this process starts shares its process group, so that one kill ends them all; a
    // signal, or the game's end (the parent-death signal), does exactly that.
    setpgid(0, 0);
    struct sigaction endAll {};
    endAll.sa_handler = [](int) { kill(0, SIGKILL); };
    sigemptyset(&endAll.sa_mask);
    for (int signal : kEndingSignals)
        sigaction(signal, &endAll, nullptr);
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent)
        return 1; // the game is gone already

    const TDialogKind kind = kindName == kWarningKind ? TDialogKind::Warning : TDialogKind::Error;
    return SDL_ShowSimpleMessageBox(BoxFlags(kind), argv[4], argv[5], nullptr) == 0 ? 0 : 1;
}
