#pragma once
// Runs the built program from a private copy in a temporary folder, so that
// its log, its ini file and its lock files are the test's own.
#include "TestUtil.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

class tProgramFolder {
public:
    tProgramFolder();

    const std::string& Folder() const { return dir_.Path(); }
    std::string Binary() const { return dir_.File("fractal"); }
    std::string LogPath() const { return dir_.File("fractal.log"); }
    std::string Log() const { return ReadTextFile(LogPath()); }
    /// What every run wrote to standard output and standard error (appended).
    std::string OutputPath() const { return dir_.File("output"); }
    std::string Output() const { return ReadTextFile(OutputPath()); }
    std::string StorePath() const { return dir_.File("config/quorex/settings"); }
    /// Environment of every run: no dialogs, lock files, config and state in
    /// this folder, no host window.
    std::vector<std::string> Environment() const;

private:
    tTempDir dir_;
};

class tRunningProgram {
public:
    /// extraEnv: NAME=VALUE entries added to the folder's environment; a bare
    /// NAME removes that variable.
    tRunningProgram(const tProgramFolder& folder, const std::vector<std::string>& args,
                    const std::vector<std::string>& extraEnv = {});
    /// Any command (found on PATH), its output appended to outputPath.
    tRunningProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                    const std::string& outputPath);
    ~tRunningProgram();
    tRunningProgram(const tRunningProgram&) = delete;
    tRunningProgram& operator=(const tRunningProgram&) = delete;

    /// Waits for the exit; returns the exit code, or -1 on timeout (the
    /// process is then killed), or 128 + signal when a signal ended it.
    int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    /// Sends SIGTERM (a clean stop) and waits.
    int Terminate(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    bool Running();
    pid_t Pid() const { return pid_; }

private:
    void Start(std::vector<std::string> argv, std::vector<std::string> env, const std::string& outputPath);

    pid_t pid_ = -1;
    int status_ = -1;
};

/// Runs to the end and returns the exit code.
int RunProgram(const tProgramFolder& folder, const std::vector<std::string>& args,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));
int RunProgram(const tProgramFolder& folder, const std::vector<std::string>& args,
               const std::vector<std::string>& extraEnv,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

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

/// A limit on how quickly the program under test responds (ends after a stop
/// event, say): as given in an ordinary build, three times as long when the
/// program is built with sanitizers, which slow it several-fold and scan its
/// memory for leaks as it ends.
std::chrono::milliseconds ResponseLimit(std::chrono::milliseconds limit);
