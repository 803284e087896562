#include "state_page.h"

#include <algorithm>

#include "html.h"

namespace olsim::view {
namespace {

constexpr const char* kStyle = R"(
body { font: 12px Tahoma, "Segoe UI", Arial, sans-serif; background: #6b8fc9; margin: 12px; color: #000; }
h2 { font-size: 13px; color: #fff; margin: 16px 0 6px; }
.run { color: #fff; margin-bottom: 8px; }
.crash { background: #c00; color: #fff; padding: 6px 10px; font-weight: bold; margin-bottom: 8px; }
.explorer { background: #f0f0f0; border: 1px solid #002d96; margin-bottom: 16px; box-shadow: 2px 2px 6px #0005; }
.titlebar { background: linear-gradient(#0a5fd8, #0745b4); color: #fff; font-weight: bold; padding: 4px 8px; }
.explorer:not(.active) .titlebar { background: linear-gradient(#7a96df, #6b85cf); color: #dde6f8; }
.closed { color: #fff; margin: 0 0 12px; font-style: italic; }
.dock { background: linear-gradient(#e3effe, #b9d1f8); border-bottom: 1px solid #6f9dd9; padding: 1px 2px; }
.row { display: flex; flex-wrap: wrap; gap: 6px; }
.bar { display: inline-flex; align-items: center; border: 1px solid #7c9fd3; border-radius: 3px; background: linear-gradient(#f4f8fe, #c4d9f8); margin: 1px 0; padding: 1px 3px; min-height: 22px; }
.bar .grip { width: 4px; height: 16px; border-left: 2px dotted #27418f; margin-right: 4px; }
.bar .name { display: none; }
.bar.empty .name { display: inline; color: #5a6d94; font-style: italic; padding-right: 4px; }
.control { display: inline-flex; align-items: center; gap: 3px; padding: 2px 5px; border: 1px solid transparent; white-space: nowrap; position: relative; cursor: default; }
.control.group { border-left: 1px solid #6a8ccb; margin-left: 3px; }
.control.enabled:hover, .control.popup:focus-within { background: #ffeec2; border-color: #000080; }
.control.disabled { color: #8d8d8d; }
.control.disabled img { opacity: .4; filter: grayscale(1); }
.control img { width: 16px; height: 16px; image-rendering: pixelated; }
.control .blank { display: inline-block; width: 82px; height: 16px; }
.popup > .arrow { font-size: 9px; }
.menu { display: none; position: absolute; top: 100%; left: -1px; z-index: 10; background: #fcfcf9; border: 1px solid #002d96; box-shadow: 2px 2px 4px #0006; padding: 1px; min-width: 180px; }
.menu .menu { top: -2px; left: 100%; }
.popup:hover > .menu, .popup:focus-within > .menu { display: block; }
.menu > .control { display: flex; padding: 3px 6px 3px 2px; }
.menu > .control > .icon { width: 22px; display: inline-flex; justify-content: center; }
.menu > .control > .caption { flex: 1; }
.menu > .control.group { border-left: 0; border-top: 1px solid #6a8ccb; margin-left: 0; }
.main { display: flex; height: 420px; border-top: 1px solid #6f9dd9; }
.folders { width: 240px; overflow: auto; background: #fff; border-right: 3px solid #6f9dd9; }
.pane-title { background: linear-gradient(#98b4e4, #7196d8); color: #fff; font-weight: bold; padding: 3px 6px; font-size: 13px; }
.folder { padding: 2px 4px; white-space: nowrap; cursor: pointer; }
.folder.selected { background: #fbe694; outline: 1px solid #ab9551; }
.folder.store { font-weight: bold; }
.folder .unread { font-weight: bold; color: #00f; }
.folder.has-unread .name { font-weight: bold; }
.folder .hidden-count { color: #808080; font-size: 11px; }
.items { flex: 1; overflow: auto; background: #fff; }
.items table { border-collapse: collapse; width: 100%; }
.items th { background: linear-gradient(#fff, #e4e4e4); border: 1px solid #c5c5c5; text-align: left; font-weight: normal; padding: 2px 4px; position: sticky; top: 0; }
.items td { border-bottom: 1px solid #ebebeb; padding: 2px 4px; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; max-width: 380px; }
.items tr.unread td { font-weight: bold; }
.items td.moved { color: #a04000; }
.empty { color: #808080; padding: 20px; text-align: center; }
.statusbar { background: linear-gradient(#dde9fc, #a5c3f3); border-top: 1px solid #6f9dd9; padding: 2px 8px; }
.note { padding: 8px; color: #404040; }
.dialog { display: inline-block; vertical-align: top; background: #ece9d8; border: 1px solid #0831d9; margin: 0 12px 12px 0; min-width: 300px; box-shadow: 2px 2px 6px #0005; }
.dialog[data-shown="false"] { opacity: .6; }
.dialog .titlebar { display: flex; justify-content: space-between; }
.dialog .content { padding: 10px 12px; }
.dialog .buttons { display: flex; justify-content: center; gap: 8px; padding: 0 12px 10px; }
.dialog button { min-width: 70px; font: inherit; }
.dialog button.pressed { outline: 2px solid #000; }
.counts { display: grid; grid-template-columns: auto auto; gap: 2px 16px; margin-bottom: 8px; }
.progress-window progress { width: 100%; height: 14px; accent-color: #2fb62f; }
.icon-box { display: inline-flex; width: 28px; height: 28px; border-radius: 50%; color: #fff; font-weight: bold; justify-content: center; align-items: center; margin-right: 10px; float: left; }
.icon-box.stop { background: #d22; } .icon-box.question, .icon-box.information { background: #2a5fd6; } .icon-box.warning { background: #e0b000; border-radius: 3px; color: #000; }
.message-text { white-space: pre-wrap; overflow: hidden; }
.log { background: #fff; border: 1px solid #002d96; padding: 6px; overflow: auto; max-height: 420px; margin: 0; font: 11px Consolas, "DejaVu Sans Mono", monospace; }
.log .enter { color: #1a5c1a; } .log .exit { color: #7a3b00; }
)";

constexpr const char* kScript = R"(
for (const explorer of document.querySelectorAll('.explorer')) {
  for (const folder of explorer.querySelectorAll('.folder[data-folder]')) {
    folder.addEventListener('click', () => {
      for (const selected of explorer.querySelectorAll('.folder.selected'))
        selected.classList.remove('selected');
      folder.classList.add('selected');
      for (const list of explorer.querySelectorAll('.itemlist'))
        list.hidden = list.dataset.folder !== folder.dataset.folder;
      explorer.querySelector('.statusbar').textContent = folder.dataset.status;
    });
  }
}
)";

std::string Attribute(const char* name, std::string_view value) {
    return std::string(" ") + name + "=\"" + Escape(value) + "\"";
}

const char* YesNo(bool value) {
    return value ? "true" : "false";
}

std::string ControlHtml(const ControlView& control, bool inMenu);

std::string Controls(const std::vector<ControlView>& controls, bool inMenu) {
    std::string html;
    for (const auto& control : controls)
        html += ControlHtml(control, inMenu);
    return html;
}

// A control as Office draws it: on a bar a button shows its face only when
// its style asks for one (2 is caption only); a menu shows every face in its
// icon column.
std::string ControlHtml(const ControlView& control, bool inMenu) {
    std::string classes = "control";
    classes += control.IsMenu() ? " popup" : " button";
    classes += control.enabled ? " enabled" : " disabled";
    if (control.beginGroup)
        classes += " group";
    std::string html = "<span" + Attribute("class", classes) +
                       Attribute("data-caption", control.caption) +
                       Attribute("data-enabled", YesNo(control.enabled)) +
                       Attribute("data-visible", YesNo(control.visible));
    if (!control.tooltip.empty())
        html += Attribute("title", control.tooltip);
    if (control.IsMenu() && control.enabled)
        html += " tabindex=\"0\"";
    if (!control.visible)
        html += " hidden";
    html += ">";
    const bool face = !control.imageData.empty() && (inMenu || control.style != 2);
    const std::string image =
        face ? "<img alt=\"\"" + Attribute("src", control.imageData) + ">" : "";
    if (inMenu)
        html += "<span class=\"icon\">" + image + "</span>";
    else
        html += image;
    if (control.caption.empty() && !face)
        html += "<span class=\"blank\"></span>";  // a slot others draw over, as the logo
    else
        html += "<span class=\"caption\">" + Escape(control.caption) + "</span>";
    if (control.IsMenu()) {
        html +=
            std::string("<span class=\"arrow\">") + (inMenu ? "&#9656;" : "&#9662;") + "</span>";
        html += "<div class=\"menu\">" + Controls(control.controls, true) + "</div>";
    }
    return html + "</span>";
}

std::string BarHtml(const BarView& bar) {
    // A bar without controls (Outlook's own, which the simulation leaves
    // empty) shows its name so that it reads as what it is.
    std::string html = "<div" + Attribute("class", bar.controls.empty() ? "bar empty" : "bar") +
                       Attribute("data-bar", bar.name) +
                       Attribute("data-visible", YesNo(bar.visible)) +
                       Attribute("title", bar.name) + (bar.visible ? "" : " hidden") + ">";
    html += "<span class=\"grip\"></span><span class=\"name\">" + Escape(bar.name) + "</span>";
    return html + Controls(bar.controls, false) + "</div>";
}

// The top dock: bars row by row, each row from the left.
std::string DockHtml(const std::vector<BarView>& bars) {
    std::vector<const BarView*> order;
    for (const auto& bar : bars)
        order.push_back(&bar);
    std::stable_sort(order.begin(), order.end(), [](const BarView* a, const BarView* b) {
        return a->rowIndex != b->rowIndex ? a->rowIndex < b->rowIndex : a->left < b->left;
    });
    std::string html = "<div class=\"dock\">";
    for (size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || order[i]->rowIndex != order[i - 1]->rowIndex)
            html += (i == 0 ? "" : "</div>") + std::string("<div class=\"row\">");
        html += BarHtml(*order[i]);
    }
    return html + (order.empty() ? "" : "</div>") + "</div>";
}

// "YYYY-MM-DD HH:MM:SS" as a list shows it, without the seconds; a time of
// another form (a state written by hand) is shown whole, never cut inside
// a character.
std::string ToTheMinute(const std::string& received) {
    const bool withSeconds = received.size() == 19 && received[16] == ':';
    return withSeconds ? received.substr(0, 16) : received;
}

// The last element of a folder's path, and how deep it lies under its store.
struct FolderName {
    std::string name;
    int depth = 0;
};

FolderName NameOf(const StoreView& store, const FolderView& folder) {
    std::string rest = folder.path.rfind(store.name, 0) == 0 ? folder.path.substr(store.name.size())
                                                             : "/" + folder.path;
    if (rest.empty())
        return {store.name, 0};
    return {rest.substr(rest.rfind('/') + 1),
            static_cast<int>(std::count(rest.begin(), rest.end(), '/'))};
}

std::string Status(const FolderView& folder) {
    return std::to_string(folder.items.size()) + " Items, " + std::to_string(folder.Unread()) +
           " Unread";
}

std::string FolderId(size_t store, size_t folder) {
    return "f" + std::to_string(store) + "-" + std::to_string(folder);
}

struct ShownFolder {
    size_t store = 0;
    size_t folder = 0;
    bool found = false;
};

// Outlook opens on the default store's Inbox.
ShownFolder FolderShown(const StateView& state) {
    for (size_t s = 0; s < state.stores.size(); ++s) {
        const auto& store = state.stores[s];
        if (!store.isDefault)
            continue;
        for (size_t f = 0; f < store.folders.size(); ++f)
            if (store.folders[f].path == store.name + "/Inbox")
                return {s, f, true};
    }
    return {};
}

std::string FolderPaneHtml(const StateView& state, const ShownFolder& shown) {
    std::string html = "<div class=\"folders\"><div class=\"pane-title\">Mail Folders</div>";
    for (size_t s = 0; s < state.stores.size(); ++s) {
        const auto& store = state.stores[s];
        for (size_t f = 0; f < store.folders.size(); ++f) {
            const auto& folder = store.folders[f];
            const auto [name, depth] = NameOf(store, folder);
            const int unread = folder.Unread();
            std::string classes = "folder";
            if (depth == 0)
                classes += " store";
            if (unread > 0)
                classes += " has-unread";
            if (shown.found && shown.store == s && shown.folder == f)
                classes += " selected";
            html += "<div" + Attribute("class", classes) +
                    Attribute("data-folder", FolderId(s, f)) + Attribute("data-path", folder.path) +
                    Attribute("data-name", name) +
                    Attribute("data-count", std::to_string(folder.items.size())) +
                    Attribute("data-unread", std::to_string(unread)) +
                    Attribute("data-hidden", std::to_string(folder.hidden)) +
                    Attribute("data-status", Status(folder)) + ">";
            for (int i = 0; i < depth; ++i)
                html += "&nbsp;&nbsp;&nbsp;";
            html += "<span class=\"name\">" + Escape(name) + "</span>";
            if (unread > 0)
                html += " <span class=\"unread\">(" + std::to_string(unread) + ")</span>";
            if (folder.hidden > 0)
                html += " <span class=\"hidden-count\" title=\"hidden (associated) items\">[" +
                        std::to_string(folder.hidden) + " hidden]</span>";
            html += "</div>";
        }
    }
    return html + "</div>";
}

std::string ItemListHtml(const FolderView& folder, const std::string& id, bool shown) {
    std::string html = "<div class=\"itemlist\"" + Attribute("data-folder", id) +
                       Attribute("data-path", folder.path) + (shown ? "" : " hidden") + ">";
    if (folder.items.empty())
        return html + "<div class=\"empty\">There are no items to show in this view.</div></div>";
    // Newest first, as Outlook sorts by Received.
    std::vector<const ItemView*> items;
    for (const auto& item : folder.items)
        items.push_back(&item);
    std::stable_sort(items.begin(), items.end(), [](const ItemView* a, const ItemView* b) {
        return a->received > b->received;
    });
    const bool moved = std::any_of(items.begin(), items.end(), [&](const ItemView* item) {
        return item->deliveredTo && *item->deliveredTo != folder.path;
    });
    html +=
        "<table><thead><tr><th title=\"Read\">&#9993;</th><th>From</th><th>Subject</th>"
        "<th>Received</th>";
    if (moved)
        html += "<th>Arrived in</th>";
    html += "</tr></thead><tbody>";
    for (const ItemView* item : items) {
        html += item->read ? "<tr class=\"item read\">" : "<tr class=\"item unread\">";
        html += std::string("<td>") + (item->read ? "&#9993;&#xFE0E;" : "&#9993;") + "</td>";
        html += "<td" + Attribute("title", item->senderAddress) + ">" +
                Escape(item->sender.empty() ? item->senderAddress : item->sender) + "</td>";
        html += "<td class=\"subject\">" + Escape(item->subject) + "</td>";
        html += "<td>" + Escape(ToTheMinute(item->received)) + "</td>";
        if (moved) {
            const bool here = !item->deliveredTo || *item->deliveredTo == folder.path;
            html +=
                here ? "<td></td>" : "<td class=\"moved\">" + Escape(*item->deliveredTo) + "</td>";
        }
        html += "</tr>";
    }
    return html + "</tbody></table></div>";
}

std::string MailHtml(const StateView& state) {
    const ShownFolder shown = FolderShown(state);
    std::string html =
        "<div class=\"main\">" + FolderPaneHtml(state, shown) + "<div class=\"items\">";
    for (size_t s = 0; s < state.stores.size(); ++s)
        for (size_t f = 0; f < state.stores[s].folders.size(); ++f)
            html += ItemListHtml(state.stores[s].folders[f], FolderId(s, f),
                                 shown.found && shown.store == s && shown.folder == f);
    html += "</div></div><div class=\"statusbar\">";
    if (shown.found)
        html += Escape(Status(state.stores[shown.store].folders[shown.folder]));
    return html + "</div>";
}

// The window the user looks at: the active explorer, else the first open one.
const ExplorerView* MainExplorer(const StateView& state) {
    const ExplorerView* first = nullptr;
    for (const auto& explorer : state.explorers) {
        if (explorer.open && explorer.active)
            return &explorer;
        if (explorer.open && !first)
            first = &explorer;
    }
    return first;
}

std::string ExplorerHtml(const StateView& state, const ExplorerView& explorer, bool main) {
    if (!explorer.open)
        return "<div class=\"closed\"" + Attribute("data-explorer", std::to_string(explorer.id)) +
               ">Window " + std::to_string(explorer.id) + ", \"" + Escape(explorer.caption) +
               "\", was closed.</div>";
    std::string html = "<div" +
                       Attribute("class", explorer.active ? "explorer active" : "explorer") +
                       Attribute("data-explorer", std::to_string(explorer.id)) + ">";
    html += "<div class=\"titlebar\">" + Escape(explorer.caption) + "</div>";
    html += DockHtml(explorer.bars);
    if (main)
        html += MailHtml(state);
    else
        html +=
            "<div class=\"note\">Its folders and items are those of the window drawn first.</div>";
    return html + "</div>";
}

std::string ProgressHtml(const ProgressView& progress) {
    auto text = [&](int id) {
        auto found = progress.texts.find(id);
        return Escape(found == progress.texts.end() ? "" : found->second);
    };
    std::string html = "<div class=\"dialog progress-window\"" +
                       Attribute("data-shown", YesNo(progress.shown)) + ">";
    html += "<div class=\"titlebar\"><span>" + Escape(progress.title) + "</span><span>" +
            (progress.shown ? "" : "(hidden)") +
            "</span></div><div class=\"content\"><div class=\"counts\">";
    for (int label = 204; label <= 206; ++label)
        html += "<span>" + text(label) + "</span><span class=\"count\"" +
                Attribute("data-id", std::to_string(label + 3)) + ">" + text(label + 3) + "</span>";
    // The bar from the low end of its range; a range of nothing shows empty.
    const int span = std::max(progress.rangeHigh - progress.rangeLow, 0);
    const int done = std::clamp(progress.position - progress.rangeLow, 0, span);
    html += "</div><progress" + Attribute("max", std::to_string(std::max(span, 1))) +
            Attribute("value", std::to_string(done)) +
            Attribute("title", std::to_string(progress.position) + " in " +
                                   std::to_string(progress.rangeLow) + " to " +
                                   std::to_string(progress.rangeHigh)) +
            "></progress></div>";
    html += "<div class=\"buttons\"><button class=\"stop\"" +
            std::string(progress.stopEnabled ? "" : " disabled") + ">" + text(202) +
            "</button><button class=\"close\">" + text(203) + "</button></div></div>";
    return html;
}

// MessageBox's buttons by the low four bits of its type, and its answers.
std::vector<std::pair<const char*, int>> BoxButtons(int type) {
    switch (type & 0xF) {
        case 1:
            return {{"OK", 1}, {"Cancel", 2}};
        case 2:
            return {{"Abort", 3}, {"Retry", 4}, {"Ignore", 5}};
        case 3:
            return {{"Yes", 6}, {"No", 7}, {"Cancel", 2}};
        case 4:
            return {{"Yes", 6}, {"No", 7}};
        case 5:
            return {{"Retry", 4}, {"Cancel", 2}};
        default:
            return {{"OK", 1}};
    }
}

std::string MessageBoxHtml(const MessageBoxView& box) {
    static const std::pair<const char*, const char*> kIcons[] = {
        {"", ""}, {"stop", "&#10006;"}, {"question", "?"}, {"warning", "!"}, {"information", "i"}};
    const int icon = (box.type >> 4) & 0xF;
    std::string html = "<div class=\"dialog messagebox\"><div class=\"titlebar\"><span>" +
                       Escape(box.caption) + "</span></div><div class=\"content\">";
    if (icon >= 1 && icon <= 4)
        html += std::string("<span class=\"icon-box ") + kIcons[icon].first + "\">" +
                kIcons[icon].second + "</span>";
    html +=
        "<div class=\"message-text\">" + Escape(box.text) + "</div></div><div class=\"buttons\">";
    for (const auto& [caption, id] : BoxButtons(box.type))
        html += std::string("<button") +
                (id == box.answer ? " class=\"pressed\" title=\"the answer\"" : "") + ">" +
                caption + "</button>";
    return html + "</div></div>";
}

// The trace log's last lines, each Enter line opening a level that its Exit
// line closes. The levels are counted from the log's first line, so the
// lines shown sit where they sat.
std::string LogHtml(const StateView& state) {
    const size_t first = state.log.size() > kLogLinesShown ? state.log.size() - kLogLinesShown : 0;
    std::string html =
        "<h2>The log: " + Escape(state.logFile) + " (" + std::to_string(state.log.size()) +
        " lines; " +
        (first > 0 ? "the last " + std::to_string(kLogLinesShown) : std::string("all")) +
        " shown)</h2><pre class=\"log\">";
    int depth = 0;
    for (size_t i = 0; i < state.log.size(); ++i) {
        const std::string& line = state.log[i];
        const auto enter = line.find("----> ");
        const auto exit = line.find("<---- ");
        const bool isEnter = enter != std::string::npos && line.ends_with(" - Enter");
        const bool isExit = exit != std::string::npos && line.ends_with(" - Exit");
        if (isExit && depth > 0)
            --depth;
        if (i >= first) {
            const size_t at = isEnter ? enter : isExit ? exit : line.find(' ', line.find(' ') + 1);
            const size_t split = at == std::string::npos ? 0 : std::min(at, line.size());
            html += "<span class=\"logline" +
                    std::string(isEnter  ? " enter"
                                : isExit ? " exit"
                                         : "") +
                    "\"" + Attribute("data-depth", std::to_string(depth)) + ">" +
                    Escape(line.substr(0, split)) +
                    std::string(static_cast<size_t>(depth) * 2, ' ') + Escape(line.substr(split)) +
                    "</span>\n";
        }
        if (isEnter)
            ++depth;
    }
    return html + "</pre>";
}

}  // namespace

std::string StatePage(const StateView& state) {
    std::string body = "<div class=\"run\">Outlook " + Escape(state.outlookVersion) +
                       (state.running ? ", running" : ", not running") + "</div>";
    if (state.crash)
        body += "<div class=\"crash\">Outlook crashed: " + Escape(*state.crash) + "</div>";
    const ExplorerView* main = MainExplorer(state);
    for (const auto& explorer : state.explorers)
        body += ExplorerHtml(state, explorer, &explorer == main);
    if (!main)
        body += "<div class=\"explorer\"><div class=\"titlebar\">No Outlook window is open</div>" +
                MailHtml(state) + "</div>";
    if (state.progress)
        body += "<h2>The progress window</h2>" + ProgressHtml(*state.progress);
    if (!state.messageBoxes.empty()) {
        body += "<h2>Message boxes shown (" + std::to_string(state.messageBoxes.size()) +
                ")</h2><div class=\"messageboxes\">";
        for (const auto& box : state.messageBoxes)
            body += MessageBoxHtml(box);
        body += "</div>";
    }
    body += LogHtml(state);
    const std::string title = main ? main->caption : "Outlook";
    return Document(title + " (olsim)", kStyle, body, kScript);
}

}  // namespace olsim::view
