#include "uGuiApplication.h"

#include "uDisplayCheck.h"

#include <QGuiApplication>

#include <cstdlib>

bool EnsureGuiApplication()
{
    if (QCoreApplication::instance())
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;

    // The toolkit keeps references to argc and argv for the application's life.
    static int argc = 1;
    static char program[] = "quorex";
    static char platformSwitch[] = "-platform";
    static char offscreen[] = "offscreen";
    static char* argv[] = {program, platformSwitch, offscreen, nullptr};
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if ((!chosen || !*chosen) && UnreachableDisplay(0, nullptr))
        argc = 3;
    // Deliberately never freed: tearing the application down during static
    // destruction would run after the toolkit's own globals are gone. The
    // pointer keeps it reachable for leak checkers.
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    return application != nullptr;
}
