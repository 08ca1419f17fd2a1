#include "FormsTestUtil.h"

#include "uAppRegistry.h"
#include "uGlobalSettings.h"
#include "uSystemFacts.h"

#include <QApplication>
#include <QElapsedTimer>

#include <memory>

namespace {
// Widgets need the widget application object before any window is made.
class tWidgetApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "forms_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new tWidgetApplication);
} // namespace

tFormsTest::tFormsTest()
{
    SetPrimaryScreenWidthProvider([] { return 1024; });
    CreateAppRegistry();
}

tFormsTest::~tFormsTest()
{
    FreeAppRegistry();
    SetPrimaryScreenWidthProvider({});
}

int32_t tFormsTest::Stored(const char* name) const
{
    return AppRegistry().Registry().ReadIntegerDef(name, -1);
}

void tFormsTest::Store(const char* name, int32_t value)
{
    const_cast<tRegistryEx&>(AppRegistry().Registry()).WriteInteger(name, value);
}

void tFormsTest::FakeProbes(tGlobalSettings& settings)
{
    settings.probes.renderSeconds = [this](bool deep) {
        renders.push_back(deep);
        return deep ? deepRenderSeconds : renderSeconds;
    };
    settings.probes.totalPhysMemoryKb = [] { return int64_t{4096} * 1024; };
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
