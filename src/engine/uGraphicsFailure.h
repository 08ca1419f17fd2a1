#pragma once
// The graphics a run cannot do without. The engine and the running zoom
// raise EGraphicsFailure when they are missing; the program's entry turns
// each kind into its exit code after telling the user the message.
#include <stdexcept>
#include <string>

class EGraphicsFailure : public std::runtime_error {
public:
    enum class tKind {
        /// No OpenGL context could be made (or made current) on the window.
        NoContext,
        /// The screen shows fewer than 24 bits per pixel.
        ColourDepth,
        /// The OpenGL implementation is older than 1.1.
        OpenGLTooOld,
    };

    EGraphicsFailure(tKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    tKind Kind() const { return kind_; }

private:
    tKind kind_;
};
