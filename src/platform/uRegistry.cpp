// Sections: store text (escaping, parsing, loading), file locking and the
// atomic replacement, tRegistry, tRegistryEx, moving a store.
#include "uRegistry.h"

#include "uFileLocations.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// ---------------------------------------------------------------- store text

constexpr char kHeader[] = "# Quorex settings store: one value per line, name=type:data\n";
constexpr char kTypeDword[] = "dword";
constexpr char kTypeString[] = "string";

std::function<bool(tRegistryWriteStep)> gFaultHook;

std::string LowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string TrimBlanks(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// Line breaks and backslashes are escaped in names and data; in names also
// '=' (the separator) and '#' (which would start a comment line).
std::string Escape(const std::string& s, bool isName)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '=':
        case '#':
            if (isName)
                out += '\\';
            out += c;
            break;
        default: out += c; break;
        }
    }
    return out;
}

std::string Unescape(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

struct tStoreLine {
    std::string name;  // unescaped
    std::string type;  // lower case, trimmed
    std::string data;  // still escaped
};

std::optional<tStoreLine> ParseLine(const std::string& line)
{
    if (line.empty() || line[0] == '#')
        return std::nullopt;
    size_t eq = std::string::npos;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
            continue;
        }
        if (line[i] == '=') {
            eq = i;
            break;
        }
    }
    if (eq == std::string::npos)
        return std::nullopt;
    tStoreLine entry;
    entry.name = Unescape(TrimBlanks(line.substr(0, eq)));
    if (entry.name.empty())
        return std::nullopt;
    const std::string rest = line.substr(eq + 1);
    const auto colon = rest.find(':');
    entry.type = LowerAscii(TrimBlanks(rest.substr(0, colon)));
    entry.data = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    return entry;
}

std::vector<tStoreLine> ParseStore(const std::string& text)
{
    std::vector<tStoreLine> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (auto entry = ParseLine(line))
            lines.push_back(std::move(*entry));
        start = end + 1;
    }
    return lines;
}

bool SameName(const std::string& a, const std::string& b) { return LowerAscii(a) == LowerAscii(b); }

const tStoreLine* FindValue(const std::vector<tStoreLine>& lines, const std::string& name)
{
    for (const auto& l : lines)
        if (SameName(l.name, name))
            return &l;
    return nullptr;
}

std::string ErrnoText(int err) { return std::strerror(err); }

class tFd {
public:
    explicit tFd(int fd = -1) : fd_(fd) {}
    ~tFd() { Close(); }
    tFd(const tFd&) = delete;
    tFd& operator=(const tFd&) = delete;
    int Get() const { return fd_; }
    int Close()
    {
        const int r = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return r;
    }

private:
    int fd_;
};

// Reads the store into text. False when the file does not exist; raises on
// any other failure. Non-regular files (a FIFO would block) are refused.
// A store larger than kMaxStoreBytes gives only its complete lines within
// the limit, and whole (when asked for) tells that the rest was left out.
bool LoadStore(const std::string& path, std::string& text, bool* whole = nullptr)
{
    text.clear();
    if (whole)
        *whole = true;
    tFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) {
        if (errno == ENOENT)
            return false;
        throw ERegistryException("Cannot read registry store " + path + ": " + ErrnoText(errno));
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw ERegistryException("Registry store " + path + " is not a file");
    // One byte past the limit tells a store of exactly the limit from a larger one.
    std::vector<char> buf(tRegistry::kMaxStoreBytes + 1);
    size_t got = 0;
    while (got < buf.size()) {
        const ssize_t n = ::read(fd.Get(), buf.data() + got, buf.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ERegistryException("Cannot read registry store " + path + ": " + ErrnoText(errno));
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got > tRegistry::kMaxStoreBytes) {
        text.assign(buf.data(), tRegistry::kMaxStoreBytes);
        const auto lastBreak = text.rfind('\n');
        text.resize(lastBreak == std::string::npos ? 0 : lastBreak + 1);
        if (whole)
            *whole = false;
        return true;
    }
    text.assign(buf.data(), got);
    return true;
}

// The store text with the value's line replaced in place (later lines of the
// same name, which no read ever sees, are dropped) or appended. Every other
// byte stays as it was: comments, values of other writers, lines this
// program cannot parse.
std::string ReplaceValueLine(const std::string& text, const std::string& name, const std::string& line)
{
    if (text.empty())
        return std::string(kHeader) + line + "\n";
    std::string out;
    out.reserve(text.size() + line.size() + 2);
    bool replaced = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool broken = end != std::string::npos;
        if (!broken)
            end = text.size();
        std::string content = text.substr(start, end - start);
        if (!content.empty() && content.back() == '\r')
            content.pop_back();
        const auto entry = ParseLine(content);
        if (!entry || !SameName(entry->name, name)) {
            out.append(text, start, end - start + (broken ? 1 : 0));
        } else if (!replaced) {
            out += line + "\n";
            replaced = true;
        }
        start = end + 1;
    }
    if (!replaced) {
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out += line + "\n";
    }
    return out;
}

