#pragma once
// Programs a test starts and ends: any command with its own environment and
// its output in a file, as the test's user or, when the tests run as root,
// as an ordinary one (programs that refuse root: xscreensaver, sway).
#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

class tChildProcess {
public:
    /// Any command (found on PATH), its output appended to outputPath.
    tChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                  const std::string& outputPath);
    virtual ~tChildProcess();
    tChildProcess(const tChildProcess&) = delete;
    tChildProcess& operator=(const tChildProcess&) = delete;

    /// Waits for the exit; returns the exit code, or -1 on timeout (the
    /// process is then killed), or 128 + signal when a signal ended it.
    int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    /// Sends SIGTERM (a clean stop) and waits.
    int Terminate(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    bool Running();
    pid_t Pid() const { return pid_; }

protected:
    tChildProcess() = default;
    void Start(std::vector<std::string> argv, std::vector<std::string> env, const std::string& outputPath);

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

/// Polls the file until it contains the text; false after the timeout.
bool WaitForText(const std::string& path, const std::string& text,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30));

/// True when the tests run as root. Programs that refuse root (xscreensaver)
/// or that must meet folders they cannot write then run as nobody.
bool RunningAsRoot();
/// The command, run as nobody when the tests run as root.
std::vector<std::string> Unprivileged(std::vector<std::string> argv);
/// The same for a shell command line.
std::string UnprivilegedCommand(const std::string& commandLine);
/// Lets everyone enter the folder and, when the tests run as root, gives it
/// and everything in it to nobody.
void GiveToUnprivileged(const std::string& path);

/// The sanitizer run's settings in this process's environment (its options,
/// its suppressions, the preloaded driver), for runs that start from an
/// emptied environment; none in an ordinary run.
std::vector<std::string> SanitizerEnvironment();

/// What /proc tells of a process.
struct tProcessFacts {
    std::string first; // the first argument
    char state = '\0'; // '\0' when the process is gone
    pid_t parent = 0;
};
tProcessFacts FactsOf(pid_t pid);

/// Live (not zombie) processes running the program at path, without the
/// moments when one forks a helper (which shares its command line until it
/// runs another program).
std::vector<pid_t> ProcessesOf(const std::string& path);
