// The ini reader: the Windows profile reader's rules, typed reads with
// fallbacks, and files that are odd in every way.
#include "uIniFile.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

TEST(IniFile, NamesValuesCommentsAndRepeats)
{
    const tIniFile ini = tIniFile::FromText("\xEF\xBB\xBF"
                                            "orphan=1\n"
                                            "[Other]\n"
                                            "cpuThrottle=99\n"
                                            "[ advanced ]\n"
                                            "  CpuThrottle  =  12  \r\n"
                                            "cputhrottle=13\n"
                                            "; frameRes=1\n"
                                            "# frameRes=2\n"
                                            "frameRes\n"
                                            "frameColor = 1,2,3 ; not a comment\n"
                                            "quoted=\"  padded  \"\n"
                                            "single='x'\n"
                                            "half=\"x\n"
                                            "empty=\n"
                                            "eq=a=b\n"
                                            "[ADVANCED]\n"
                                            "late=1\n");
    EXPECT_EQ(ini.ReadString("ADVANCED", "cpuThrottle", "-"), "12") << "first occurrence, case-insensitive";
    EXPECT_EQ(ini.ReadString("other", "CPUTHROTTLE", "-"), "99");
    EXPECT_FALSE(ini.ValueExists("ADVANCED", "frameRes")) << "comments and lines without '='";
    EXPECT_EQ(ini.ReadString("ADVANCED", "frameColor", "-"), "1,2,3 ; not a comment");
    EXPECT_EQ(ini.ReadString("ADVANCED", "quoted", "-"), "  padded  ");
    EXPECT_EQ(ini.ReadString("ADVANCED", "single", "-"), "x");
    EXPECT_EQ(ini.ReadString("ADVANCED", "half", "-"), "\"x");
    EXPECT_TRUE(ini.ValueExists("ADVANCED", "empty"));
    EXPECT_EQ(ini.ReadString("ADVANCED", "empty", "-"), "");
    EXPECT_EQ(ini.ReadString("ADVANCED", "eq", "-"), "a=b");
    EXPECT_FALSE(ini.ValueExists("ADVANCED", "late")) << "only the first section of a name counts";
    EXPECT_FALSE(ini.ValueExists("", "orphan"));
    EXPECT_EQ(ini.ReadString("missing", "x", "fallback"), "fallback");
}

TEST(IniFile, TypedReadsFallBackOnAnythingThatDoesNotConvert)
{
    const tIniFile ini = tIniFile::FromText("[s]\n"
                                            "i1=42\ni2=-7\ni3=+5\ni4=4.5\ni5=0x10\ni6=12abc\ni7=2147483648\ni8=\n"
                                            "i9=-2147483648\n"
                                            "f1=1.5\nf2=2\nf3=1e3\nf4=1,5\nf5=nan\nf6=inf\nf7=1e39\nf8=.25\n"
                                            "b1=0\nb2=1\nb3=-3\nb4=true\nb5=yes\n");
    EXPECT_EQ(ini.ReadInteger("s", "i1", 0), 42);
    EXPECT_EQ(ini.ReadInteger("s", "i2", 0), -7);
    EXPECT_EQ(ini.ReadInteger("s", "i3", 0), 5);
    EXPECT_EQ(ini.ReadInteger("s", "i9", 0), INT32_MIN);
    for (const char* k : {"i4", "i5", "i6", "i7", "i8", "nope"})
        EXPECT_EQ(ini.ReadInteger("s", k, 77), 77) << k;

    EXPECT_FLOAT_EQ(ini.ReadSingle("s", "f1", 0), 1.5f);
    EXPECT_FLOAT_EQ(ini.ReadSingle("s", "f2", 0), 2.0f);
    EXPECT_FLOAT_EQ(ini.ReadSingle("s", "f3", 0), 1000.0f);
    EXPECT_FLOAT_EQ(ini.ReadSingle("s", "f8", 0), 0.25f);
    for (const char* k : {"f4", "f5", "f6", "f7", "nope"})
        EXPECT_EQ(ini.ReadSingle("s", k, 0.75f), 0.75f) << k;

    EXPECT_FALSE(ini.ReadBool("s", "b1", true));
    EXPECT_TRUE(ini.ReadBool("s", "b2", false));
    EXPECT_TRUE(ini.ReadBool("s", "b3", false));
    EXPECT_FALSE(ini.ReadBool("s", "b4", false)) << "booleans are integers";
    EXPECT_TRUE(ini.ReadBool("s", "b5", true));
}