// Parses "dword:<decimal>" data: 1 to 10 digits, at most 4294967295.
std::optional<uint32_t> ParseDword(const std::string& data)
{
    const std::string t = TrimBlanks(data);
    if (t.empty() || t.size() > 10)
        return std::nullopt;
    uint64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<uint32_t>(v);
}

// ------------------------------------------- locking and atomic replacement

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// An exclusive lock on a companion file, held for one read-modify-write so
// that two processes writing different values do not lose one of them.
class tStoreLock {
public:
    explicit tStoreLock(const std::string& storePath)
        // Never through a link: whoever placed one would have the program
        // create or lock a file of their choice.
        : fd_(::open((storePath + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600))
    {
        const std::string failed = "Cannot lock registry store " + storePath + ": ";
        if (fd_.Get() < 0)
            throw ERegistryException(failed + (errno == ELOOP ? "its lock file is a symbolic link" : ErrnoText(errno)));
        struct stat st {};
        if (::fstat(fd_.Get(), &st) != 0 || !S_ISREG(st.st_mode))
            throw ERegistryException(failed + "its lock file is not a regular file");
        while (::flock(fd_.Get(), LOCK_EX) != 0) {
            if (errno != EINTR)
                throw ERegistryException(failed + ErrnoText(errno));
        }
    }

private:
    tFd fd_;
};

// Temporary files of writes that a crash interrupted; only called under the
// lock, when no other write can be in progress.
void RemoveStaleTemps(const std::string& storePath)
{
    const std::string prefix = BaseNameOf(storePath) + ".tmp-";
    std::error_code ec;
    for (std::filesystem::directory_iterator it(FolderOf(storePath), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) == 0) {
            std::error_code ignored;
            std::filesystem::remove(it->path(), ignored);
        }
    }
}

