#include "uSystemFacts.h"

#include <QGuiApplication>
#include <QScreen>

#include "uX11Display.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <sys/utsname.h>
#include <unistd.h>

namespace {
std::function<int32_t()> gScreenWidthProvider;

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Leading decimal digits of text from pos; 0 when there are none. pos ends
// after the digits.
int32_t LeadingNumber(const std::string& text, size_t& pos)
{
    int64_t v = 0;
    bool any = false;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (v < 1000000000)
            v = v * 10 + (text[pos] - '0');
        ++pos;
        any = true;
    }
    return any && v <= INT32_MAX ? static_cast<int32_t>(v) : 0;
}
} // namespace

tProcessorFacts ProcessorFactsOf(const std::string& machine, long processors)
{
    tProcessorFacts f;
    f.processors = processors < 1 ? 1 : processors > INT32_MAX ? INT32_MAX : static_cast<int32_t>(processors);
    if (machine == "i386") {
        f.architecture = kArchitectureIntel;
        f.processorType = 386;
    } else if (machine == "i486") {
        f.architecture = kArchitectureIntel;
        f.processorType = 486;
    } else if (machine == "x86_64" || machine == "amd64" || machine == "x86" || machine == "i586" ||
               machine == "i686") {
        f.architecture = kArchitectureIntel;
        f.processorType = 586;
    } else if (StartsWith(machine, "mips")) {
        f.architecture = kArchitectureMips;
    } else if (StartsWith(machine, "alpha")) {
        f.architecture = kArchitectureAlpha;
    } else if (StartsWith(machine, "ppc") || StartsWith(machine, "powerpc")) {
        f.architecture = kArchitecturePpc;
    }
    return f;
}

tProcessorFacts ReadProcessorFacts()
{
    struct utsname u {};
    const std::string machine = ::uname(&u) == 0 ? u.machine : "";
    return ProcessorFactsOf(machine, ::sysconf(_SC_NPROCESSORS_ONLN));
}

tOsVersion OsVersionOf(const std::string& sysname, const std::string& release)
{
    tOsVersion v;
    v.name = sysname;
    size_t pos = 0;
    v.major = LeadingNumber(release, pos);
    if (pos < release.size() && release[pos] == '.') {
        ++pos;
        v.minor = LeadingNumber(release, pos);
    }
    return v;
}

tOsVersion ReadOsVersion()
{
    struct utsname u {};
    if (::uname(&u) != 0)
        return {};
    return OsVersionOf(u.sysname, u.release);
}

int64_t MemTotalFromMeminfo(const std::string& meminfo)
{
    std::istringstream in(meminfo);
    for (std::string line; std::getline(in, line);) {
        if (!StartsWith(line, "MemTotal:"))
            continue;
        std::istringstream fields(line.substr(9));
        long long kb = -1;
        std::string unit;
        if (!(fields >> kb) || kb < 0)
            return -1;
        fields >> unit;
        if (unit.empty() || unit == "kB")
            return kb;
        return -1;
    }
    return -1;
}

int64_t TotalPhysicalMemoryKb()
{
    std::ifstream in("/proc/meminfo");
    if (in) {
        std::stringstream ss;
        ss << in.rdbuf();
        const int64_t kb = MemTotalFromMeminfo(ss.str());
        if (kb > 0)
            return kb;
    }
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<int64_t>(pages) * (pageSize / 1024);
}

int32_t PrimaryScreenWidth()
{
    if (gScreenWidthProvider)
        return gScreenWidthProvider();
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const double w = screen->geometry().width() * screen->devicePixelRatio();
            if (w >= 1)
                return static_cast<int32_t>(std::lround(w));
        }
    }
    if (const tX11Connection d; d) {
        const int w = DisplayWidth(d.Get(), DefaultScreen(d.Get()));
        if (w > 0)
            return w;
    }
    return 1024;
}

void SetPrimaryScreenWidthProvider(std::function<int32_t()> provider) { gScreenWidthProvider = std::move(provider); }
