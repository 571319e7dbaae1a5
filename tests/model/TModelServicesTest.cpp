#include "TEventManager.h"
#include "TInstallSummary.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace {

TEST(InstallSummary, ClonesOutliveTheirSummary)
{
    auto summary = std::make_unique<TInstallSummary>();
    summary->Add(std::make_unique<TInstallSummaryItem>("/in/pack.zip", "Readme.txt",
                                                       "/ut/Help/Readme.txt", false));
    summary->Add(nullptr);
    ASSERT_EQ(summary->GetCount(), 1);
    EXPECT_THROW(summary->GetItem(1), std::out_of_range);
    std::unique_ptr<TInstallSummaryItem> clone = TInstallSummary::Clone(summary->GetItem(0));
    summary.reset();
    EXPECT_EQ(clone->SourceFile, "Readme.txt");
    EXPECT_EQ(clone->TargetFile, "/ut/Help/Readme.txt");
    EXPECT_EQ(TInstallSummary::Clone(nullptr), nullptr);
}

// A run did what it was given when every row was installed, kept or left out by the rules and
// one was done; a row whose outcome nobody set counts as failed.
TEST(InstallSummary, SucceedsOnlyWhenEveryRowWasDoneOrLeftOut)
{
    using enum TInstallOutcome;
    const struct
    {
        QList<std::optional<TInstallOutcome>> Rows; // none: a row made without its outcome
        bool Aborted;
        bool Succeeded;
    } runs[] = {
        {{ioInstalled}, false, true},
        {{ioKept}, false, true},
        {{ioInstalled, ioNoInstall, ioKept}, false, true},
        {{}, false, false},
        {{std::nullopt}, false, false},
        {{ioNoInstall}, false, false},
        {{ioInstalled, ioRefused}, false, false},
        {{ioInstalled, ioFailed}, false, false},
        {{ioInstalled}, true, false},
    };
    for (const auto& run : runs) {
        TInstallSummary summary;
        for (const std::optional<TInstallOutcome>& outcome : run.Rows)
            summary.Add(
                outcome ? std::make_unique<TInstallSummaryItem>("a.zip", "x", "t", false, *outcome)
                        : std::make_unique<TInstallSummaryItem>("a.zip", "x", "t", false));
        summary.SetAborted(run.Aborted);
        EXPECT_EQ(summary.Succeeded(), run.Succeeded) << &run - runs;
    }
}

TEST(EventManager, FindGivesTheFirstHandlerOfTheSameKeyObject)
{
    QObject configuration, maps;
    QStringList calls;
    TEventManager manager;
    manager.Register(&configuration, [&] { calls << "configuration"; });
    manager.Register(&maps, [&] { calls << "maps"; });
    manager.Register(&maps, [&] { calls << "maps again"; });
    manager.Find (&maps)();
    manager.Find (&configuration)();
    EXPECT_EQ(calls, QStringList({"maps", "configuration"}));
    EXPECT_FALSE(manager.Find(nullptr));
}

} // namespace
