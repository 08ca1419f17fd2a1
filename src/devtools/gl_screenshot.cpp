// gl-screenshot OUT.png: draws a small scene with the engine (a foggy
// perspective floor, a picture standing on it turned about the vertical axis,
// a rotated and blended textured quad, sprites cut from a sprite page, a
// circle and lines) in an 800 × 600 window and writes the frame to a PNG, so
// that a person can look at what the OpenGL layer draws.
#include "uGLSurface.h"
#include "uOpenGL.h"
#include "uPage.h"
#include "uPageGLhw.h"
#include "uSprite.h"
#include "uToolMain.h"
#include "uViewPort.h"

#include <GL/gl.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

/// A 256 × 192 picture: colour gradients under a grid, with a white border.
void PaintPicture(tPage& page)
{
    page.SetSize(256, 192, pfRGBA);
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x) {
            const bool grid = x % 32 == 0 || y % 32 == 0;
            const bool border = x < 4 || y < 4 || x > 251 || y > 187;
            const auto r = static_cast<uint8_t>(x);
            const auto g = static_cast<uint8_t>(y * 4 / 3);
            const auto b = static_cast<uint8_t>(255 - x / 2);
            page.SetPixel(x, y, border ? PackRGBA(255, 255, 255) : grid ? PackRGBA(20, 20, 40) : PackRGBA(r, g, b));
        }
}

/// A 192 × 64 sprite sheet of three 64 × 64 cells: a red disc, a green
/// diamond and a yellow ring, on transparent black.
void WriteSpriteSheet(const std::string& path)
{
    tPage sheet;
    sheet.SetSize(192, 64, pfRGBA);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 192; ++x) {
            const int cell = x / 64;
            const double dx = x % 64 - 31.5;
            const double dy = y - 31.5;
            const double r = std::sqrt(dx * dx + dy * dy);
            tPackedColor c = 0;
            if (cell == 0 && r < 28)
                c = PackRGBA(230, 40, 40, 255);
            else if (cell == 1 && std::abs(dx) + std::abs(dy) < 30)
                c = PackRGBA(40, 220, 80, 255);
            else if (cell == 2 && r > 18 && r < 29)
                c = PackRGBA(250, 220, 40, 255);
            sheet.SetPixel(x, y, c);
        }
    if (!sheet.SaveToPngFile(path))
        throw std::runtime_error("could not write " + path);
}

void DrawScene(tOpenGLInterface& gl, const std::string& scratchFolder)
{
    tViewPortGL viewport(&gl, "main");
    viewport.BeginFrame();
    gl.Clear(PackRGBA(10, 14, 30));

    // The floor: strips running 10 000 units into the fog.
    gl.SetupFog();
    for (int k = 0; k < 100; ++k) {
        const extended z0 = (k + 1) / 100.0L * 10000;
        const extended z1 = k / 100.0L * 10000;
        const tPackedColor a = PackRGBA(122, 142, 152);
        const tPackedColor b = PackRGBA(122, 142, 122);
        gl.FillPolygon3D({0, 450, 0}, {a, b, b, a},
                         {{-10000, 0, z0}, {10000, 0, z0}, {10000, 0, z1}, {-10000, 0, z1}});
    }

    // A picture standing on the floor, turned 25 degrees about the vertical axis.
    tPageGLhw picture(gl);
    PaintPicture(picture);
    picture.Upload();
    const extended u = 256.0L / picture.Texture()->Width();
    const extended v = 192.0L / picture.Texture()->Height();
    tDrawParams opaque = InitDrawParams();
    picture.DrawPolygon3D({520, 450, 600}, {0, 25, 0}, {{0, -576, 0}, {768, -576, 0}, {768, 0, 0}, {0, 0, 0}},
                          {{0, 0}, {u, 0}, {u, v}, {0, v}}, {}, opaque);
    glDisable(GL_FOG);

    // The same picture as a flat quad, scaled, turned 30 degrees clockwise
    // about its centre and half transparent.
    tDrawParams turned = InitDrawParams();
    turned.Pivot = {128, 96};
    turned.ScaleX = turned.ScaleY = 0.9;
    turned.Angle = 30;
    turned.BlendMode = 3;
    turned.Alpha = 0.85;
    picture.DrawEx({0, 0, 256, 192}, {190, 170}, turned);

    // Sprites from a sprite page loaded from a PNG with another extension.
    const std::string sheetFile = scratchFolder + "/sprites.dat";
    WriteSpriteSheet(sheetFile);
    tSpritePage sheet(gl, "Sprites");
    sheet.LoadFromFile(sheetFile);
    for (int i = 0; i < 3; ++i)
        sheet.AddSprite(nullptr, i * 64, 0, 64, 64);
    for (int i = 0; i < 3; ++i)
        sheet.Sprite(i)->DrawAt(460 + i * 80, 80);
    tDrawParams sprite = InitDrawParams();
    sprite.BlendMode = 1;
    for (int i = 0; i < 6; ++i) {
        sprite.Pivot = sheet.Sprite(i % 3)->hotspot;
        sprite.Angle = i * 15;
        sprite.ScaleX = sprite.ScaleY = 0.5 + i * 0.15;
        sprite.Tinted = i >= 3;
        sprite.Tint = {256, 180, 256, 255};
        sheet.Sprite(i % 3)->DrawWith(sprite, 440 + i * 60, 200);
    }

    // Untextured outlines.
    gl.drawColor = PackRGBA(255, 255, 255, 200);
    gl.DrawCircle({700, 520}, 40);
    gl.DrawCircle({700, 520}, 10);
    gl.drawColor = PackRGBA(255, 80, 80, 255);
    gl.DrawLine({20, 580}, {780, 580});
}

} // namespace

int main(int argc, char** argv)
{
    return PictureToolMain(argc, argv, "gl-screenshot", [](const std::string& out) {
        SetGLErrorChecking(true);
        tWindowHandle window = CreateTestWindow(kWidth, kHeight);
        auto gl = tOpenGLInterface::Create(window);
        const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "quorex-gl-screenshot";
        std::filesystem::create_directories(scratch);
        DrawScene(*gl, scratch.string());
        std::filesystem::remove_all(scratch);
        SaveBackBufferToPng(kWidth, kHeight, out);
        gl->Present();
    });
}
