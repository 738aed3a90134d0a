#include "tests/fake/RecordingView.h"

#include "setup/ControlIds.h"

RecordingView::RecordingView() : rangeLower(0), rangeUpper(100), position(0), endResult(-1) {
    const int ids[] = {IDC_EXIT, IDC_INSTALL, IDC_UNINSTALL, IDC_IDE, IDC_SCSI, IDC_PROGRESS,
                       IDC_NEXT, IDC_LABEL,   IDC_VERSION,   IDC_PROMPT};
    for (int id : ids) {
        visible[id] = true;
        text[id] = "";
    }
    text[IDC_EXIT] = "Exit";
    text[IDC_INSTALL] = "Install";
    text[IDC_UNINSTALL] = "Uninstall";
    text[IDC_IDE] = "IDE";
    text[IDC_SCSI] = "SCSI";
    text[IDC_NEXT] = "Next >>";
}

void RecordingView::ShowControl(int id, bool shown) {
    visible.at(id) = shown;
    log.push_back((shown ? "show " : "hide ") + std::to_string(id));
}

void RecordingView::SetControlText(int id, const char* value) {
    text.at(id) = value;
    log.push_back("text " + std::to_string(id) + " " + value);
}

void RecordingView::SetProgressRange(unsigned short lower, unsigned short upper) {
    rangeLower = lower;
    rangeUpper = upper;
    log.push_back("range " + std::to_string(lower) + " " + std::to_string(upper));
}

void RecordingView::SetProgressPos(int pos) {
    position = pos;
    positions.push_back(pos);
    log.push_back("pos " + std::to_string(pos));
}

void RecordingView::ShowMessage(const char* value, const char* caption, unsigned iconKind) {
    Message message = {value, caption, iconKind};
    messages.push_back(message);
    log.push_back(std::string("message ") + caption + " " + value);
    if (onMessage) onMessage(message);
}

void RecordingView::EndDialog(int result) {
    endResult = result;
    log.push_back("end " + std::to_string(result));
}

std::vector<int> RecordingView::VisibleIds() const {
    std::vector<int> ids;
    for (const auto& entry : visible)
        if (entry.second) ids.push_back(entry.first);
    return ids;
}
