// A fresh interpreter state for every test.
#pragma once

#include <gtest/gtest.h>

#include "atom.h"
#include "state.h"
#include "structure.h"

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tavro::DestroyState();
        tavro::CreateState();
        tavro::CurrentPosition = tavro::Position{};
        Root = tavro::CreatePath(nullptr, "[Root]", nullptr, false);
        tavro::PushContext(Root);
    }
    void TearDown() override
    {
        tavro::SetCaseSensitive(true);
        tavro::DestroyState();
    }
    tavro::Atom* Root = nullptr;
};
