// A SetupView that records what the dialog would show: the visibility and
// text of every control (all visible at first, as in the template), the
// progress range and position with every position set, the messages with
// caption and icon kind, and the end-dialog code.
#ifndef TESTS_FAKE_RECORDINGVIEW_H
#define TESTS_FAKE_RECORDINGVIEW_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "setup/SetupView.h"

class RecordingView : public SetupView {
public:
    struct Message {
        std::string text, caption;
        unsigned icon;
    };
    RecordingView();
    virtual ~RecordingView() {}

    void ShowControl(int id, bool visible);
    void SetControlText(int id, const char* text);
    void SetProgressRange(unsigned short lower, unsigned short upper);
    void SetProgressPos(int pos);
    void ShowMessage(const char* text, const char* caption, unsigned iconKind);
    void EndDialog(int result);

    bool Visible(int id) const { return visible.at(id); }
    // The ids of the visible controls, in ascending order.
    std::vector<int> VisibleIds() const;

    std::map<int, bool> visible;
    std::map<int, std::string> text;
    unsigned short rangeLower, rangeUpper;
    int position;
    std::vector<int> positions;  // every position set, in order
    std::vector<Message> messages;
    int endResult;  // -1 while the dialog runs
    // Every operation in order, e.g. "hide 1004", "pos 2", "message Error ...".
    std::vector<std::string> log;
    // Runs when a message box is shown, as if while it is on screen.
    std::function<void(const Message&)> onMessage;
};

#endif
