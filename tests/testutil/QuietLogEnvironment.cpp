// Notes that no test captures (the zoom logs every keyframe, the transitions
// and the benchmark every start) go nowhere instead of into the working
// directory. Test programs list this file among their sources: a test
// environment registers itself when its object is linked in, which a static
// library would not do.
#include "uLog.h"

#include <gtest/gtest.h>

namespace {

class tQuietLog : public ::testing::Environment {
public:
    void SetUp() override { SetLogFilePath("/dev/null"); }
};

[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new tQuietLog);

} // namespace
