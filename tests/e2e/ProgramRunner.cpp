#include "ProgramRunner.h"

#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

tProgramFolder::tProgramFolder()
{
    std::filesystem::copy_file(FRACTAL_BINARY, Binary());
    std::filesystem::create_directories(dir_.File("runtime"));
    std::filesystem::permissions(dir_.File("runtime"), std::filesystem::perms::owner_all); // as XDG requires
    std::filesystem::create_directories(dir_.File("config"));
}

std::vector<std::string> tProgramFolder::Environment() const
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("XDG_RUNTIME_DIR=", 0) == 0 || entry.rfind("XDG_CONFIG_HOME=", 0) == 0 ||
            entry.rfind("XDG_STATE_HOME=", 0) == 0 || entry.rfind("XSCREENSAVER_WINDOW=", 0) == 0 ||
            entry.rfind("FRACTAL_", 0) == 0)
            continue;
        env.push_back(entry);
    }
    env.push_back("FRACTAL_NO_DIALOGS=1");
    env.push_back("XDG_RUNTIME_DIR=" + dir_.File("runtime"));
    env.push_back("XDG_CONFIG_HOME=" + dir_.File("config"));
    env.push_back("XDG_STATE_HOME=" + dir_.File("state"));
    return env;
}

tRunningProgram::tRunningProgram(const tProgramFolder& folder, const std::vector<std::string>& args,
                                 const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> env = folder.Environment();
    for (const auto& extra : extraEnv) {
        const std::string name = extra.substr(0, extra.find('='));
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name + "=", 0) == 0; });
        if (extra.find('=') != std::string::npos)
            env.push_back(extra);
    }
    std::vector<std::string> argv{folder.Binary()};
    argv.insert(argv.end(), args.begin(), args.end());
    Start(std::move(argv), std::move(env), folder.OutputPath());
}

tRunningProgram::tRunningProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                                 const std::string& outputPath)
{
    Start(argv, env, outputPath);
}

void tRunningProgram::Start(std::vector<std::string> argStrings, std::vector<std::string> env,
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

tRunningProgram::~tRunningProgram()
{
    if (Running()) {
        ::kill(pid_, SIGKILL);
        Wait(std::chrono::seconds(5));
    }
}

bool tRunningProgram::Running()
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

int tRunningProgram::Wait(std::chrono::milliseconds timeout)
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

int tRunningProgram::Terminate(std::chrono::milliseconds timeout)
{
    if (Running())
        ::kill(pid_, SIGTERM);
    return Wait(timeout);
}

int RunProgram(const tProgramFolder& folder, const std::vector<std::string>& args, std::chrono::milliseconds timeout)
{
    return RunProgram(folder, args, {}, timeout);
}

int RunProgram(const tProgramFolder& folder, const std::vector<std::string>& args,
               const std::vector<std::string>& extraEnv, std::chrono::milliseconds timeout)
{
    tRunningProgram p(folder, args, extraEnv);
    return p.Wait(timeout);
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

std::chrono::milliseconds ResponseLimit(std::chrono::milliseconds limit)
{
#ifdef QX_PROGRAM_SANITIZED
    return 3 * limit;
#else
    return limit;
#endif
}
