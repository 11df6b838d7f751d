// SPDX-License-Identifier: GPL-2.0-or-later
// A Frontend for tests: records everything the operations show and answers
// message boxes from a script (Ok, or the next scripted answer).
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/frontend.h"

struct Box {
    std::string text;
    std::string title;
    Buttons buttons;
};

class Recorder : public Frontend {
public:
    std::vector<std::string> status;    // the status list as it stands
    std::vector<std::string> files;     // the file list as it stands
    std::vector<std::string> events;    // every call, in order, as text
    std::vector<Box> boxes;             // every message box shown
    std::deque<Answer> answers;         // scripted answers for Yes/No boxes
    int progressMaximum = 100;
    int progressAt = 0;
    std::vector<int> progressValues;

    void statusClear() override { status.clear(); events.push_back("status clear"); }
    void statusAdd(const std::string& line) override {
        status.push_back(line);
        events.push_back("status add " + line);
    }
    void statusRepaint() override { events.push_back("status repaint"); }
    void fileListClear() override { files.clear(); events.push_back("files clear"); }
    void fileListAdd(const std::string& line) override { files.push_back(line); }
    void progressMax(int maximum) override { progressMaximum = maximum; }
    void progressValue(int value) override {
        progressAt = value;
        progressValues.push_back(value);
        if (onProgress) onProgress(value);
    }
    void stepsDone(const std::string& label, int done, int total) override {
        events.push_back(label + " " + std::to_string(done) + "/" + std::to_string(total));
    }
    Answer message(const std::string& text, const std::string& title, Buttons buttons) override {
        boxes.push_back({text, title, buttons});
        events.push_back("box " + title + ": " + text);
        if (onBox) onBox(boxes.back());
        if (buttons == Buttons::Ok) return Answer::Ok;
        if (answers.empty()) return Answer::No;
        Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void windowRepaint() override { events.push_back("window repaint"); }

    // Called while a box is open (for tests that look at the board then).
    std::function<void(const Box&)> onBox;
    // Called at every progress step (for tests that stop an operation there).
    std::function<void(int)> onProgress;
};
