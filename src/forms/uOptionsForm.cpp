// Sections: building the controls, the handlers (create, show, the controls,
// close, destroy, the host watch), opening the web page.
#include "uOptionsForm.h"

#include "uAppRegistry.h"
#include "uCpuFeatures.h"
#include "uForeignWindow.h"
#include "uFormat.h"
#include "uGlobalSettings.h"
#include "uLog.h"
#include "uPlatform.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

#ifndef QX_PRODUCT_URL
#error "QX_PRODUCT_URL (the product's web page) is set by the build"
#endif

namespace {
const char* const kDetailItems[] = {"Low", "Medium", "High", "Very High", "Highest"};
constexpr QSize kDesignClientSize{437, 118};
constexpr QPoint kDesignPosition{200, 118};
constexpr int kHostOffset = 10;
constexpr int kHostWatchMs = 100;
// The status colours, bright for a dark window and dark for a light one, so
// that either keeps a contrast of at least 4.5:1 with the window.
const QColor kUnsupportedColor{255, 47, 47};
const QColor kSupportedColor{47, 255, 47};
const QColor kUnsupportedOnLight{176, 0, 0};
const QColor kSupportedOnLight{0, 110, 0};
constexpr double kReadableContrast = 4.5;
/// Width of the explanations beside the levels.
constexpr int kHelpWidth = 300;

const char* const kDetailHelp[] = {
    "Low: keyframes half as wide as the screen, edges not smoothed. For slow computers.",
    "Medium: keyframes 60% of the screen's width, lightly smoothed edges.",
    "High: keyframes 70% of the screen's width, smoothed edges and more detail.",
    "Very High: keyframes 80% of the screen's width, finely smoothed edges.",
    "Highest: keyframes as wide as the screen, the finest edges and the most detail. For fast computers.",
};
constexpr char kDetailHelpAll[] =
    "Higher levels draw a sharper picture and need a faster computer; when the computer falls behind, "
    "the zoom slows down rather than stutter.";
constexpr char kDeepHelp[] =
    "Deep zooming goes about a hundred million times deeper into the set, computing in 64-bit precision, "
    "which takes longer per picture.";
constexpr char kDeepDiveHelp[] =
    "With deep dives, the huge zooms go on to a magnification of 10^100, to targets found on the way "
    "down, computing from a point known to a hundred digits. Needs deep zooming.";

double Luminance(const QColor& c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}
} // namespace

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableStatusColor(bool supported, const QColor& background)
{
    const QColor bright = supported ? kSupportedColor : kUnsupportedColor;
    const QColor dark = supported ? kSupportedOnLight : kUnsupportedOnLight;
    if (ContrastRatio(bright, background) >= kReadableContrast)
        return bright;
    return ContrastRatio(dark, background) >= ContrastRatio(bright, background) ? dark : bright;
}

// ------------------------------------------------------------ building the controls

TfOptions::TfOptions(tGlobalSettings& settings, uint64_t hostWindow, QWidget* parent)
    : QDialog(parent), settings_(settings)
{
    BuildControls();
    if (hostWindow != 0)
        AttachToHost(hostWindow);
    ShowSettings();
}

TfOptions::~TfOptions() { FormDestroy(); }

