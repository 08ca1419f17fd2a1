#pragma once
// The benchmark's display window: shows the benchmark picture while it is
// generated, centred and at the display zoom, on its own OpenGL interface.
// It redraws on paint and every 250 ms.
#include <QWidget>

#include <memory>

class QTimer;
class tOpenGLInterface;
class tSprite;

class TfBenchmarkDisplay : public QWidget {
    Q_OBJECT
public:
    explicit TfBenchmarkDisplay(QWidget* parent = nullptr);
    ~TfBenchmarkDisplay() override;

    /// Makes the window's OpenGL interface (once) with a perspective of the
    /// client size; the benchmark renders its sprite on it.
    tOpenGLInterface& CreateInterface();
    /// None before CreateInterface.
    tOpenGLInterface* GL() const { return gl_.get(); }
    /// The sprite to show (not owned); none shows black.
    void SetSprite(tSprite* sprite) { sprite_ = sprite; }

    /// Draws and presents a frame (nothing while hidden or without an interface).
    void DrawFrame();
    /// Clears to black and draws the sprite centred with the display zoom,
    /// with the window's interface (current); the caller presents.
    void Draw();

    float displayZoom = 1.0f;
    QTimer* Timer1 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::unique_ptr<tOpenGLInterface> gl_;
    tSprite* sprite_ = nullptr;
};
