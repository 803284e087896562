// Explorer tracking without the add-in object: the explorers Outlook's
// stand-in opens, activates and closes, followed through their wrappers, with
// a small owner in the add-in's place.
#include "toolbar/explorer_tracking.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <mailstore/model.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "toolbar/outlook_explorers.h"

namespace {

// The add-in's part, as the tracker sees it; records what it was asked.
class RecordingOwner : public CExplorerTrackerOwner {
  public:
    bool IsStarted() const override { return started; }
    void StartDeferred(Outlook::_Explorer* explorer) override {
        deferredStarts.emplace_back(explorer);
    }
    bool WatchFirstExplorer(Outlook::_Explorer* explorer) override {
        watched = explorer;
        return watchAnswer;
    }
    void UnwatchFirstExplorer(Outlook::_Explorer* explorer) override { unwatched = explorer; }
    void SetUpToolbar(CToolbarRecord& record) override { setUp.emplace_back(record.explorer); }
    void SaveFirstToolbarPosition() override { ++positionsSaved; }

    bool started = true;
    bool watchAnswer = true;
    std::vector<CComPtr<Outlook::_Explorer>> deferredStarts;
    CComPtr<Outlook::_Explorer> watched;
    CComPtr<Outlook::_Explorer> unwatched;
    std::vector<CComPtr<Outlook::_Explorer>> setUp;
    int positionsSaved = 0;
};

class ExplorerTrackingTest : public OutlookExplorers {
  protected:
    void ReleaseObjects() override { tracker_.reset(); }

    // Opens an explorer and tells the tracker, as NewExplorer does.
    int OpenTracked(const std::wstring& caption) {
        const int id = host_->OpenExplorer(caption);
        tracker_->OnNewExplorer(Active());
        return id;
    }
    // Each change of the count: who logged it, and the new count.
    static std::vector<std::string> CountLines() {
        std::vector<std::string> counts;
        for (const std::string& line : LogLines())
            if (line.find("Total explorers: ") != std::string::npos)
                counts.push_back(line.substr(0, line.find(' ')) + " " +
                                 line.substr(line.rfind(' ') + 1));
        return counts;
    }

    RecordingOwner owner_;
    std::unique_ptr<CExplorerTracker> tracker_ = std::make_unique<CExplorerTracker>(owner_);
};

}  // namespace

TEST_F(ExplorerTrackingTest, ANewExplorerGetsOneBarWhicheverEventComesFirstAndAgain) {
    const int second = OpenTracked(L"Inbox - Second");
    EXPECT_TRUE(tracker_->Records().empty());
    ASSERT_TRUE(host_->ChangeSelection(second));
    ASSERT_EQ(tracker_->Records().size(), 1u);
    EXPECT_EQ(tracker_->Records().back().explorer, Active());
    ASSERT_TRUE(host_->ActivateExplorer(second));
    ASSERT_TRUE(host_->ChangeSelection(second));
    EXPECT_EQ(tracker_->Records().size(), 1u);
    // The bar is set up once, for the record appended.
    ASSERT_EQ(owner_.setUp.size(), 1u);
    EXPECT_EQ(owner_.setUp.front(), Active());
    EXPECT_EQ(tracker_->ExplorerCount(), 1);

    // Closed, it counts down; its record stays, its wrapper hears no more.
    ASSERT_TRUE(host_->CloseExplorer(second));
    EXPECT_EQ(tracker_->ExplorerCount(), 0);
    EXPECT_EQ(tracker_->Records().size(), 1u);
    EXPECT_EQ(CountLines(), (std::vector<std::string>{"CConnect::AddToolbar 1",
                                                      "CConnect::RemoveExplorerWrapper 0"}));
    EXPECT_TRUE(owner_.deferredStarts.empty());
}

TEST_F(ExplorerTrackingTest, BeforeStartUpTheFirstActivationRunsTheStartUpThatWaited) {
    owner_.started = false;
    const int first = OpenTracked(L"Inbox - Outlook");
    ASSERT_TRUE(host_->ActivateExplorer(first));
    ASSERT_EQ(owner_.deferredStarts.size(), 1u);
    EXPECT_EQ(owner_.deferredStarts.front(), Active());
    EXPECT_TRUE(tracker_->Records().empty());
    // The wrapper's part is done: a later activation starts nothing again.
    ASSERT_TRUE(host_->ActivateExplorer(first));
    EXPECT_EQ(owner_.deferredStarts.size(), 1u);
    // An explorer closed before it was ever activated still counts down.
    const int behind = OpenTracked(L"Calendar");
    ASSERT_TRUE(host_->CloseExplorer(behind));
    EXPECT_EQ(tracker_->ExplorerCount(), 0);
}

TEST_F(ExplorerTrackingTest, OnlyTheActiveExplorerTakenAtStartUpIsCountedAndWatched) {
    tracker_->TakeFirstExplorer(nullptr, nullptr);  // no Outlook to ask: counted, not watched
    EXPECT_EQ(tracker_->ExplorerCount(), 1);
    EXPECT_EQ(owner_.watched, nullptr);
    const auto lines = LogLines();
    for (const char* expected : {"CConnect::InitHandler - Could not get active explorer",
                                 "CConnect::InitHandler - Could not advise first explorer"})
        EXPECT_EQ(std::count(lines.begin(), lines.end(), expected), 1) << expected;

    host_->OpenExplorer(L"Inbox - Outlook");
    tracker_->TakeFirstExplorer(Active(), application_);  // given: neither counted nor watched
    EXPECT_EQ(tracker_->ExplorerCount(), 1);
    EXPECT_EQ(owner_.watched, nullptr);
    tracker_->OnFirstExplorerClose();
    tracker_->TakeFirstExplorer(nullptr, application_);  // the only one again: watched
    ASSERT_EQ(tracker_->Records().size(), 1u);
    EXPECT_EQ(tracker_->Records().front().explorer, Active());
    EXPECT_EQ(owner_.watched, Active());

    tracker_->OnFirstExplorerClose();
    EXPECT_EQ(owner_.positionsSaved, 2);  // each closing of the first explorer saves its bar
    EXPECT_EQ(owner_.unwatched, owner_.watched);
    EXPECT_EQ(tracker_->Records().front().explorer, nullptr);
    EXPECT_EQ(tracker_->ExplorerCount(), 0);
}

TEST_F(ExplorerTrackingTest, MessageBoxesBelongToTheActiveExplorersFrame) {
    EXPECT_EQ(GetActiveExplorerWindow(nullptr), nullptr);
    EXPECT_EQ(GetActiveExplorerWindow(application_), nullptr);
    host_->OpenExplorer(L"Inbox - Outlook");
    const int second = host_->OpenExplorer(L"Calendar");
    const HWND frame = GetActiveExplorerWindow(application_);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame, host_->Explorers()[1].frame);
    ASSERT_TRUE(host_->CloseExplorer(second));
    EXPECT_EQ(GetActiveExplorerWindow(application_), host_->Explorers()[0].frame);
}
