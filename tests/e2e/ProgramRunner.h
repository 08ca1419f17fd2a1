#pragma once
// Runs the built program from a private copy in a temporary folder, so that
// its log, its ini file and its lock files are the test's own.
#include "ChildProcess.h"
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

class tRunningProgram : public tChildProcess {
public:
    using tChildProcess::tChildProcess;
    /// extraEnv: NAME=VALUE entries added to the folder's environment; a bare
    /// NAME removes that variable.
    tRunningProgram(const tProgramFolder& folder, const std::vector<std::string>& args,
                    const std::vector<std::string>& extraEnv = {});
};

/// Runs to the end and returns the exit code.
int RunProgram(const tProgramFolder& folder, const std::vector<std::string>& args,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));
int RunProgram(const tProgramFolder& folder, const std::vector<std::string>& args,
               const std::vector<std::string>& extraEnv,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

/// A limit on how quickly the program under test responds (ends after a stop
/// event, say): as given in an ordinary build, three times as long when the
/// program is built with sanitizers, which slow it several-fold and scan its
/// memory for leaks as it ends.
std::chrono::milliseconds ResponseLimit(std::chrono::milliseconds limit);
