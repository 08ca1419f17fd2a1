#pragma once
// Two nested X11 windows made by the test (kept apart from GoogleTest code,
// whose names clash with Xlib's macros).
#include <cstdint>

class tX11WindowPair {
public:
    tX11WindowPair();
    ~tX11WindowPair();
    bool Valid() const { return display_ != nullptr; }
    uint64_t Parent() const { return parent_; }
    uint64_t Child() const { return child_; }

private:
    void* display_ = nullptr;
    uint64_t parent_ = 0;
    uint64_t child_ = 0;
};
