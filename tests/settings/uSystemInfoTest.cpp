// The system-information component and its data module.
#include "uSystemInfo.h"

#include "uAssert.h"
#include "uSystemFacts.h"

#include <gtest/gtest.h>

TEST(SystemInfo, CodesHaveTheirTexts)
{
    EXPECT_EQ(ArchitectureText(0), "Intel Processor Architecture");
    EXPECT_EQ(ArchitectureText(1), "MIPS Processor Architecture");
    EXPECT_EQ(ArchitectureText(2), "DEC ALPHA Processor Architecture");
    EXPECT_EQ(ArchitectureText(3), "PPC Processor Architecture");
    EXPECT_EQ(ArchitectureText(0xFFFF), "Unknown Processor Architecture");
    EXPECT_EQ(ArchitectureText(9), "");
    EXPECT_EQ(ProcessorTypeText(0, 386), "80386");
    EXPECT_EQ(ProcessorTypeText(0, 486), "80486");
    EXPECT_EQ(ProcessorTypeText(0, 586), "Pentium");
    EXPECT_EQ(ProcessorTypeText(0, 686), "Unknown");
    EXPECT_EQ(ProcessorTypeText(3, 586), "Unknown") << "types are named only for Intel";
    // What an x86-64 machine reports.
    const tProcessorFacts f = ProcessorFactsOf("x86_64", 4);
    EXPECT_EQ(ArchitectureText(f.architecture), "Intel Processor Architecture");
    EXPECT_EQ(ProcessorTypeText(f.architecture, f.processorType), "Pentium");
}

TEST(SystemInfo, TheComponentReportsThisMachine)
{
    const TSystemInfo info;
    EXPECT_GE(info.NumberOfProcessors(), 1);
    EXPECT_EQ(info.Platform(), "Linux");
    EXPECT_EQ(info.MajorVersion(), std::to_string(ReadOsVersion().major));
    EXPECT_EQ(info.MinorVersion(), std::to_string(ReadOsVersion().minor));
    EXPECT_EQ(info.TotalPhysMemory(), TotalPhysicalMemoryKb());
#if defined(__x86_64__)
    EXPECT_EQ(info.Architecture(), "Intel Processor Architecture");
    EXPECT_EQ(info.ProcessorType(), "Pentium");
#endif
}

TEST(SystemInfo, TheAccessorNeedsTheDataModuleAndItsComponent)
{
    try {
        SystemInfo();
        FAIL() << "no data module";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uSystemInfo");
        EXPECT_EQ(e.Line(), 30);
    }
    {
        TdmSystemInfo dm;
        EXPECT_EQ(&SystemInfo(), dm.SystemInfo1.get());
        dm.SystemInfo1.reset();
        try {
            SystemInfo();
            FAIL() << "no component";
        } catch (const EAssertionFailed& e) {
            EXPECT_EQ(e.Line(), 31);
        }
    }
    EXPECT_THROW(SystemInfo(), EAssertionFailed) << "gone with the data module";
}
