#pragma once
// The process-wide text log. Every subsystem reports through LogNote and
// LogWarning only. Each line is opened, appended and closed on its own, so
// the file is complete up to the last line even if the process dies; file
// errors are swallowed and never reach the caller. The file is never opened
// through a symbolic link, nor when it is not a regular file: that is said
// once on standard error and the lines are lost.
#include <cstdint>
#include <functional>
#include <string>

/// A list that mirrors the log on screen (the debug window's notes, the
/// benchmark window's log). Windows implement it and attach themselves.
class tLogList {
public:
    virtual ~tLogList() = default;
    /// False while the list has no parent window: it then receives nothing.
    virtual bool HasParent() const = 0;
    /// For the warnings list: receives lines only while enabled.
    virtual bool IsEnabled() const { return true; }
    /// Appends one line and scrolls so that the newest line is visible.
    virtual void AddLine(const std::string& line) = 0;
};

/// Notes with level <= LogFileLevel go to the file (initially 2).
extern int LogFileLevel;
/// Notes with level <= LogListLevel go to the attached notes list (initially 3).
extern int LogListLevel;

/// Size at which the log of a running program moves aside to "<path>.old"
/// (replacing an older one) and starts anew, so that it never grows without
/// bound.
inline constexpr int64_t kRunningLogLimit = 1 << 20;
/// Tests: another limit; 0 restores kRunningLogLimit.
void SetRunningLogLimit(int64_t bytes);

void SetLogFilePath(const std::string& path);
/// Sets the path and deletes the file there when it is a regular file
/// larger than sizeLimit bytes, so that the log starts afresh (a link is
/// never deleted).
void StartLogFile(const std::string& path, int64_t sizeLimit);
const std::string& LogFilePath();

void SetLogNotesList(tLogList* list);
tLogList* LogNotesList();
void SetLogWarningsList(tLogList* list);
tLogList* LogWarningsList();

/// The current time of day in the locale's long time form, padded on the
/// right to 12 characters (never cut).
std::string LogTimeStamp();
/// Replaces the clock text the time stamp is built from (tests); an empty
/// function restores the real clock.
void SetLogClockText(std::function<std::string()> source);

/// For command-line tools: no log file, and warnings go to standard error.
void SendLogToStandardError();

void LogNote(uint8_t level, const std::string& text);
void LogWarning(uint8_t level, const std::string& text);
