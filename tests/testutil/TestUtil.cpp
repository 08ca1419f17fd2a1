#include "TestUtil.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

tTempDir::tTempDir()
{
    std::string templ = (std::filesystem::temp_directory_path() / "quorex-test-XXXXXX").string();
    if (!::mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

tTempDir::~tTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

tScopedEnv::tScopedEnv(const std::string& name, const char* value) : name_(name)
{
    if (const char* old = std::getenv(name.c_str())) {
        hadValue_ = true;
        oldValue_ = old;
    }
    if (value)
        ::setenv(name.c_str(), value, 1);
    else
        ::unsetenv(name.c_str());
}

tScopedEnv::~tScopedEnv()
{
    if (hadValue_)
        ::setenv(name_.c_str(), oldValue_.c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

tCapturedLog::tCapturedLog()
    : oldPath_(LogFilePath()), oldFileLevel_(LogFileLevel), oldListLevel_(LogListLevel),
      oldNotes_(LogNotesList()), oldWarnings_(LogWarningsList())
{
    SetLogFilePath(dir_.File("test.log"));
    SetLogNotesList(this);
    SetLogWarningsList(this);
}

tCapturedLog::~tCapturedLog()
{
    SetLogFilePath(oldPath_);
    LogFileLevel = oldFileLevel_;
    LogListLevel = oldListLevel_;
    SetLogNotesList(oldNotes_);
    SetLogWarningsList(oldWarnings_);
}

std::vector<std::string> tCapturedLog::FileLines() const
{
    std::vector<std::string> out;
    std::ifstream in(LogFilePath());
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

bool tCapturedLog::FileContains(const std::string& text) const { return FileCount(text) > 0; }

int tCapturedLog::FileCount(const std::string& text) const
{
    int n = 0;
    for (const auto& line : FileLines())
        if (line.find(text) != std::string::npos)
            ++n;
    return n;
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteTextFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

namespace {
// Compiled once per test process; glibc reads LOCPATH at every setlocale.
const std::string& PrivateLocaleFolder()
{
    static const std::string folder = [] {
        std::string path = (std::filesystem::temp_directory_path() / "quorex-locale").string();
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        if (!std::filesystem::exists(path + "/de_DE.UTF-8")) {
            const std::string cmd = "localedef -i de_DE -f UTF-8 " + path + "/de_DE.UTF-8 >/dev/null 2>&1";
            [[maybe_unused]] int rc = std::system(cmd.c_str());
        }
        return path;
    }();
    return folder;
}

bool UsesDecimalComma()
{
    const std::lconv* lc = std::localeconv();
    return lc && lc->decimal_point && std::strcmp(lc->decimal_point, ",") == 0;
}
} // namespace

tDecimalCommaLocale::tDecimalCommaLocale()
{
    const char* old = std::setlocale(LC_ALL, nullptr);
    saved_ = old ? old : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8"})
        if (std::setlocale(LC_ALL, name) && UsesDecimalComma()) {
            active_ = true;
            return;
        }
    ::setenv("LOCPATH", PrivateLocaleFolder().c_str(), 1);
    active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") && UsesDecimalComma();
    ::unsetenv("LOCPATH");
}

tDecimalCommaLocale::~tDecimalCommaLocale() { std::setlocale(LC_ALL, saved_.c_str()); }

tCommandResult RunCommand(const std::string& commandLine)
{
    tCommandResult run;
    std::FILE* pipe = ::popen((commandLine + " 2>&1").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.output += buffer;
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string RunUnprivileged(const std::function<std::string()>& f)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "child failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        constexpr uid_t kNobody = 65534;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(1);
        std::string result;
        try {
            result = f();
        } catch (...) {
            ::_exit(1);
        }
        const bool sent = ::write(fds[1], result.data(), result.size()) == static_cast<ssize_t>(result.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    std::string result;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child failed";
    return result;
}
