#include "uLog.h"

#include "uFormat.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int LogFileLevel = 2;
int LogListLevel = 3;

namespace {
std::string gLogPath = "program.log";
tLogList* gNotesList = nullptr;
tLogList* gWarningsList = nullptr;
std::function<std::string()> gClockText;
int64_t gRunningLimit = kRunningLogLimit;

std::string LocaleTimeOfDay()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[64];
    const size_t n = std::strftime(buf, sizeof buf, "%X", &local);
    return std::string(buf, n);
}

// A log that cannot be written (a link, a folder, no permission, a full
// disk) is named once on standard error with the reason (the log itself
// cannot carry the news); its lines are lost.
void WarnNotWriting(const std::string& why)
{
    static std::string warnedPath;
    if (warnedPath == gLogPath)
        return;
    warnedPath = gLogPath;
    std::fprintf(stderr, "Not writing the log to \"%s\": %s\n", gLogPath.c_str(), why.c_str());
}

void AppendToFile(const std::string& line)
{
    if (gLogPath.empty())
        return;
    // Never through a link, and never blocking on a FIFO: whoever could place
    // one there would have the program append to a file of their choice.
    const int fd = ::open(gLogPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == ELOOP)
            WarnNotWriting("it is a symbolic link");
        else if (errno == ENXIO)
            WarnNotWriting("it is not a regular file");
        else if (errno == EISDIR)
            WarnNotWriting("it is a folder");
        else
            WarnNotWriting(std::strerror(errno));
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        WarnNotWriting("it is not a regular file");
        ::close(fd);
        return;
    }
    // A saver that runs for months must not fill the disk: past the limit
    // the log moves aside (replacing the one moved before) and starts anew.
    if (st.st_size >= gRunningLimit) {
        ::close(fd);
        if (::rename(gLogPath.c_str(), (gLogPath + ".old").c_str()) != 0)
            return;
        AppendToFile(line);
        return;
    }
    const std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            WarnNotWriting(n < 0 ? std::strerror(errno) : "nothing could be written");
            break;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
}
} // namespace

void SetLogFilePath(const std::string& path) { gLogPath = path; }

void StartLogFile(const std::string& path, int64_t sizeLimit)
{
    SetLogFilePath(path);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > sizeLimit)
        ::unlink(path.c_str());
}
const std::string& LogFilePath() { return gLogPath; }

void SetRunningLogLimit(int64_t bytes) { gRunningLimit = bytes > 0 ? bytes : kRunningLogLimit; }

void SetLogNotesList(tLogList* list) { gNotesList = list; }
tLogList* LogNotesList() { return gNotesList; }
void SetLogWarningsList(tLogList* list) { gWarningsList = list; }
tLogList* LogWarningsList() { return gWarningsList; }

void SetLogClockText(std::function<std::string()> source) { gClockText = std::move(source); }

std::string LogTimeStamp()
{
    return PadRight(gClockText ? gClockText() : LocaleTimeOfDay(), 12);
}

void SendLogToStandardError()
{
    class tStandardErrorList : public tLogList {
    public:
        bool HasParent() const override { return true; }
        void AddLine(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
    };
    static tStandardErrorList list;
    SetLogFilePath("");
    SetLogWarningsList(&list);
}

void LogNote(uint8_t level, const std::string& text)
{
    const std::string stamp = LogTimeStamp();
    if (level <= LogFileLevel)
        AppendToFile(stamp + " " + text);
    if (gNotesList && gNotesList->HasParent() && level <= LogListLevel)
        gNotesList->AddLine(stamp + " [" + std::to_string(level) + "] " + text);
}

void LogWarning(uint8_t level, const std::string& text)
{
    AppendToFile(text);
    if (gWarningsList && gWarningsList->IsEnabled())
        gWarningsList->AddLine("[" + std::to_string(level) + "] " + text);
}
