#pragma once
// What the program knows of the machine: processors, memory and operating
// system. TSystemInfo is the component; TdmSystemInfo, the data module the
// entry block creates in every run mode, carries the instance everyone else
// reaches through SystemInfo().
#include <cstdint>
#include <memory>
#include <string>

/// Display text of an architecture code: 0 Intel, 1 MIPS, 2 DEC ALPHA,
/// 3 PPC, 0xFFFF unknown, any other code empty.
std::string ArchitectureText(uint32_t architecture);
/// Display text of a processor type; only the Intel architecture has
/// named types (386, 486, 586), everything else is "Unknown".
std::string ProcessorTypeText(uint32_t architecture, uint32_t processorType);

class TSystemInfo {
public:
    /// Copies the processor facts (read once per process) and reads the
    /// operating system's name and version.
    TSystemInfo();

    int32_t NumberOfProcessors() const { return processors_; }
    std::string Architecture() const;
    std::string ProcessorType() const;
    /// Total physical memory in kilobytes, read on each request.
    int64_t TotalPhysMemory() const;
    std::string Platform() const { return platform_; }
    std::string MajorVersion() const { return majorVersion_; }
    std::string MinorVersion() const { return minorVersion_; }

private:
    int32_t processors_;
    uint32_t architecture_;
    uint32_t processorType_;
    std::string platform_;
    std::string majorVersion_;
    std::string minorVersion_;
};

/// The system-information data module. Not a window. While it exists it is
/// the one SystemInfo() returns.
class TdmSystemInfo {
public:
    TdmSystemInfo();
    ~TdmSystemInfo();
    TdmSystemInfo(const TdmSystemInfo&) = delete;
    TdmSystemInfo& operator=(const TdmSystemInfo&) = delete;

    std::unique_ptr<TSystemInfo> SystemInfo1;
};

/// The data module's component. Asserts that the data module exists
/// ("uSystemInfo" line 30) and holds it (line 31).
TSystemInfo& SystemInfo();

/// "SYSTEM DETAILS:" and the processor, memory and platform lines of the log.
void LogSystemDetails(const TSystemInfo& info);
