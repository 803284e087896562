#include "state_view.h"

#include <cstdint>
#include <utility>

#include "observations.h"

namespace olsim::view {
namespace {

using Json = nlohmann::ordered_json;

const char* KindOf(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null:
            return "null";
        case Json::value_t::object:
            return "an object";
        case Json::value_t::array:
            return "a list";
        case Json::value_t::string:
            return "a text";
        case Json::value_t::boolean:
            return "true or false";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
            return "a whole number";
        case Json::value_t::number_float:
            return "a number with a fraction";
        default:
            return "something else";
    }
}

// A value of the state with the path that leads to it, for the errors.
class Node {
  public:
    Node(const Json& value, std::string path) : m_value(value), m_path(std::move(path)) {}

    Node operator[](const char* key) const {
        Expect(m_value.is_object(), "an object");
        auto found = m_value.find(key);
        if (found == m_value.end())
            throw StateError(Place() + "has no \"" + key + "\"");
        return Node(*found, Child(key));
    }
    bool Has(const char* key) const { return m_value.is_object() && m_value.contains(key); }
    bool IsNull() const { return m_value.is_null(); }

    std::string Text() const {
        Expect(m_value.is_string(), "a text");
        return m_value.get<std::string>();
    }
    int Int() const {
        Expect(m_value.is_number_integer(), "a whole number");
        const auto number = m_value.get<long long>();
        if (number < INT32_MIN || number > INT32_MAX)
            throw StateError(Place() + "the number " + std::to_string(number) + " is too large");
        return static_cast<int>(number);
    }
    bool Bool() const {
        Expect(m_value.is_boolean(), "true or false");
        return m_value.get<bool>();
    }
    std::optional<std::string> OptionalText() const {
        if (IsNull())
            return std::nullopt;
        return Text();
    }
    template <class Read>
    auto List(Read read) const {
        Expect(m_value.is_array(), "a list");
        std::vector<decltype(read(std::declval<Node>()))> items;
        items.reserve(m_value.size());
        for (size_t i = 0; i < m_value.size(); ++i)
            items.push_back(read(Node(m_value[i], m_path + "[" + std::to_string(i) + "]")));
        return items;
    }
    template <class Read>
    void ForEachField(Read read) const {
        Expect(m_value.is_object(), "an object");
        for (const auto& [key, value] : m_value.items())
            read(key, Node(value, Child(key.c_str())));
    }
    const std::string& path() const { return m_path; }

  private:
    std::string Child(const char* key) const { return m_path.empty() ? key : m_path + "." + key; }
    std::string Place() const { return m_path.empty() ? "the state " : m_path + ": "; }
    void Expect(bool holds, const char* what) const {
        if (!holds)
            throw StateError(Place() + what + " was expected, found " + KindOf(m_value));
    }

    const Json& m_value;
    std::string m_path;
};

ControlView ReadControl(const Node& node) {
    ControlView control;
    control.type = node["type"].Int();
    control.caption = node["caption"].Text();
    control.tooltip = node["tooltip"].Text();
    control.enabled = node["enabled"].Bool();
    control.visible = node["visible"].Bool();
    control.beginGroup = node["beginGroup"].Bool();
    control.style = node["style"].Int();
    control.imageData = node["imageData"].OptionalText().value_or("");
    if (control.IsMenu())
        control.controls = node["controls"].List(ReadControl);
    return control;
}

BarView ReadBar(const Node& node) {
    return {node["name"].Text(),    node["visible"].Bool(), node["builtIn"].Bool(),
            node["rowIndex"].Int(), node["left"].Int(),     node["controls"].List(ReadControl)};
}

ExplorerView ReadExplorer(const Node& node) {
    return {node["id"].Int(), node["caption"].Text(), node["open"].Bool(), node["active"].Bool(),
            node["bars"].List(ReadBar)};
}

ItemView ReadItem(const Node& node) {
    return {node["subject"].Text(),  node["sender"].Text(), node["senderAddress"].Text(),
            node["received"].Text(), node["read"].Bool(),   node["deliveredTo"].OptionalText()};
}

FolderView ReadFolder(const Node& node) {
    return {node["path"].Text(), node["hidden"].Int(), node["items"].List(ReadItem)};
}

StoreView ReadStore(const Node& node) {
    return {node["name"].Text(), node["default"].Bool(), node["folders"].List(ReadFolder)};
}

std::optional<ProgressView> ReadProgress(const Node& node) {
    if (node.IsNull())
        return std::nullopt;
    ProgressView progress;
    progress.shown = node["shown"].Bool();
    progress.title = node["title"].Text();
    node["texts"].ForEachField([&](const std::string& key, const Node& text) {
        try {
            progress.texts[std::stoi(key)] = text.Text();
        } catch (const std::logic_error&) {
            throw StateError(text.path() + ": a control identifier was expected");
        }
    });
    const auto range = node["range"].List([](const Node& n) { return n.Int(); });
    if (range.size() != 2)
        throw StateError(node.path() + ".range: two numbers were expected");
    progress.rangeLow = range[0];
    progress.rangeHigh = range[1];
    progress.position = node["position"].Int();
    progress.stopEnabled = node["stopEnabled"].Bool();
    return progress;
}

MessageBoxView ReadMessageBox(const Node& node) {
    return {node["caption"].Text(), node["text"].Text(), node["type"].Int(), node["answer"].Int()};
}

void CheckVersion(const Node& state) {
    if (!state.Has("stateVersion"))
        throw StateError(
            "the state has no \"stateVersion\": it is not olsim's state, or one written before "
            "the state had versions");
    const int version = state["stateVersion"].Int();
    if (version != kStateVersion)
        throw StateError("the state is of version " + std::to_string(version) +
                         "; this olsim reads version " + std::to_string(kStateVersion));
}

}  // namespace

int FolderView::Unread() const {
    int unread = 0;
    for (const auto& item : items)
        unread += item.read ? 0 : 1;
    return unread;
}

StateView ReadState(const nlohmann::ordered_json& json) {
    const Node state(json, "");
    if (!json.is_object())
        throw StateError(std::string("the state must be an object; it is ") + KindOf(json));
    CheckVersion(state);
    StateView view;
    view.outlookVersion = state["profile"]["version"].Text();
    view.running = state["running"].Bool();
    view.explorers = state["explorers"].List(ReadExplorer);
    view.stores = state["stores"].List(ReadStore);
    view.progress = ReadProgress(state["progressWindow"]);
    view.messageBoxes = state["messageBoxes"].List(ReadMessageBox);
    view.logFile = state["logFile"].Text();
    view.log = state["log"].List([](const Node& line) { return line.Text(); });
    const Node crash = state["crash"];
    if (!crash.IsNull())
        view.crash = crash["description"].Text();
    return view;
}

StateView ReadStateText(const std::string& text) {
    nlohmann::ordered_json json;
    try {
        json = nlohmann::ordered_json::parse(text);
    } catch (const nlohmann::json::exception& error) {
        // "[json.exception.parse_error.101] parse error at line 3, column 1: ...", or a
        // number too large for a double: "[json.exception.out_of_range.406] number overflow ..."
        std::string what = error.what();
        const auto reason = what.find("] ");
        throw StateError("the state is not JSON: " +
                         (reason == std::string::npos ? what : what.substr(reason + 2)));
    }
    return ReadState(json);
}

}  // namespace olsim::view
