#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>
#include <string>

/// Makes the widget application object before the first test of a binary
/// (widgets and windows need it before any is made) and ends it after the
/// last, while the toolkit's globals still exist. Register it once per test
/// binary:
///   [[maybe_unused]] auto* const kEnvironment =
///       ::testing::AddGlobalTestEnvironment(new tWidgetApplication("forms_tests"));
class tWidgetApplication : public ::testing::Environment {
public:
    explicit tWidgetApplication(const char* name) : name_(name) {}

    void SetUp() override
    {
        argv_[0] = name_.data();
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    std::string name_;
    // QApplication keeps references to both for its whole life.
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
    std::unique_ptr<QApplication> app_;
};
