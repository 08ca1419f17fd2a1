#include "uLog.h"

#include "uFormat.h"

#include <cstdio>
#include <ctime>

int LogFileLevel = 2;
int LogListLevel = 3;

namespace {
std::string gLogPath = "program.log";
tLogList* gNotesList = nullptr;
tLogList* gWarningsList = nullptr;
std::function<std::string()> gClockText;

std::string LocaleTimeOfDay()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[64];
    const size_t n = std::strftime(buf, sizeof buf, "%X", &local);
    return std::string(buf, n);
}

void AppendToFile(const std::string& line)
{
    std::FILE* f = std::fopen(gLogPath.c_str(), "a");
    if (!f)
        return;
    std::fputs(line.c_str(), f);
    std::fputc('\n', f);
    std::fclose(f);
}
} // namespace

void SetLogFilePath(const std::string& path) { gLogPath = path; }
const std::string& LogFilePath() { return gLogPath; }

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
