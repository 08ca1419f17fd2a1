#pragma once
#include <QDialog>

#include <memory>

class TSystemInfo;
class tGlobalSettings;

/// The settings dialog (Configure mode's main window; hidden in the other
/// modes). Its creation logs the system details and creates and loads the
/// one settings object; its destruction frees it.
class TfOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfOptions(QWidget* parent = nullptr);
    ~TfOptions() override;

private:
    void LogSystemDetails() const;

    std::unique_ptr<TSystemInfo> SysInfo;
    std::unique_ptr<tGlobalSettings> settings_;
};
