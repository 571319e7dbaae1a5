#include "TEventManager.h"
#include "TInstallSummary.h"

#include <gtest/gtest.h>

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
