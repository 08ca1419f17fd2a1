#include "uOptionsForm.h"

#include "uFormat.h"
#include "uGlobalSettings.h"
#include "uLog.h"
#include "uProgram.h"
#include "uSystemInfo.h"

#include <QHBoxLayout>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <exception>

TfOptions::TfOptions(QWidget* parent) : QDialog(parent), SysInfo(std::make_unique<TSystemInfo>())
{
    setWindowTitle("Quorex Screen Saver Options");
    resize(437, 118);
    move(200, 118);
    auto* layout = new QHBoxLayout(this);
    layout->addStretch();
    auto* ok = new QPushButton("OK", this);
    layout->addWidget(ok, 0, Qt::AlignBottom);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);

    LogSystemDetails();

    settings_ = std::make_unique<tGlobalSettings>();
    GlobalSettings = settings_.get();
    LogNote(1, "Loading setings...");
    try {
        GlobalSettings->LoadSettings();
    } catch (...) {
        // Without settings nothing can run; the program ends at once, as a
        // normal end (exit code 0).
        LogWarning(1, " - error loading settings");
        GlobalSettings = nullptr;
        ProgramFinalisation();
        std::fflush(nullptr);
        std::_Exit(0);
    }
}

TfOptions::~TfOptions()
{
    if (GlobalSettings == settings_.get())
        GlobalSettings = nullptr;
}

void TfOptions::LogSystemDetails() const
{
    LogNote(1, "SYSTEM DETAILS:");
    const std::string cpu = SysInfo->Architecture() + " (" + SysInfo->ProcessorType() + ")";
    if (SysInfo->NumberOfProcessors() > 1)
        LogNote(1, "CPU: " + IntToStr(SysInfo->NumberOfProcessors()) + "x " + cpu);
    else
        LogNote(1, "CPU: " + cpu);
    LogNote(1, "MEMORY: " + IntToStr(SysInfo->TotalPhysMemory() / 1024) + "Mb");
    LogNote(1, "PLATFORM: " + SysInfo->Platform() + " V" + SysInfo->MajorVersion() + "." + SysInfo->MinorVersion());
}
