// Removing marked files after a real search: each marked file is checked, just before it moves,
// against the files of its set that stay.
#include <gtest/gtest.h>

#include <QWidget>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/Catalogue.h"
#include "results/DeleteMarked.h"
#include "results/ListControlMem.h"
#include "results/ResultsView.h"
#include "tests/engine/EngineFixture.h"
#include "tests/widgets/QtTestEnvironment.h"

using namespace quillon::test;

namespace {

class DeleteMarkedTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        m_oldData = std::getenv("XDG_DATA_HOME");
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    }
    void TearDown() override
    {
        setenv("XDG_DATA_HOME", m_oldData.c_str(), 1);
        EngineTest::TearDown();
    }

    // Searches the tree, marks the files named (relative to it) in the results, lets
    // `sinceTheSearch` change the disk, then moves the marked files. The end message.
    QString SearchMarkAndDelete(const std::set<std::string>& marked, const std::function<void()>& sinceTheSearch)
    {
        ResetCatalogue();
        Search({Tree()});
        QWidget parent;
        CListControlMem list{&parent};
        for (int column = 0; column < 3; ++column)
            list.InsertColumn(column, QStringLiteral("column"), LVCFMT_LEFT, 100);
        CResultsView view{list, g_duplicates};
        view.Fill();
        for (int row = 0; row < view.RowCount(); ++row) {
            for (const int column : {CResultsView::kOriginalColumn, CResultsView::kDuplicateColumn}) {
                const CPathString& path = column == 0 ? view.Row(row).originalPath : view.Row(row).duplicatePath;
                if (marked.count(EncodeNativeName(path.view()).substr(Tree().size() + 1)))
                    view.SetMark(row, column, CResultsView::kMarked);
            }
        }
        std::vector<CPathString> paths;
        MarkedPathSet set;
        view.CollectMarkedFiles(paths, set);
        EXPECT_EQ(paths.size(), marked.size());
        CDeleteMarked plan(view, paths, g_fileList);
        sinceTheSearch();
        CTrashCan trash;
        return plan.ReportText(plan.MoveAll(trash));
    }

    std::string Tree() const { return dir / "tree"; }
    bool Exists(const std::string& relative) const { return ::access((dir / "tree/" + relative).c_str(), F_OK) == 0; }

    std::string m_oldData;
};

}  // namespace

TEST_F(DeleteMarkedTest, AMarkedFileStaysWhenTheCopyLeftBehindWasDeletedOrChangedBetweenTheSearchAndTheDelete)
{
    const std::string content(5000, 'x');
    const struct {
        const char* what;
        std::set<std::string> marked;
        std::function<void(const std::string& tree)> sinceTheSearch;
        std::set<std::string> kept;  // of 1/x, 2/x, 3/y, 4/y
        const char* report;          // the lines about the files kept ("<tree>" stands for the tree)
    } cases[] = {
        {"nothing changed", {"2/x", "4/y"}, [](const std::string&) {}, {"1/x", "3/y"}, ""},
        {"a copy deleted",
         {"2/x", "4/y"},
         [](const std::string& tree) { ::unlink((tree + "/1/x").c_str()); },
         {"2/x", "3/y"},
         "<tree>/2/x: its copy \"<tree>/1/x\" no longer exists"},
        {"a copy changed: same size, other bytes",
         {"2/x", "4/y"},
         [&](const std::string& tree) {
             WriteFile(tree + "/3/y", std::string(5000, 'Y'));
             SetMtime(tree + "/3/y", 1000000);
         },
         {"1/x", "3/y", "4/y"},
         "<tree>/4/y: its copy \"<tree>/3/y\" changed since the search"},
        {"every file of a set marked: moved as confirmed, with no copy to compare",
         {"1/x", "2/x"},
         [](const std::string&) {},
         {"3/y", "4/y"},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(Tree());
        WriteFile(Tree() + "/1/x", content);
        WriteFile(Tree() + "/2/x", content);
        WriteFile(Tree() + "/3/y", std::string(5000, 'y'));
        WriteFile(Tree() + "/4/y", std::string(5000, 'y'));
        const QString report = SearchMarkAndDelete(c.marked, [&] { c.sinceTheSearch(Tree()); });
        std::set<std::string> kept;
        for (const char* name : {"1/x", "2/x", "3/y", "4/y"}) {
            if (Exists(name))
                kept.insert(name);
        }
        EXPECT_EQ(kept, c.kept);
        QString expected = QString::fromUtf8(c.report);
        expected.replace(QStringLiteral("<tree>"), QString::fromStdString(Tree()));
        if (expected.isEmpty())
            EXPECT_TRUE(report.isEmpty()) << report.toStdString();
        else
            EXPECT_TRUE(report.endsWith(QStringLiteral("\n\n") + expected)) << report.toStdString();
    }
}
