#include "uSystemInfo.h"

#include "uAssert.h"
#include "uFormat.h"
#include "uLog.h"
#include "uSystemFacts.h"

namespace {
TdmSystemInfo* gDataModule = nullptr;

// Processor facts do not change while the program runs.
const tProcessorFacts& ProcessorFacts()
{
    static const tProcessorFacts facts = ReadProcessorFacts();
    return facts;
}
} // namespace

std::string ArchitectureText(uint32_t architecture)
{
    switch (architecture) {
    case kArchitectureIntel: return "Intel Processor Architecture";
    case kArchitectureMips: return "MIPS Processor Architecture";
    case kArchitectureAlpha: return "DEC ALPHA Processor Architecture";
    case kArchitecturePpc: return "PPC Processor Architecture";
    case kArchitectureUnknown: return "Unknown Processor Architecture";
    default: return "";
    }
}

std::string ProcessorTypeText(uint32_t architecture, uint32_t processorType)
{
    if (architecture == kArchitectureIntel) {
        switch (processorType) {
        case 386: return "80386";
        case 486: return "80486";
        case 586: return "Pentium";
        default: break;
        }
    }
    return "Unknown";
}

TSystemInfo::TSystemInfo()
    : processors_(ProcessorFacts().processors), architecture_(ProcessorFacts().architecture),
      processorType_(ProcessorFacts().processorType)
{
    const tOsVersion os = ReadOsVersion();
    platform_ = os.name;
    majorVersion_ = std::to_string(os.major);
    minorVersion_ = std::to_string(os.minor);
}

std::string TSystemInfo::Architecture() const { return ArchitectureText(architecture_); }

std::string TSystemInfo::ProcessorType() const { return ProcessorTypeText(architecture_, processorType_); }

int64_t TSystemInfo::TotalPhysMemory() const { return TotalPhysicalMemoryKb(); }

TdmSystemInfo::TdmSystemInfo() : SystemInfo1(std::make_unique<TSystemInfo>()) { gDataModule = this; }

TdmSystemInfo::~TdmSystemInfo()
{
    if (gDataModule == this)
        gDataModule = nullptr;
}

TSystemInfo& SystemInfo()
{
    Assert(gDataModule != nullptr, "uSystemInfo", 30);
    Assert(gDataModule->SystemInfo1 != nullptr, "uSystemInfo", 31);
    return *gDataModule->SystemInfo1;
}

void LogSystemDetails(const TSystemInfo& info)
{
    LogNote(1, "SYSTEM DETAILS:");
    const std::string cpu = info.Architecture() + " (" + info.ProcessorType() + ")";
    if (info.NumberOfProcessors() > 1)
        LogNote(1, "CPU: " + IntToStr(info.NumberOfProcessors()) + "x " + cpu);
    else
        LogNote(1, "CPU: " + cpu);
    LogNote(1, "MEMORY: " + IntToStr(info.TotalPhysMemory() / 1024) + "Mb");
    LogNote(1, "PLATFORM: " + info.Platform() + " V" + info.MajorVersion() + "." + info.MinorVersion());
}
