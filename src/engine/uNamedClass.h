#pragma once
#include <string>

/// Base of engine objects that carry a display name.
class tNamedClass {
public:
    explicit tNamedClass(std::string name = {}) : name_(std::move(name)) {}
    virtual ~tNamedClass() = default;

    virtual std::string GetName() const { return name_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

private:
    std::string name_;
};