void TfOptions::BuildControls()
{
    setWindowTitle("Quorex Screen Saver Options");
    // A small fixed window with only a minimise and a close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    rgDetail = new QGroupBox("Detail:", this);
    rgDetail->setObjectName("rgDetail");
    rgDetailItems = new QButtonGroup(this);
    auto* items = new QVBoxLayout(rgDetail);
    items->setSpacing(0);
    items->setContentsMargins(6, 2, 6, 2);
    for (int i = 0; i < 5; ++i) {
        auto* item = new QRadioButton(kDetailItems[i], rgDetail);
        rgDetailItems->addButton(item, i);
        items->addWidget(item);
    }

    bAuto = new QPushButton("Auto Detect", this);
    bAuto->setObjectName("bAuto");
    bAuto->setToolTip("Select best settings for your computer");
    bAuto->setAutoDefault(false);

    cbDeepZooming = new QCheckBox("64bit Deep Zooming", this);
    cbDeepZooming->setObjectName("cbDeepZooming");
    lDeepZoomingStatus = new QLabel("(Status)", this);
    lDeepZoomingStatus->setObjectName("lDeepZoomingStatus");
    cbDeepDive = new QCheckBox("Deep dives to 10¹⁰⁰", this);
    cbDeepDive->setObjectName("cbDeepDive");
    cbDeepDive->setToolTip(kDeepDiveHelp);

    Panel2 = new QFrame(this);
    Panel2->setObjectName("Panel2");
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Label1 = new QLabel("V?.?", Panel2);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignCenter);
    bCheckForUpdates = new QPushButton("Check For Updates", Panel2);
    bCheckForUpdates->setObjectName("bCheckForUpdates");
    bCheckForUpdates->setAutoDefault(false);
    auto* panel = new QHBoxLayout(Panel2);
    panel->setContentsMargins(2, 1, 1, 1);
    panel->addWidget(Label1, 1);
    panel->addWidget(bCheckForUpdates);

    bOK = new QPushButton("OK", this);
    bOK->setObjectName("bOK");
    bOK->setDefault(true);

    for (int i = 0; i < 5; ++i)
        rgDetailItems->button(i)->setToolTip(kDetailHelp[i]);
    cbDeepZooming->setToolTip(kDeepHelp);
    lDetailHelp = new QLabel(this);
    lDetailHelp->setObjectName("lDetailHelp");
    lDetailHelp->setWordWrap(true);
    lDetailHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lDetailHelp->setFixedWidth(kHelpWidth);
    lDeepHelp = new QLabel(kDeepHelp, this);
    lDeepHelp->setObjectName("lDeepHelp");
    lDeepHelp->setWordWrap(true);
    lDeepHelp->setFixedWidth(kHelpWidth);
    // The longest explanation decides the height, so the dialog keeps its
    // size whichever level is chosen.
    int helpHeight = 0;
    for (int i = 0; i < 5; ++i) {
        lDetailHelp->setText(AutoDetectedText(i) + DetailHelpText(i));
        helpHeight = std::max(helpHeight, lDetailHelp->heightForWidth(kHelpWidth));
    }
    lDetailHelp->setMinimumHeight(helpHeight);
    lDetailHelp->clear();
    if (ProductWebPage().empty())
        bCheckForUpdates->hide();

    // Detail levels down the left; beside them what the chosen level means,
    // the deep-zooming switch and what it does; along the bottom:
    // auto-detection, version with updates, OK.
    auto* deep = new QHBoxLayout;
    deep->addWidget(cbDeepZooming);
    deep->addSpacing(12);
    deep->addWidget(lDeepZoomingStatus, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(lDetailHelp);
    right->addStretch(1);
    right->addLayout(deep);
    // Under deep zooming, indented as the choice that depends on it.
    auto* dive = new QHBoxLayout;
    dive->addSpacing(20);
    dive->addWidget(cbDeepDive);
    dive->addStretch(1);
    right->addLayout(dive);
    right->addWidget(lDeepHelp);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(10);
    grid->addWidget(rgDetail, 0, 0);
    grid->addLayout(right, 0, 1, 1, 2);
    grid->addWidget(bAuto, 1, 0);
    grid->addWidget(Panel2, 1, 1);
    grid->addWidget(bOK, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    move(kDesignPosition);

    Timer1 = new QTimer(this);
    Timer1->setInterval(kHostWatchMs);

    connect(rgDetailItems, &QButtonGroup::idClicked, this, &TfOptions::rgDetailClick);
    connect(bAuto, &QPushButton::clicked, this, &TfOptions::bAutoClick);
    connect(cbDeepZooming, &QCheckBox::clicked, this, &TfOptions::cbDeepZoomingClick);
    connect(cbDeepDive, &QCheckBox::clicked, this, &TfOptions::cbDeepDiveClick);
    connect(bCheckForUpdates, &QPushButton::clicked, this, &TfOptions::bCheckForUpdatesClick);
    connect(bOK, &QPushButton::clicked, this, &TfOptions::close);
    connect(Timer1, &QTimer::timeout, this, &TfOptions::Timer1Timer);
}

// ------------------------------------------------------------ handlers

void TfOptions::AttachToHost(uint64_t hostWindow)
{
    // A window of another program cannot be disabled from here. Instead the
    // dialog becomes a modal transient of the host: the window manager keeps
    // it above the host, groups the two, and (where it honours the modal
    // state) keeps the host from being used while the dialog is open.
    host_ = std::make_unique<tForeignWindow>(hostWindow);
    if (const auto corner = host_->TopLeft())
        move(corner->x + kHostOffset, corner->y + kHostOffset);
    hostWindow_.reset(QWindow::fromWinId(static_cast<WId>(hostWindow)));
    winId(); // the dialog's own native window, to hang it on the host
    if (hostWindow_ && windowHandle()) {
        windowHandle()->setTransientParent(hostWindow_.get());
        setWindowModality(Qt::WindowModal);
    }
    Timer1->start();
}

void TfOptions::ShowSettings()
{
    const int index = settings_.detailLevel - 1;
    if (QAbstractButton* item = rgDetailItems->button(index))
        item->setChecked(true);
    else if (QAbstractButton* checked = rgDetailItems->checkedButton()) {
        // No level to show (an invalid one from the ini file): no item.
        rgDetailItems->setExclusive(false);
        checked->setChecked(false);
        rgDetailItems->setExclusive(true);
    }
    if (cbDeepZooming->isChecked() != settings_.zoomDeep)
        cbDeepZooming->setChecked(settings_.zoomDeep);
    cbDeepDive->setChecked(settings_.deepDive);
    EnableDeepDive();
    rgDetail->setEnabled(!LevelForced());
    bAuto->setEnabled(!LevelForced());
    ShowDetailHelp(false);
}

bool TfOptions::LevelForced() const { return settings_.forceDetailLevel != 0; }

void TfOptions::EnableDeepDive() { cbDeepDive->setEnabled(cbDeepZooming->isEnabled() && cbDeepZooming->isChecked()); }

void TfOptions::ShowDetailHelp(bool autoDetected)
{
    const int index = DetailIndex();
    const QString forced =
        LevelForced() ? QString("The level is set by fractal.ini (forceDetailLevel=%1) and is not stored here.\n")
                            .arg(settings_.forceDetailLevel)
                      : QString();
    lDetailHelp->setText(forced + (index < 0 ? QString(kDetailHelpAll)
                                             : (autoDetected ? AutoDetectedText(index) : QString()) +
                                                   DetailHelpText(index)));
}

QString TfOptions::AutoDetectedText(int index)
{
    return QString("Auto Detect chose %1 for this computer.\n").arg(kDetailItems[index]);
}

QString TfOptions::DetailHelpText(int index) { return QString(kDetailHelp[index]) + "\n" + kDetailHelpAll; }

void TfOptions::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfOptions::FormShow()
{
    Label1->setText("V1.4.0");
    QPalette pal = lDeepZoomingStatus->palette();
    const QColor background = palette().color(QPalette::Window);
    if (!HasSSE2()) {
        lDeepZoomingStatus->setText("(Not supported)");
        pal.setColor(QPalette::WindowText, ReadableStatusColor(false, background));
        lDeepZoomingStatus->setToolTip("Your CPU must support the SSE2 instruction set to use this feature");
        cbDeepZooming->setEnabled(false);
    } else {
        lDeepZoomingStatus->setText("(Supported)");
        pal.setColor(QPalette::WindowText, ReadableStatusColor(true, background));
        lDeepZoomingStatus->setToolTip("Deep zooming is supported on this system.");
        cbDeepZooming->setEnabled(true);
    }
    EnableDeepDive();
    lDeepZoomingStatus->setPalette(pal);
    // The keyboard starts on the chosen level: the arrow keys change it.
    if (QAbstractButton* item = rgDetailItems->checkedButton())
        item->setFocus(Qt::ActiveWindowFocusReason);
    raise();
    activateWindow();
}

int TfOptions::DetailIndex() const { return rgDetailItems->checkedId(); }

void TfOptions::rgDetailClick(int index)
{
    if (index < 0)
        return;
    settings_.detailLevel = static_cast<uint8_t>(index + 1);
    settings_.ApplyDetailLevel();
    ShowDetailHelp(false);
}

void TfOptions::bAutoClick()
{
    if (!isVisible() || LevelForced())
        return;
    // The measurement takes a moment: the cursor shows that it runs, the
    // explanation which level it chose.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    lDetailHelp->setText("Measuring this computer...");
    lDetailHelp->repaint();
    settings_.AutoDetectDetailLevel();
    settings_.ApplyDetailLevel();
    QApplication::restoreOverrideCursor();
    ShowSettings();
    ShowDetailHelp(true);
}

void TfOptions::cbDeepZoomingClick()
{
    try {
        AppRegistry().WriteZoomDeep(cbDeepZooming->isChecked());
    } catch (const std::exception& e) {
        ReportSaveFailure(e.what());
    }
    // What the store holds now, and never on without SSE2.
    settings_.LoadDeepZoom();
    EnableDeepDive();
    // The measurement depends on the precision deep zooming selects.
    bAutoClick();
}

void TfOptions::cbDeepDiveClick()
{
    settings_.deepDive = cbDeepDive->isChecked();
    try {
        AppRegistry().WriteDeepDive(settings_.deepDive);
    } catch (const std::exception& e) {
        ReportSaveFailure(e.what());
    }
}

void TfOptions::ApplyChoices()
{
    settings_.zoomDeep = cbDeepZooming->isChecked();
    settings_.deepDive = cbDeepDive->isChecked();
    if (DetailIndex() >= 0) {
        settings_.detailLevel = static_cast<uint8_t>(DetailIndex() + 1);
        settings_.ApplyDetailLevel();
    }
}

void TfOptions::reject() { close(); }

void TfOptions::closeEvent(QCloseEvent* event)
{
    // Not QDialog's handler, which would route the close through reject().
    FormClose();
    event->accept();
}

void TfOptions::FormClose()
{
    Timer1->stop();
    ApplyChoices();
    // Only what the user could choose is stored: a level that fractal.ini
    // forces (or an invalid one, which shows no level) and deep zooming the
    // processor cannot do are shown as they are, and the store keeps its own.
    try {
        if (DetailIndex() >= 0 && !LevelForced())
            AppRegistry().WriteDetailLevel(settings_.detailLevel);
        // Deep dives could be chosen only where deep zooming could.
        if (HasSSE2()) {
            AppRegistry().WriteZoomDeep(settings_.zoomDeep);
            AppRegistry().WriteDeepDive(settings_.deepDive);
        }
    } catch (const std::exception& e) {
        ReportSaveFailure(e.what());
    }
}

void TfOptions::ReportSaveFailure(const std::string& reason)
{
    LogWarning(1, "Could not save the settings: " + reason);
    ShowMessageBox("Could not save the settings: " + reason, "Quorex Screen Saver Options");
}

void TfOptions::FormDestroy()
{
    if (host_)
        host_->Activate();
}

void TfOptions::Timer1Timer()
{
    if (host_ && !host_->Exists())
        close();
}

// ------------------------------------------------------------ the web page

std::string ProductWebPage() { return QX_PRODUCT_URL; }

void TfOptions::bCheckForUpdatesClick()
{
    const std::string address = ProductWebPage();
    if (address.empty())
        return; // the button is hidden
    if (QDesktopServices::openUrl(QUrl(QString::fromStdString(address))))
        return;
    // The toolkit only says that it failed; the cause it can be seen to have
    // is that nothing on this system opens web pages.
    const bool opener = !QStandardPaths::findExecutable("xdg-open").isEmpty() || std::getenv("BROWSER") ||
                        std::getenv("DEFAULT_BROWSER");
    const std::string message =
        opener ? "The web browser could not open " + address + ".\nOpen the address by hand to look for updates."
               : "There is no web browser on this computer to open " + address +
                     ".\nOpen the address on another computer to look for updates.";
    LogWarning(1, message);
    ShowMessageBox(message, "Check For Updates");
}
