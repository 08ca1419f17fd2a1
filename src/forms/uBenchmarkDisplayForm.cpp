#include "uBenchmarkDisplayForm.h"

#include "uGLSurface.h"
#include "uOpenGL.h"
#include "uPage.h"
#include "uSprite.h"

#include <QPalette>
#include <QTimer>

namespace {
constexpr int kRedrawMs = 250;
}

TfBenchmarkDisplay::TfBenchmarkDisplay(QWidget* parent) : QWidget(parent)
{
    setWindowTitle("Display");
    resize(902, 778);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    Timer1 = new QTimer(this);
    Timer1->setInterval(kRedrawMs);
    connect(Timer1, &QTimer::timeout, this, &TfBenchmarkDisplay::DrawFrame);
}

TfBenchmarkDisplay::~TfBenchmarkDisplay() = default;

tOpenGLInterface& TfBenchmarkDisplay::CreateInterface()
{
    if (!gl_) {
        gl_ = tOpenGLInterface::CreateOnForm(WindowHandleFor(this));
        gl_->SetupPerspective(width(), height());
    }
    return *gl_;
}

void TfBenchmarkDisplay::DrawFrame()
{
    if (!gl_ || !isVisible() || !gl_->MakeCurrent())
        return;
    Draw();
    gl_->Present();
}

void TfBenchmarkDisplay::Draw()
{
    gl_->ClearBlack();
    if (!sprite_)
        return;
    tDrawParams params = InitDrawParams();
    params.ScaleX = displayZoom;
    params.ScaleY = displayZoom;
    params.Pivot = sprite_->hotspot;
    sprite_->DrawWith(params, width() / 2, height() / 2);
}

void TfBenchmarkDisplay::paintEvent(QPaintEvent*) { DrawFrame(); }

void TfBenchmarkDisplay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (gl_ && gl_->MakeCurrent())
        gl_->SetupPerspective(width(), height());
}

void TfBenchmarkDisplay::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Timer1->start();
}

void TfBenchmarkDisplay::hideEvent(QHideEvent* event)
{
    Timer1->stop();
    QWidget::hideEvent(event);
}
