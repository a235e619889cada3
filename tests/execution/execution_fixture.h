// An interpreter state with a recording environment: what a program
// printed, which messages it raised, and what it asked of the scene.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "core_fixture.h"
#include "environment.h"
#include "interpreter.h"
#include "run_control.h"
#include "state.h"

class RecordingEnvironment : public tavro::Environment {
public:
    void WriteLine(std::string_view text, int, bool) override { Lines.emplace_back(text); }
    void ShowMessage(std::string_view message, std::string_view) override
    {
        Messages.emplace_back(message);
    }
    // Nodes in Drawn have a display list.
    bool HasDisplayList(tavro::Atom* node) override
    {
        ++HasDisplayListCalls;
        return Drawn.count(node) != 0;
    }
    void DeleteDisplayList(tavro::Atom* node) override
    {
        Deleted.push_back(node);
        Drawn.erase(node);
    }
    // Nodes in Drawable get a display list whenever it is built.
    void BuildDisplayList(tavro::Atom* node) override
    {
        Built.push_back(node);
        if (Drawable.count(node)) Drawn.insert(node);
    }
    void RedrawScene() override { ++Redraws; }

    std::vector<std::string> Lines;
    std::vector<std::string> Messages;
    std::set<tavro::Atom*> Drawn;
    std::set<tavro::Atom*> Drawable;
    std::vector<tavro::Atom*> Deleted;
    std::vector<tavro::Atom*> Built;
    int HasDisplayListCalls = 0;
    int Redraws = 0;
};

// Samples the pool while a program runs: it pumps messages every 16th
// statement and every 128th repeat turn.
class SamplingEnvironment : public RecordingEnvironment {
public:
    void ProcessMessages() override
    {
        if (tavro::State->LiveCount > Peak) Peak = tavro::State->LiveCount;
    }
    int Peak = 0;
};

class ExecutionTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        // Globals that point into the previous test's state.
        tavro::TrueMarker = nullptr;
        tavro::FalseMarker = nullptr;
        tavro::CurrentCell = nullptr;
        tavro::PendingOutput = tavro::NoValue;
        tavro::HistoryQueue.clear();
        tavro::SetEnvironment(&Env);
    }
    void TearDown() override
    {
        tavro::SetEnvironment(nullptr);
        tavro::TrueMarker = nullptr;
        tavro::FalseMarker = nullptr;
        tavro::CurrentCell = nullptr;
        CoreTest::TearDown();
    }
    // Runs a program text as the IDE's Run does (without the reset).
    bool Run(const std::string& text) { return tavro::RunCommandText(text, "test"); }
    // Output lines since the last call, trailing blanks trimmed.
    std::vector<std::string> TakeLines()
    {
        std::vector<std::string> lines;
        for (auto& l : Env.Lines) {
            std::string t = l;
            while (!t.empty() && t.back() == ' ') t.pop_back();
            lines.push_back(t);
        }
        Env.Lines.clear();
        return lines;
    }
    tavro::Atom* Node(const char* name) { return tavro::Resolve(name); }

    RecordingEnvironment Env;
};
