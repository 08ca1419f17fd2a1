#pragma once
// Shared helpers of the tests: temporary folders, environment overrides and
// a capture of the log.
#include "uAssert.h"
#include "uLog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

/// A fresh folder under the temporary directory, removed with its content.
class tTempDir {
public:
    tTempDir();
    ~tTempDir();
    tTempDir(const tTempDir&) = delete;
    tTempDir& operator=(const tTempDir&) = delete;

    const std::string& Path() const { return path_; }
    /// Path + "/" + name.
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

/// Sets (or with nullptr unsets) an environment variable for its lifetime.
class tScopedEnv {
public:
    tScopedEnv(const std::string& name, const char* value);
    ~tScopedEnv();
    tScopedEnv(const tScopedEnv&) = delete;
    tScopedEnv& operator=(const tScopedEnv&) = delete;

private:
    std::string name_;
    bool hadValue_ = false;
    std::string oldValue_;
};

/// Sends the log to a private file and attaches itself as notes and
/// warnings list; restores the previous state on destruction.
class tCapturedLog : public tLogList {
public:
    tCapturedLog();
    ~tCapturedLog() override;

    bool HasParent() const override { return true; }
    void AddLine(const std::string& line) override { lines.push_back(line); }

    /// Lines that reached the file.
    std::vector<std::string> FileLines() const;
    /// True when some file line contains the text.
    bool FileContains(const std::string& text) const;
    /// Number of file lines containing the text.
    int FileCount(const std::string& text) const;

    std::vector<std::string> lines; // everything the list received

private:
    tTempDir dir_;
    std::string oldPath_;
    int oldFileLevel_;
    int oldListLevel_;
    tLogList* oldNotes_;
    tLogList* oldWarnings_;
};

/// Switches the C locale to one that writes numbers with a decimal comma
/// (German), compiling it into a private folder when the system has none
/// installed; restores the previous locale on destruction. Active() tells
/// whether a comma locale could be set.
class tDecimalCommaLocale {
public:
    tDecimalCommaLocale();
    ~tDecimalCommaLocale();
    tDecimalCommaLocale(const tDecimalCommaLocale&) = delete;
    tDecimalCommaLocale& operator=(const tDecimalCommaLocale&) = delete;
    bool Active() const { return active_; }

private:
    std::string saved_;
    bool active_ = false;
};

struct tCommandResult {
    int exitCode = -1;  // -1 when the command could not run or did not exit normally
    std::string output; // standard output and standard error
};
/// Runs a shell command line to its end and collects its output.
tCommandResult RunCommand(const std::string& commandLine);

/// Runs f in a child process as an ordinary user (nobody) when the tests run
/// as the superuser, whom file permissions do not bind; returns what f
/// returned, or "child failed".
std::string RunUnprivileged(const std::function<std::string()>& f);

/// Runs f and reports a failure unless it fails the assertion of the given
/// unit and line.
template <class F>
void ExpectAssertion(F&& f, const char* unit, int line)
{
    try {
        f();
        ADD_FAILURE() << "no assertion raised, expected " << unit << " line " << line;
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), unit);
        EXPECT_EQ(e.Line(), line);
    }
}

std::string ReadTextFile(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& content);