// Replaces the store through a temporary file. A store that is a link is
// saved where the link leads, and the link stays; anything but a regular
// file there is refused.
void ReplaceAtomically(const std::string& storePath, const std::string& content)
{
    tReplaceRules rules;
    rules.intoDevices = false;
    rules.faultHook = gFaultHook;
    const std::string failure = WriteFileReplacing(
        storePath,
        [&](std::FILE* file, std::string& reason) {
            if (std::fwrite(content.data(), 1, content.size(), file) == content.size())
                return true;
            reason = ErrnoText(errno);
            return false;
        },
        rules);
    if (!failure.empty())
        throw ERegistryException("cannot replace " + storePath + ": " + failure);
    // Make the rename itself durable; the data is already safe either way.
    std::string ignored;
    tFd dir(::open(FolderOf(SaveTarget(storePath, ignored)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
}

// The stored text of a value of the given type; raises like the platform
// registry for a closed key, a missing value or a value of another type.
std::string ReadTypedData(bool open, const std::string& path, const std::string& name, const std::string& type)
{
    if (!open)
        throw ERegistryException("Failed to get data for '" + name + "': key not open");
    std::string text;
    LoadStore(path, text);
    const std::vector<tStoreLine> lines = ParseStore(text);
    const tStoreLine* value = FindValue(lines, name);
    if (!value)
        throw ERegistryException("Failed to get data for '" + name + "': no such value");
    if (value->type != type)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return value->data;
}

} // namespace

// ------------------------------------------------------------------ tRegistry

std::string tRegistry::StoreFileFor(const std::string& key)
{
    if (const char* over = std::getenv("FRACTAL_REGISTRY"); over && *over)
        return over;
    const std::string home = ::ConfigHome();
    if (home.empty())
        return {};
    std::vector<std::string> parts;
    std::string part;
    for (char c : key + "\\") {
        if (c == '\\' || c == '/') {
            if (!part.empty() && part != "." && part != "..")
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!parts.empty() && LowerAscii(parts.front()) == "software")
        parts.erase(parts.begin());
    std::string path = home;
    for (const auto& p : parts)
        path += "/" + p;
    return path + "/registry";
}

bool tRegistry::OpenKey(const std::string& key, bool canCreate)
{
    return OpenStore(StoreFileFor(key), canCreate);
}

bool tRegistry::OpenStore(const std::string& storePath, bool canCreate)
{
    CloseKey();
    if (storePath.empty() || storePath.back() == '/')
        return false;
    const std::string folder = FolderOf(storePath);
    std::error_code ec;
    if (canCreate)
        MakePrivateFolders(folder);
    // A folder that cannot be written still gives its values; writes then
    // fail on their own.
    if (!std::filesystem::is_directory(folder, ec))
        return false;
    path_ = storePath;
    open_ = true;
    return true;
}

void tRegistry::CloseKey()
{
    open_ = false;
    path_.clear();
}

bool tRegistry::ValueExists(const std::string& name) const
{
    if (!open_)
        return false;
    try {
        std::string text;
        return LoadStore(path_, text) && FindValue(ParseStore(text), name) != nullptr;
    } catch (const ERegistryException&) {
        return false;
    }
}

int32_t tRegistry::ReadInteger(const std::string& name) const
{
    const auto v = ParseDword(ReadTypedData(open_, path_, name, kTypeDword));
    if (!v)
        throw ERegistryException("Invalid data for '" + name + "'");
    return static_cast<int32_t>(*v);
}

std::string tRegistry::ReadString(const std::string& name) const
{
    return Unescape(ReadTypedData(open_, path_, name, kTypeString));
}

void tRegistry::WriteInteger(const std::string& name, int32_t value)
{
    WriteLine(name, Escape(name, true) + "=" + kTypeDword + ":" + std::to_string(static_cast<uint32_t>(value)));
}

void tRegistry::WriteString(const std::string& name, const std::string& value)
{
    WriteLine(name, Escape(name, true) + "=" + kTypeString + ":" + Escape(value, false));
}

void tRegistry::WriteLine(const std::string& name, const std::string& line)
{
    const std::string failed = "Failed to set data for '" + name + "'";
    if (!open_ || name.empty())
        throw ERegistryException(failed + (open_ ? ": empty name" : ": key not open"));
    try {
        tStoreLock lock(path_);
        std::string text;
        bool whole = true;
        LoadStore(path_, text, &whole);
        if (!whole)
            throw ERegistryException("the store is too large to rewrite (over " + std::to_string(kMaxStoreBytes) +
                                     " bytes)");
        const std::string content = ReplaceValueLine(text, name, line);
        std::string broken;
        const std::string target = SaveTarget(path_, broken);
        if (target.empty())
            throw ERegistryException(broken);
        RemoveStaleTemps(target);
        ReplaceAtomically(path_, content);
    } catch (const ERegistryException& e) {
        throw ERegistryException(failed + ": " + e.what());
    }
}

// ---------------------------------------------------------------- tRegistryEx

int32_t tRegistryEx::ReadIntegerDef(const std::string& name, int32_t fallback) const noexcept
{
    try {
        return ReadInteger(name);
    } catch (...) {
        return fallback;
    }
}

bool tRegistryEx::ReadBoolDef(const std::string& name, bool fallback) const noexcept
{
    try {
        return ReadInteger(name) != 0;
    } catch (...) {
        return fallback;
    }
}

void SetRegistryWriteFaultHook(std::function<bool(tRegistryWriteStep)> hook) { gFaultHook = std::move(hook); }

// ---------------------------------------------------------------- moving a store

tStoreMoveResult MoveStore(const std::string& from, const std::string& to)
{
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0)
        return {tStoreMove::NothingToMove, {}};
    try {
        if (!MakePrivateFolders(FolderOf(to)))
            throw ERegistryException("cannot make the folder " + FolderOf(to));
        // Both stores locked: no writer of either place runs meanwhile, and a
        // second program starting at the same time finds the move done.
        tStoreLock lockTo(to);
        std::optional<tStoreLock> lockFrom;
        std::string old;
        bool whole = true;
        try {
            lockFrom.emplace(from);
            if (!LoadStore(from, old, &whole))
                return {tStoreMove::NothingToMove, {}};
            if (!whole)
                throw ERegistryException("the store is too large to move (over " + std::to_string(tRegistry::kMaxStoreBytes) +
                                         " bytes)");
        } catch (const ERegistryException& e) {
            return {tStoreMove::Unreadable, e.what()};
        }
        std::string current;
        const bool merged = LoadStore(to, current);
        std::string content = merged ? current : old;
        if (merged) {
            // The new store's values win; the old one adds the values it lacks.
            const std::vector<tStoreLine> present = ParseStore(current);
            for (const tStoreLine& value : ParseStore(old))
                if (!FindValue(present, value.name))
                    content = ReplaceValueLine(content, value.name,
                                               Escape(value.name, true) + "=" + value.type + ":" + value.data);
        }
        RemoveStaleTemps(to);
        ReplaceAtomically(to, content);
        ::unlink(from.c_str());
        ::unlink((from + ".lock").c_str());
        return {merged ? tStoreMove::Merged : tStoreMove::Moved, {}};
    } catch (const ERegistryException& e) {
        return {tStoreMove::Failed, e.what()};
    }
}
