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
    void ReleaseObjects() override { m_tracker.reset(); }

    // Opens an explorer and tells the tracker, as NewExplorer does.
    int OpenTracked(const std::wstring& caption) {
        const int id = m_host->OpenExplorer(caption);
        m_tracker->OnNewExplorer(Active());
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

    RecordingOwner m_owner;
    std::unique_ptr<CExplorerTracker> m_tracker = std::make_unique<CExplorerTracker>(m_owner);
};

}  // namespace

TEST_F(ExplorerTrackingTest, ANewExplorerGetsOneBarWhicheverEventComesFirstAndAgain) {
    const int second = OpenTracked(L"Inbox - Second");
    EXPECT_TRUE(m_tracker->Records().empty());
    ASSERT_TRUE(m_host->ChangeSelection(second));
    ASSERT_EQ(m_tracker->Records().size(), 1u);
    EXPECT_EQ(m_tracker->Records().back().explorer, Active());
    ASSERT_TRUE(m_host->ActivateExplorer(second));
    ASSERT_TRUE(m_host->ChangeSelection(second));
    EXPECT_EQ(m_tracker->Records().size(), 1u);
    // The bar is set up once, for the record appended.
    ASSERT_EQ(m_owner.setUp.size(), 1u);
    EXPECT_EQ(m_owner.setUp.front(), Active());
    EXPECT_EQ(m_tracker->ExplorerCount(), 1);

    // Closed, it counts down; its record stays, its wrapper hears no more.
    ASSERT_TRUE(m_host->CloseExplorer(second));
    EXPECT_EQ(m_tracker->ExplorerCount(), 0);
    EXPECT_EQ(m_tracker->Records().size(), 1u);
    EXPECT_EQ(CountLines(), (std::vector<std::string>{"CConnect::AddToolbar 1",
                                                      "CConnect::RemoveExplorerWrapper 0"}));
    EXPECT_TRUE(m_owner.deferredStarts.empty());
}

TEST_F(ExplorerTrackingTest, BeforeStartUpTheFirstActivationRunsTheStartUpThatWaited) {
    m_owner.started = false;
    const int first = OpenTracked(L"Inbox - Outlook");
    ASSERT_TRUE(m_host->ActivateExplorer(first));
    ASSERT_EQ(m_owner.deferredStarts.size(), 1u);
    EXPECT_EQ(m_owner.deferredStarts.front(), Active());
    EXPECT_TRUE(m_tracker->Records().empty());
    // The wrapper's part is done: a later activation starts nothing again.
    ASSERT_TRUE(m_host->ActivateExplorer(first));
    EXPECT_EQ(m_owner.deferredStarts.size(), 1u);
    // An explorer closed before it was ever activated still counts down.
    const int behind = OpenTracked(L"Calendar");
    ASSERT_TRUE(m_host->CloseExplorer(behind));
    EXPECT_EQ(m_tracker->ExplorerCount(), 0);
}

TEST_F(ExplorerTrackingTest, OnlyTheActiveExplorerTakenAtStartUpIsCountedAndWatched) {
    m_tracker->TakeFirstExplorer(nullptr, nullptr);  // no Outlook to ask: counted, not watched
    EXPECT_EQ(m_tracker->ExplorerCount(), 1);
    EXPECT_EQ(m_owner.watched, nullptr);
    const auto lines = LogLines();
    for (const char* expected : {"CConnect::InitHandler - Could not get active explorer",
                                 "CConnect::InitHandler - Could not advise first explorer"})
        EXPECT_EQ(std::count(lines.begin(), lines.end(), expected), 1) << expected;

    m_host->OpenExplorer(L"Inbox - Outlook");
    m_tracker->TakeFirstExplorer(Active(), m_application);  // given: neither counted nor watched
    EXPECT_EQ(m_tracker->ExplorerCount(), 1);
    EXPECT_EQ(m_owner.watched, nullptr);
    m_tracker->OnFirstExplorerClose();
    m_tracker->TakeFirstExplorer(nullptr, m_application);  // the only one again: watched
    ASSERT_EQ(m_tracker->Records().size(), 1u);
    EXPECT_EQ(m_tracker->Records().front().explorer, Active());
    EXPECT_EQ(m_owner.watched, Active());

    m_tracker->OnFirstExplorerClose();
    EXPECT_EQ(m_owner.positionsSaved, 2);  // each closing of the first explorer saves its bar
    EXPECT_EQ(m_owner.unwatched, m_owner.watched);
    EXPECT_EQ(m_tracker->Records().front().explorer, nullptr);
    EXPECT_EQ(m_tracker->ExplorerCount(), 0);
}

TEST_F(ExplorerTrackingTest, MessageBoxesBelongToTheActiveExplorersFrame) {
    EXPECT_EQ(GetActiveExplorerWindow(nullptr), nullptr);
    EXPECT_EQ(GetActiveExplorerWindow(m_application), nullptr);
    m_host->OpenExplorer(L"Inbox - Outlook");
    const int second = m_host->OpenExplorer(L"Calendar");
    const HWND frame = GetActiveExplorerWindow(m_application);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame, m_host->Explorers()[1].frame);
    ASSERT_TRUE(m_host->CloseExplorer(second));
    EXPECT_EQ(GetActiveExplorerWindow(m_application), m_host->Explorers()[0].frame);
}
