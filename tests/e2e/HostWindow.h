#pragma once
// An X11 window owned by the test, standing in for a host's preview box.
// Kept apart from the tests because Xlib's macros clash with GoogleTest.
#include <cstdio>
#include <string>

class tHostWindow {
public:
    static constexpr int kWidth = 152;
    static constexpr int kHeight = 112;

    explicit tHostWindow(int x = 0, int y = 0);
    ~tHostWindow();
    tHostWindow(const tHostWindow&) = delete;
    tHostWindow& operator=(const tHostWindow&) = delete;

    bool Valid() const { return display_ != nullptr; }
    std::string Id() const { return std::to_string(window_); }
    std::string HexId() const;
    unsigned long Window() const { return window_; }

private:
    void* display_ = nullptr;
    unsigned long window_ = 0;
};
