// The JSON state as the pages read it: every part a page draws, checked as
// it is read, so that a damaged state, or one of another version, is refused
// with the place and the reason ("stores[0].folders[2].items[5].subject: a
// text was expected, found a number") instead of drawing half a window.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace olsim::view {

class StateError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ControlView {
    int type = 1;  // MsoControlType: 1 button, 10 pop-up menu
    std::string caption;
    std::string tooltip;
    bool enabled = true;
    bool visible = true;
    bool beginGroup = false;
    int style = 0;          // MsoButtonStyle
    std::string imageData;  // a data: URL of the button's face; empty for none
    std::vector<ControlView> controls;
    bool IsMenu() const { return type == 10; }
};

struct BarView {
    std::string name;
    bool visible = true;
    bool builtIn = false;
    int rowIndex = 0;
    int left = 0;
    std::vector<ControlView> controls;
};

struct ExplorerView {
    int id = 0;
    std::string caption;
    bool open = false;
    bool active = false;
    std::vector<BarView> bars;
};

struct ItemView {
    std::string subject;
    std::string sender;
    std::string senderAddress;
    std::string received;  // "YYYY-MM-DD HH:MM:SS"
    bool read = false;
    std::optional<std::string> deliveredTo;  // the folder path the mail server put it in
};

struct FolderView {
    std::string path;  // "Personal Folders/Inbox"; the store's top folder is its name
    int hidden = 0;
    std::vector<ItemView> items;
    int Unread() const;
};

struct StoreView {
    std::string name;
    bool isDefault = false;
    std::vector<FolderView> folders;  // from the top down, a folder before its subfolders
};

struct ProgressView {
    bool shown = false;
    std::string title;
    std::map<int, std::string> texts;  // by control identifier, 202 to 209
    int rangeLow = 0;
    int rangeHigh = 0;
    int position = 0;
    bool stopEnabled = false;
};

struct MessageBoxView {
    std::string caption;
    std::string text;
    int type = 0;    // MB_ flags
    int answer = 0;  // the ID of the button pressed
};

struct StateView {
    std::string outlookVersion;
    bool running = false;
    std::vector<ExplorerView> explorers;
    std::vector<StoreView> stores;
    std::optional<ProgressView> progress;
    std::vector<MessageBoxView> messageBoxes;
    std::string logFile;
    std::vector<std::string> log;
    std::optional<std::string> crash;  // its description
};

// From the document (StateError when a part is missing or of the wrong kind,
// or the state is of another version) and from its text (the same, and
// StateError for text that is not JSON).
StateView ReadState(const nlohmann::ordered_json& state);
StateView ReadStateText(const std::string& text);

}  // namespace olsim::view
