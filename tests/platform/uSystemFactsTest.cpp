// Machine facts: the mappings from what Linux reports, and the readings.
#include "uSystemFacts.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

TEST(SystemFacts, MachineNamesMapToArchitectureCodes)
{
    struct tCase {
        const char* machine;
        uint32_t architecture;
        uint32_t type;
    };
    for (const tCase& c : {tCase{"x86_64", kArchitectureIntel, 586}, tCase{"i686", kArchitectureIntel, 586},
                           tCase{"i586", kArchitectureIntel, 586}, tCase{"i486", kArchitectureIntel, 486},
                           tCase{"i386", kArchitectureIntel, 386}, tCase{"mips64", kArchitectureMips, 0},
                           tCase{"alpha", kArchitectureAlpha, 0}, tCase{"ppc64le", kArchitecturePpc, 0},
                           tCase{"powerpc", kArchitecturePpc, 0}, tCase{"aarch64", kArchitectureUnknown, 0},
                           tCase{"riscv64", kArchitectureUnknown, 0}, tCase{"", kArchitectureUnknown, 0}}) {
        const tProcessorFacts f = ProcessorFactsOf(c.machine, 8);
        EXPECT_EQ(f.architecture, c.architecture) << c.machine;
        EXPECT_EQ(f.processorType, c.type) << c.machine;
        EXPECT_EQ(f.processors, 8);
    }
    EXPECT_EQ(ProcessorFactsOf("x86_64", -1).processors, 1) << "sysconf failure";
    EXPECT_EQ(ProcessorFactsOf("x86_64", 0).processors, 1);

    const tProcessorFacts here = ReadProcessorFacts();
    EXPECT_GE(here.processors, 1);
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_EQ(here.architecture, kArchitectureIntel);
#endif
}

TEST(SystemFacts, KernelReleasesGiveMajorAndMinor)
{
    const tOsVersion v = OsVersionOf("Linux", "6.1.0-18-amd64");
    EXPECT_EQ(v.name, "Linux");
    EXPECT_EQ(v.major, 6);
    EXPECT_EQ(v.minor, 1);
    EXPECT_EQ(OsVersionOf("Linux", "5.15.133.1-microsoft-standard-WSL2").minor, 15);
    EXPECT_EQ(OsVersionOf("Linux", "4").major, 4);
    EXPECT_EQ(OsVersionOf("Linux", "4").minor, 0);
    EXPECT_EQ(OsVersionOf("Linux", "weird").major, 0);
    EXPECT_EQ(OsVersionOf("Linux", "99999999999999.3").major, 0) << "no overflow";

    const tOsVersion here = ReadOsVersion();
    EXPECT_EQ(here.name, "Linux");
    EXPECT_GE(here.major, 2);
}

TEST(SystemFacts, MemoryIsReadInKilobytesWithoutA4GigabyteCap)
{
    EXPECT_EQ(MemTotalFromMeminfo("MemTotal:       24684500 kB\nMemFree: 1 kB\n"), 24684500);
    EXPECT_EQ(MemTotalFromMeminfo("MemFree: 1 kB\nMemTotal: 8000000 kB\n"), 8000000);
    EXPECT_EQ(MemTotalFromMeminfo("MemFree: 1 kB\n"), -1);
    EXPECT_EQ(MemTotalFromMeminfo("MemTotal: lots\n"), -1);
    EXPECT_EQ(MemTotalFromMeminfo("MemTotal: 5 MB\n"), -1);

    const int64_t kb = TotalPhysicalMemoryKb();
    EXPECT_GT(kb, 0);
    const int64_t fromProc = MemTotalFromMeminfo(ReadTextFile("/proc/meminfo"));
    if (fromProc > 0) {
        EXPECT_EQ(kb, fromProc);
    }
}

TEST(SystemFacts, ScreenWidthCanBeReplaced)
{
    EXPECT_GT(PrimaryScreenWidth(), 0);
    SetPrimaryScreenWidthProvider([] { return 1280; });
    EXPECT_EQ(PrimaryScreenWidth(), 1280);
    SetPrimaryScreenWidthProvider({});
    EXPECT_GT(PrimaryScreenWidth(), 0);
}
