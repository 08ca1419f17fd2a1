#pragma once
// Facts about the machine: processors, memory, operating system and screen.
// The pure mappings are separate from the readings so that tests can feed
// them any machine.
#include <cstdint>
#include <functional>
#include <string>

/// Processor architecture codes as the program reports them (the Windows
/// codes; architectures without one report kArchitectureUnknown).
enum : uint32_t {
    kArchitectureIntel = 0,
    kArchitectureMips = 1,
    kArchitectureAlpha = 2,
    kArchitecturePpc = 3,
    kArchitectureUnknown = 0xFFFF,
};

struct tProcessorFacts {
    int32_t processors = 1;
    uint32_t architecture = kArchitectureUnknown;
    /// For the Intel architecture 386, 486 or 586 (every x86 processor from
    /// the Pentium on, x86-64 included); 0 for the others.
    uint32_t processorType = 0;
};

/// The facts for a machine name as uname reports it ("x86_64", "i686",
/// "aarch64", ...) and a processor count (at least 1 is reported).
tProcessorFacts ProcessorFactsOf(const std::string& machine, long processors);
/// This machine: uname and the number of online processors.
tProcessorFacts ReadProcessorFacts();

struct tOsVersion {
    std::string name;  // "Linux"
    int32_t major = 0;
    int32_t minor = 0;
};

/// Name and version from uname's system name and release ("6.1.0-18-amd64"
/// gives 6 and 1; parts that are not numbers give 0).
tOsVersion OsVersionOf(const std::string& sysname, const std::string& release);
tOsVersion ReadOsVersion();

/// MemTotal of a /proc/meminfo text in kilobytes, or -1 when absent.
int64_t MemTotalFromMeminfo(const std::string& meminfo);
/// Total physical memory in kilobytes: /proc/meminfo, else sysconf; 0 when
/// neither answers.
int64_t TotalPhysicalMemoryKb();

/// Width in pixels of the primary screen (device pixels). Without a window
/// system it is 1024.
int32_t PrimaryScreenWidth();
/// Tests: replaces the screen width's source; an empty function restores it.
void SetPrimaryScreenWidthProvider(std::function<int32_t()> provider);
