#include "TEventManager.h"
#include "TInstallSummary.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(InstallSummary, RowsAreOwnedAndClonesStandAlone)
{
    auto summary = std::make_unique<TInstallSummary>();
    EXPECT_EQ(summary->GetCount(), 0);
    EXPECT_FALSE(summary->Aborted());
    EXPECT_THROW(summary->GetItem(0), std::out_of_range);

    summary->Add(std::make_unique<TInstallSummaryItem>("/in/pack.zip", "Maps\\DM-A.ut2",
                                                       "/ut/Maps/DM-A.ut2", true));
    summary->Add(nullptr);
    summary->Add(std::make_unique<TInstallSummaryItem>("/in/pack.zip", "Readme.txt",
                                                       "/ut/Help/Readme.txt", false));
    ASSERT_EQ(summary->GetCount(), 2);
    const TInstallSummaryItem* first = summary->GetItem(0);
    EXPECT_EQ(first->SourceArchive, "/in/pack.zip");
    EXPECT_EQ(first->SourceFile, "Maps\\DM-A.ut2");
    EXPECT_EQ(first->TargetFile, "/ut/Maps/DM-A.ut2");
    EXPECT_TRUE(first->Installed);
    EXPECT_FALSE(summary->GetItem(1)->Installed);
    EXPECT_THROW(summary->GetItem(2), std::out_of_range);
    EXPECT_THROW(summary->GetItem(-1), std::out_of_range);

    EXPECT_EQ(TInstallSummary::Clone(nullptr), nullptr);
    std::unique_ptr<TInstallSummaryItem> clone = TInstallSummary::Clone(summary->GetItem(1));
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone.get(), summary->GetItem(1));
    summary.reset();
    EXPECT_EQ(clone->SourceArchive, "/in/pack.zip");
    EXPECT_EQ(clone->SourceFile, "Readme.txt");
    EXPECT_EQ(clone->TargetFile, "/ut/Help/Readme.txt");
    EXPECT_FALSE(clone->Installed);

    TInstallSummary merged;
    merged.Add(std::move(clone));
    merged.SetAborted(true);
    EXPECT_EQ(merged.GetCount(), 1);
    EXPECT_TRUE(merged.Aborted());
}

TEST(EventManager, FindGivesTheFirstHandlerOfTheSameKeyObject)
{
    QObject configuration;
    QObject maps;
    QObject iniEditor;
    QStringList calls;
    TEventManager manager;
    EXPECT_FALSE(manager.Find(&configuration));

    manager.Register(&configuration, [&] { calls << "configuration"; });
    manager.Register(&maps, [&] { calls << "maps"; });
    manager.Register(&maps, [&] { calls << "maps again"; });
    manager.Add(nullptr);
    ASSERT_EQ(manager.GetCount(), 3);
    EXPECT_EQ(manager.GetItem(1)->Key(), &maps);
    EXPECT_THROW(manager.GetItem(3), std::out_of_range);

    const TEventMethod handler = manager.Find(&maps);
    ASSERT_TRUE(handler);
    handler();
    manager.Find (&configuration)();
    EXPECT_EQ(calls, QStringList({"maps", "configuration"}));
    EXPECT_FALSE(manager.Find(&iniEditor));
    EXPECT_FALSE(manager.Find(nullptr));
}

} // namespace
