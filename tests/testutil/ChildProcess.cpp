#include "ChildProcess.h"

#include "TestUtil.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

tChildProcess::tChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                             const std::string& outputPath)
{
    Start(argv, env, outputPath);
}

void tChildProcess::Start(std::vector<std::string> argStrings, std::vector<std::string> env,
                            const std::string& outputPath)
{
    std::vector<char*> argv, envp;
    for (auto& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::execvpe(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
}

tChildProcess::~tChildProcess()
{
    if (Running()) {
        ::kill(pid_, SIGKILL);
        Wait(std::chrono::seconds(5));
    }
}

bool tChildProcess::Running()
{
    if (pid_ <= 0 || status_ != -1)
        return false;
    int st = 0;
    const pid_t r = ::waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
        status_ = st;
        return false;
    }
    return r == 0;
}

int tChildProcess::Wait(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (status_ == -1)
        return -1;
    if (WIFEXITED(status_))
        return WEXITSTATUS(status_);
    if (WIFSIGNALED(status_))
        return 128 + WTERMSIG(status_);
    return -1;
}

int tChildProcess::Terminate(std::chrono::milliseconds timeout)
{
    if (Running())
        ::kill(pid_, SIGTERM);
    return Wait(timeout);
}

bool WaitForText(const std::string& path, const std::string& text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadTextFile(path).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool RunningAsRoot() { return ::geteuid() == 0; }

std::vector<std::string> Unprivileged(std::vector<std::string> argv)
{
    if (!RunningAsRoot())
        return argv;
    std::vector<std::string> as{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    as.insert(as.end(), argv.begin(), argv.end());
    return as;
}

std::string UnprivilegedCommand(const std::string& commandLine)
{
    return RunningAsRoot() ? "setpriv --reuid=nobody --regid=nogroup --clear-groups " + commandLine : commandLine;
}

void GiveToUnprivileged(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::group_exec | fs::perms::others_exec | fs::perms::group_read |
                              fs::perms::others_read, fs::perm_options::add);
    if (RunningAsRoot() && RunCommand("chown -R nobody:nogroup '" + path + "'").exitCode != 0)
        throw std::runtime_error("could not give " + path + " to nobody");
}

std::vector<std::string> SanitizerEnvironment()
{
    std::vector<std::string> env;
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "LD_PRELOAD", "LP_NUM_THREADS",
                             "MESA_SHADER_CACHE_DISABLE"})
        if (const char* value = std::getenv(name))
            env.push_back(std::string(name) + "=" + value);
    return env;
}

tProcessFacts FactsOf(pid_t pid)
{
    tProcessFacts facts;
    std::ifstream cmdline("/proc/" + std::to_string(pid) + "/cmdline");
    std::getline(cmdline, facts.first, '\0');
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close != std::string::npos && close + 2 < line.size()) {
        std::istringstream rest(line.substr(close + 2));
        rest >> facts.state >> facts.parent;
    }
    return facts;
}

std::vector<pid_t> ProcessesOf(const std::string& path)
{
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = std::stoi(name);
        const tProcessFacts facts = FactsOf(pid);
        if (facts.first == path && facts.state != 'Z' && facts.state != '\0' && FactsOf(facts.parent).first != path)
            found.push_back(pid);
    }
    return found;
}
