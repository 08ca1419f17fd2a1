// The page pool: first-free acquisition, release of foreign pages, usage
// lines and resizing.
#include "uScratchPages.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ScratchPages, AcquiresTheLowestFreePageUntilNoneIsLeft)
{
    tScratchPageArray pool(5);
    ASSERT_EQ(pool.Count(), 5);
    EXPECT_EQ(pool.Page(0)->Width(), 512);
    EXPECT_EQ(pool.Page(0)->Format(), pfRGBA);

    std::vector<tPage*> got;
    for (int i = 0; i < 5; ++i)
        got.push_back(pool.AcquirePage());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(got[static_cast<size_t>(i)], pool.Page(i));
    EXPECT_EQ(pool.AcquirePage(), nullptr);
    EXPECT_EQ(pool.FreeCount(), 0);

    pool.ReleasePage(got[3]);
    pool.ReleasePage(got[1]);
    EXPECT_EQ(pool.FreeCount(), 2);
    EXPECT_EQ(pool.AcquirePage(), got[1]);
    EXPECT_EQ(pool.AcquirePage(), got[3]);
}

TEST(ScratchPages, ReleasingAForeignPageWarnsAndChangesNothing)
{
    tCapturedLog log;
    tScratchPageArray pool(3);
    tPage* held = pool.AcquirePage();
    ASSERT_NE(held, nullptr);

    tPage foreign;
    pool.ReleasePage(&foreign);
    pool.ReleasePage(nullptr);
    EXPECT_EQ(log.FileCount("Could not release invalid page"), 2);
    EXPECT_TRUE(pool.InUse(0));
    EXPECT_EQ(pool.FreeCount(), 2);
}

TEST(ScratchPages, ShowUsageListsFreeCountAndOneMarkPerPage)
{
    tScratchPageArray pool(5);
    pool.AcquirePage();
    pool.AcquirePage();
    pool.ReleasePage(pool.Page(0));
    pool.AcquirePage(); // page 0 again
    pool.AcquirePage(); // page 2
    pool.ReleasePage(pool.Page(1));

    std::vector<std::string> lines;
    pool.ShowUsage([&](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(lines, (std::vector<std::string>{"Buffers: 3/5", "Usage [*-*--]"}));
}

TEST(ScratchPages, NewPageSizeRemakesEveryPageAndFreesThemAll)
{
    tScratchPageArray pool(4);
    tPage* p = pool.AcquirePage();
    p->SetPixel(0, 0, PackRGBA(1, 2, 3));

    pool.SetPageSize(48, 32);
    EXPECT_EQ(pool.Count(), 4);
    EXPECT_EQ(pool.FreeCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(pool.Page(i)->Width(), 48);
        EXPECT_EQ(pool.Page(i)->Height(), 32);
        EXPECT_EQ(pool.Page(i)->GetPixel(0, 0), 0u);
    }

    pool.AllocatePages(2);
    EXPECT_EQ(pool.Count(), 2);
    EXPECT_EQ(pool.Page(2), nullptr);
    EXPECT_EQ(pool.Page(1)->Width(), 48);

    pool.FreeAllPages();
    EXPECT_EQ(pool.Count(), 0);
    EXPECT_EQ(pool.AcquirePage(), nullptr);
}
