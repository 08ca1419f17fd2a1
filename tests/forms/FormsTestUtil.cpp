#include "FormsTestUtil.h"

#include "uAppRegistry.h"
#include "uGlobalSettings.h"
#include "uSettingsOverrides.h"
#include "uSystemFacts.h"

#include "WidgetApplication.h"

#include <QApplication>
#include <QElapsedTimer>

#include <memory>

namespace {
[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new tWidgetApplication("forms_tests"));
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

void tFormsTest::LoadRunSettings(tGlobalSettings& settings)
{
    FakeProbes(settings);
    ::LoadRunSettings(settings, tGlobalSettings::IniFilePath());
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
