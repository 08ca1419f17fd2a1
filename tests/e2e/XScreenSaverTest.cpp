// The program under the real xscreensaver daemon, on a virtual display of
// the test's own, run as an unprivileged user as xscreensaver demands (as
// nobody when the tests run as root). The daemon starts its hack through a
// shell, ends it with SIGTERM and does not wait for it, so this process
// adopts the daemon's orphans (a child subreaper) to learn the hack's exit
// code.
#include "ProgramRunner.h"
#include "X11Session.h"

#include "uHosting.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

class tXScreenSaverSession {
public:
    tXScreenSaverSession()
    {
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        if (!display_.Valid())
            return;
        fs::create_directories(dir_.File("prog"));
        fs::copy_file(FRACTAL_BINARY, Program());
        for (const char* folder : {"home/config", "home/state", "home/runtime"})
            fs::create_directories(dir_.File(folder));
        fs::permissions(dir_.File("home/runtime"), fs::perms::owner_all);
        // The README's line, with the program's full path.
        WriteTextFile(dir_.File("home/.xscreensaver"),
                      "timeout: 1:00:00\ncycle: 0\nlock: False\nfade: False\nunfade: False\nsplash: False\n"
                      "dpmsEnabled: False\nmode: one\nselected: 0\n"
                      "programs: GL: \"Quorex\" " +
                          Program() + " --root \\n\n");
        GiveToUnprivileged(dir_.Path());
        std::vector<std::string> env = Environment();
        const std::vector<std::string> sanitizer = SanitizerEnvironment();
        env.insert(env.end(), sanitizer.begin(), sanitizer.end());
        env.insert(env.end(), {"PATH=/usr/bin:/bin", "FRACTAL_NO_DIALOGS=1", "XDG_CONFIG_HOME=" + dir_.File("home/config"),
                               "XDG_STATE_HOME=" + dir_.File("home/state"),
                               "XDG_RUNTIME_DIR=" + dir_.File("home/runtime")});
        std::vector<std::string> argv = Unprivileged({"env", "-i"});
        argv.insert(argv.end(), env.begin(), env.end());
        argv.insert(argv.end(), {"xscreensaver", "-no-splash", "-verbose"});
        daemon_ = std::make_unique<tRunningProgram>(argv, std::vector<std::string>{"PATH=/usr/bin:/bin"},
                                                    dir_.File("xscreensaver.log"));
    }

    ~tXScreenSaverSession()
    {
        if (daemon_)
            daemon_->Terminate(10s);
        for (pid_t pid : ProcessesOf(Program()))
            ::kill(pid, SIGKILL);
        // Reap what the daemon left to us.
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (::waitpid(-1, nullptr, WNOHANG) >= 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
    }

    bool Valid() const { return display_.Valid(); }
    const std::string& DisplayName() const { return display_.Name(); }
    std::string Program() const { return dir_.File("prog/quorex"); }
    std::string LogPath() const { return dir_.File("prog/fractal.log"); }
    std::string Log() const { return ReadTextFile(LogPath()); }
    std::string DaemonLog() const { return ReadTextFile(dir_.File("xscreensaver.log")); }

    /// xscreensaver-command with one switch, as the daemon's user.
    tCommandResult Command(const std::string& what) const
    {
        std::string line = "env -i";
        for (const auto& e : Environment())
            line += " '" + e + "'";
        return RunCommand(UnprivilegedCommand(line + " xscreensaver-command " + what));
    }

    /// Polls the log after its first `from` bytes for the text.
    bool WaitForLogLine(const std::string& text, size_t from) const
    {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string log = Log();
            if (log.size() > from && log.find(text, from) != std::string::npos)
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    bool WaitUntilReady() const
    {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Command("-time").exitCode == 0)
                return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

private:
    std::vector<std::string> Environment() const { return {"HOME=" + dir_.File("home"), "DISPLAY=" + display_.Name()}; }

    tPrivateDisplay display_{"-screen 0 1024x768x24"};
    tTempDir dir_;
    std::unique_ptr<tRunningProgram> daemon_;
};

struct tHackEnd {
    bool ended = false;
    std::chrono::milliseconds after{};
    std::optional<int> exitCode; // known when the hack came to this process
};

// Waits for the hack to end. The daemon's helper that started it leaves at
// once, so the hack is adopted by this process, which reaps it.
tHackEnd WaitForHackEnd(pid_t pid, std::chrono::steady_clock::time_point since)
{
    tHackEnd end;
    const auto deadline = since + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        const char state = FactsOf(pid).state;
        if (r == pid || state == 'Z' || state == '\0') {
            end.ended = true;
            end.after = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since);
            if (r != pid) {
                // A zombie now is ours a moment later, once its parent has gone.
                for (int i = 0; i < 200 && (r == 0 || errno == ECHILD); ++i) {
                    if (::waitpid(pid, &status, WNOHANG) == pid) {
                        end.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                        return end;
                    }
                    std::this_thread::sleep_for(10ms);
                }
                return end;
            }
            end.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return end;
        }
        std::this_thread::sleep_for(2ms);
    }
    return end;
}