TEST(IniFile, FloatsIgnoreTheDecimalCommaLocale)
{
    tDecimalCommaLocale comma;
    const tIniFile ini = tIniFile::FromText("[s]\nf=1.5\ng=1,5\n");
    EXPECT_FLOAT_EQ(ini.ReadSingle("s", "f", 0), 1.5f);
    EXPECT_EQ(ini.ReadSingle("s", "g", 9.0f), 9.0f);
}

TEST(IniFile, ColourTriples)
{
    EXPECT_EQ(ParseColorTriple("255,128,0"), PackRGBA(255, 128, 0, 255));
    EXPECT_EQ(ParseColorTriple("0,0,0"), PackRGBA(0, 0, 0, 255));
    EXPECT_EQ(ParseColorTriple(" r=1 g=2; b=3 "), PackRGBA(1, 2, 3, 255));
    EXPECT_EQ(ParseColorTriple("-1,-2,-3"), PackRGBA(1, 2, 3, 255)) << "a sign is a separator";
    EXPECT_EQ(ParseColorTriple("007,008,255,999"), PackRGBA(7, 8, 255, 255)) << "a fourth number is ignored";
    EXPECT_EQ(ParseColorTriple("1.5,2,3"), PackRGBA(1, 5, 2, 255)) << "the point separates numbers too";
    for (const char* bad : {"", "garbage", "1,2", "256,0,0", "0,0,1000", "99999999999999999999,0,0"})
        EXPECT_FALSE(ParseColorTriple(bad).has_value()) << bad;
    EXPECT_EQ(ColorTripleText(PackRGBA(255, 128, 0, 17)), "255,128,0");
    EXPECT_EQ(ParseColorTriple(ColorTripleText(PackRGBA(9, 99, 199))), PackRGBA(9, 99, 199, 255));
}

TEST(IniFile, FilesThatCannotBeReadReadAsEmpty)
{
    tTempDir dir;
    const tIniFile missing(dir.File("none.ini"));
    EXPECT_FALSE(missing.OpenError().empty());
    EXPECT_EQ(missing.ReadInteger("ADVANCED", "x", 3), 3);

    const tIniFile folder(dir.Path());
    EXPECT_FALSE(folder.OpenError().empty());

    const std::string fifo = dir.File("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const tIniFile pipe(fifo);
    EXPECT_EQ(pipe.OpenError(), "not a file");

    WriteTextFile(dir.File("ok.ini"), "[ADVANCED]\r\nx=5\r\n");
    const tIniFile ok(dir.File("ok.ini"));
    EXPECT_TRUE(ok.OpenError().empty());
    EXPECT_EQ(ok.FileName(), dir.File("ok.ini"));
    EXPECT_EQ(ok.ReadInteger("advanced", "X", 0), 5);
}

TEST(IniFile, BinaryAndHugeFilesAreReadUpToTheLimit)
{
    tTempDir dir;
    std::string binary(70000, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>((i * 2654435761u) >> 13);
    WriteTextFile(dir.File("bin.ini"), binary + "\n[ADVANCED]\nx=1\n" + binary);
    const tIniFile bin(dir.File("bin.ini"));
    EXPECT_EQ(bin.ReadInteger("ADVANCED", "x", 0), 1);

    const std::string huge = "[ADVANCED]\nx=2\n" + std::string(tIniFile::kMaxBytes, ';') + "\ny=3\n";
    WriteTextFile(dir.File("huge.ini"), huge);
    const tIniFile big(dir.File("huge.ini"));
    EXPECT_EQ(big.ReadInteger("ADVANCED", "x", 0), 2);
    EXPECT_FALSE(big.ValueExists("ADVANCED", "y")) << "past the limit";
}
