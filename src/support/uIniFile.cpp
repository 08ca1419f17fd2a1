#include "uIniFile.h"

#include "uFormat.h"
#include "uNumberParser.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string TrimBlanks(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::string StripQuotes(const std::string& v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Reads at most limit bytes of a regular file. False with a reason on failure.
bool ReadFilePrefix(const std::string& path, size_t limit, std::string& text, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "not a file";
        return false;
    }
    text.assign(limit, '\0');
    size_t got = 0;
    while (got < limit) {
        const ssize_t n = ::read(fd, text.data() + got, limit - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::strerror(errno);
            ::close(fd);
            text.clear();
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    return true;
}

} // namespace

tIniFile::tIniFile(const std::string& path) : path_(path)
{
    std::string text;
    if (ReadFilePrefix(path, kMaxBytes, text, openError_))
        Parse(text);
    else if (openError_.empty())
        openError_ = "cannot be read";
}

tIniFile tIniFile::FromText(const std::string& text)
{
    tIniFile ini;
    ini.Parse(text.size() > kMaxBytes ? text.substr(0, kMaxBytes) : text);
    return ini;
}

void tIniFile::Parse(const std::string& text)
{
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    tSection* current = nullptr;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = TrimBlanks(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            const auto close = line.find(']');
            const std::string name =
                LowerCase(TrimBlanks(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            current = nullptr;
            for (auto& s : sections_)
                if (s.name == name)
                    current = &s;
            if (!current) {
                sections_.push_back({name, {}});
                current = &sections_.back();
            } else {
                // A repeated section: its keys are never looked at.
                current = nullptr;
            }
            continue;
        }
        const auto eq = line.find('=');
        if (!current || eq == std::string::npos)
            continue;
        current->entries.push_back({LowerCase(TrimBlanks(line.substr(0, eq))), StripQuotes(TrimBlanks(line.substr(eq + 1)))});
    }
}

const std::string* tIniFile::Find(const std::string& section, const std::string& key) const
{
    const std::string s = LowerCase(TrimBlanks(section));
    const std::string k = LowerCase(TrimBlanks(key));
    for (const auto& sec : sections_) {
        if (sec.name != s)
            continue;
        for (const auto& e : sec.entries)
            if (e.key == k)
                return &e.value;
        return nullptr;
    }
    return nullptr;
}

bool tIniFile::ValueExists(const std::string& section, const std::string& key) const
{
    return Find(section, key) != nullptr;
}

std::string tIniFile::ReadString(const std::string& section, const std::string& key, const std::string& fallback) const
{
    const std::string* v = Find(section, key);
    return v ? *v : fallback;
}

int32_t tIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const
{
    const std::string* v = Find(section, key);
    int64_t value = 0;
    if (!v || !TryStrToInt(*v, value) || value < INT32_MIN || value > INT32_MAX)
        return fallback;
    return static_cast<int32_t>(value);
}

float tIniFile::ReadSingle(const std::string& section, const std::string& key, float fallback) const
{
    const std::string* v = Find(section, key);
    double value = 0;
    if (!v || !TryStrToFloat(*v, value) || std::fabs(value) > static_cast<double>(FLT_MAX))
        return fallback;
    return static_cast<float>(value);
}

bool tIniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

std::optional<tPackedColor> ParseColorTriple(const std::string& text)
{
    int values[3] = {0, 0, 0};
    int count = 0;
    size_t i = 0;
    while (i < text.size() && count < 3) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        int v = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            if (v <= 255)
                v = v * 10 + (text[i] - '0');
        if (v > 255)
            return std::nullopt;
        values[count++] = v;
    }
    if (count < 3)
        return std::nullopt;
    return PackRGBA(static_cast<uint8_t>(values[0]), static_cast<uint8_t>(values[1]), static_cast<uint8_t>(values[2]), 255);
}

std::string ColorTripleText(tPackedColor color)
{
    return IntToStr(RedOf(color)) + "," + IntToStr(GreenOf(color)) + "," + IntToStr(BlueOf(color));
}