// The window the daemon gave the hack to draw in.
uint64_t HostWindowOf(pid_t pid)
{
    std::ifstream environ("/proc/" + std::to_string(pid) + "/environ");
    std::string entry;
    const std::string name = "XSCREENSAVER_WINDOW=";
    while (std::getline(environ, entry, '\0'))
        if (entry.rfind(name, 0) == 0)
            return std::stoull(entry.substr(name.size()), nullptr, 0);
    return 0;
}

std::vector<pid_t> WaitForHack(const tXScreenSaverSession& session)
{
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (auto pids = ProcessesOf(session.Program()); !pids.empty())
            return pids;
        std::this_thread::sleep_for(20ms);
    }
    return {};
}
} // namespace

TEST(XScreenSaver, TheDaemonStartsAndEndsTheHostedSaver)
{
    tXScreenSaverSession session;
    ASSERT_TRUE(session.Valid()) << "Xvfb did not start";
    ASSERT_TRUE(session.WaitUntilReady()) << session.DaemonLog();
    tX11Session desktopSession(session.DisplayName());
    ASSERT_TRUE(desktopSession.Valid());
    desktopSession.CreateColouredWindow(100, 200, 64, 32, 0xC03070);

    for (int round = 1; round <= 2; ++round) {
        const size_t logged = session.Log().size();
        ASSERT_EQ(session.Command("-activate").exitCode, 0);
        ASSERT_TRUE(session.WaitForLogLine(" -Starting in \"Hosted\" mode", logged))
            << session.Log() << session.DaemonLog();
        const std::vector<pid_t> hacks = WaitForHack(session);
        ASSERT_EQ(hacks.size(), 1u) << "one hack per screen\n" << RunCommand("ps -eo pid,ppid,stat,args").output << session.DaemonLog();
        // The priority line follows the mode line a moment later.
        EXPECT_TRUE(session.WaitForLogLine(" -Priority kept at nice 10 as the host set it", logged))
            << session.Log().substr(logged);
        const std::string log = session.Log().substr(logged);
        EXPECT_NE(log.find(" -Parameters: \"--root \""), std::string::npos) << log;

        // The daemon's picture of the desktop, which the saver may show.
        {
            const tScopedEnv display("DISPLAY", session.DisplayName().c_str());
            const auto desktop = HostScreenshot(HostWindowOf(hacks[0]));
            ASSERT_TRUE(desktop.has_value()) << session.DaemonLog();
            EXPECT_EQ(desktop->width, 1024);
            EXPECT_EQ(desktop->height, 768);
            const size_t at = (static_cast<size_t>(216) * 1024 + 132) * 4;
            EXPECT_EQ(desktop->pixels[at + 2], 0xC0);
            EXPECT_EQ(desktop->pixels[at + 1], 0x30);
            EXPECT_EQ(desktop->pixels[at], 0x70);
        }

        const auto deactivated = std::chrono::steady_clock::now();
        ASSERT_EQ(session.Command("-deactivate").exitCode, 0);
        const tHackEnd end = WaitForHackEnd(hacks[0], deactivated);
        ASSERT_TRUE(end.ended) << "still running 10 s after deactivation";
        EXPECT_LE(end.after, ResponseLimit(1000ms));
        ASSERT_TRUE(end.exitCode.has_value()) << "the daemon reaped the hack itself:\n" << session.DaemonLog();
        EXPECT_EQ(*end.exitCode, 0) << session.Log() << session.DaemonLog();
        EXPECT_TRUE(ProcessesOf(session.Program()).empty()) << "nothing is left running";
        std::cout << "round " << round << ": the saver ended " << end.after.count() << " ms after -deactivate\n";
    }
}

TEST(XScreenSaver, AScreenshotShowsTheZoom)
{
    tXScreenSaverSession session;
    ASSERT_TRUE(session.Valid()) << "Xvfb did not start";
    ASSERT_TRUE(session.WaitUntilReady()) << session.DaemonLog();
    ASSERT_EQ(session.Command("-activate").exitCode, 0);

    // Within 15 s the zoom runs (after the desktop's picture has receded)
    // and shows a varied picture, and a changed one a little later.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    ASSERT_TRUE(session.WaitForLogLine("Fractal running...", 0)) << session.Log();
    // A loaded machine (tests run side by side) gets a little longer.
    const auto end = std::max(deadline, std::chrono::steady_clock::now() + 8s);
    const tX11Session x(session.DisplayName());
    tScreenShot first;
    while (std::chrono::steady_clock::now() < end && first.Colours() < 200) {
        std::this_thread::sleep_for(250ms);
        first = x.Shot();
    }
    EXPECT_GE(first.Colours(), 200) << session.Log();
    std::this_thread::sleep_for(2s);
    const tScreenShot second = x.Shot();
    EXPECT_GE(second.Colours(), 200);
    EXPECT_GT(first.ChangedShare(second), 0.05) << "the zoom moves";
    ASSERT_EQ(session.Command("-deactivate").exitCode, 0);
}
