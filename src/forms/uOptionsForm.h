#pragma once
// The settings dialog: detail level, auto-detection, deep zooming and deep
// dives.
//
// It is made in every run mode and shows and changes the run's settings,
// which the program's entry loads and owns. Only in Configure mode is it
// shown, as the main window; there it may have a host window (the "/c:ID"
// switch), which it stays above and watches: once the host has gone the
// dialog closes itself. Every way of closing the dialog saves the choice;
// there is no cancel.
#include <QColor>
#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class QWindow;
class tForeignWindow;
class tGlobalSettings;

class TfOptions : public QDialog {
    Q_OBJECT
public:
    /// The dialog on the run's settings (they must outlive it); with a host
    /// window (an X11 window id, 0 for none) it is that window's dialog.
    explicit TfOptions(tGlobalSettings& settings, uint64_t hostWindow = 0, QWidget* parent = nullptr);
    ~TfOptions() override;

    /// The settings the dialog shows and changes.
    tGlobalSettings& Settings() { return settings_; }
    /// Puts the dialog's deep-zooming, deep-dive and detail-level choices into
    /// the settings (which re-applies the level), as closing does before it
    /// saves.
    void ApplyChoices();
    /// The selected detail item, 0 for "Low" ... 4 for "Highest"; -1 for none.
    int DetailIndex() const;

    QGroupBox* rgDetail = nullptr;
    QButtonGroup* rgDetailItems = nullptr;
    QPushButton* bAuto = nullptr;
    QCheckBox* cbDeepZooming = nullptr;
    QLabel* lDeepZoomingStatus = nullptr;
    /// Deep dives; usable only while deep zooming is on.
    QCheckBox* cbDeepDive = nullptr;
    /// What the chosen level means (and which one Auto Detect chose).
    QLabel* lDetailHelp = nullptr;
    /// What deep zooming does.
    QLabel* lDeepHelp = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* bCheckForUpdates = nullptr;
    QPushButton* bOK = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    /// Escape closes the dialog the same way as its close box.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void FormShow();
    void rgDetailClick(int index);
    void bAutoClick();
    void cbDeepZoomingClick();
    void cbDeepDiveClick();
    /// The deep-dive box follows the deep-zooming box: usable only when that
    /// is ticked and usable.
    void EnableDeepDive();
    void bCheckForUpdatesClick();
    void FormClose();
    void FormDestroy();
    void Timer1Timer();

    void AttachToHost(uint64_t hostWindow);
    /// Sets the controls from the settings without running their handlers.
    void ShowSettings();
    void ShowDetailHelp(bool autoDetected);
    /// fractal.ini forces the level: it is shown, cannot be chosen and is
    /// never stored.
    bool LevelForced() const;
    static QString AutoDetectedText(int index);
    static QString DetailHelpText(int index);
    /// A write to the store failed: logged and told; the dialog carries on.
    void ReportSaveFailure(const std::string& reason);

    tGlobalSettings& settings_;
    std::unique_ptr<tForeignWindow> host_;
    std::unique_ptr<QWindow> hostWindow_;
};

/// The contrast ratio of two colours (1 to 21), as readability guidelines
/// measure it.
double ContrastRatio(const QColor& a, const QColor& b);
/// The deep-zooming status colour (green when supported, red when not)
/// that stays readable on the background.
QColor ReadableStatusColor(bool supported, const QColor& background);

/// The address "Check For Updates" opens (set when the program is built;
/// empty: none, and the button is hidden).
std::string ProductWebPage();
