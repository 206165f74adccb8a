#include "platform/ShellDelete.h"

#include "Common/General/TLogSystem.h"
#include "platform/Win32FileOpProgSink.h"
#include "support/LogHook.h"
#include "support/Wine.h"
#include "tests/pal/ShellTestSupport.h"

#ifndef _WIN32
#include "pal/inc/PalTesting.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <tuple>

namespace fs = std::filesystem;

namespace {

using Calls = std::vector<std::pair<uint32_t, uint32_t>>;

// Deletions in a temporary tree, with the log reaching this executable's outputLogString. Where
// the system's Shell cannot delete (Wine), a removal must fail with one report; the tests are then
// skipped.
class ShellDelete : public testing::Test {
protected:
    void SetUp() override {
        OrvaneLib::logSystem = std::make_shared<OrvaneLib::TLogSystem>();
        OrvaneLib::logSystem->addStrategy(new OrvaneLib::TCurrentProcessLogStrategy("Orvane.dll"));
        OrvaneTest::clearLoggedLines();
        if (OrvaneTest::fileOperationIsStub()) {
            EXPECT_FALSE(remove({at("none")}));
            const auto lines = OrvaneTest::loggedLines();
            EXPECT_TRUE(lines.size() == 1 && lines[0].level == 2);
            GTEST_SKIP() << OrvaneTest::kStubShellReason;
        }
    }

    std::string at(const std::string& relative) const {
        return OrvaneTest::utf8(tree.path(relative));
    }

    bool remove(const std::vector<std::string>& paths) {
        OrvaneLib::TArray<OrvaneLib::TString> list;
        for (const std::string& path : paths) {
            list.add(OrvaneLib::TString(path.c_str()));
        }
        return OrvaneLib::shellDeletePaths(
            list, [this](uint32_t done, uint32_t total) { calls.emplace_back(done, total); });
    }

    // The thread's COM initialisation was given back when a new one is the first again.
    static bool comIsReleased() {
        HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();
        return result == S_OK;
    }

#ifndef _WIN32
    void TearDown() override {
        palClearFaults();
    }
#endif

    OrvaneTest::TTempTree tree;
    Calls calls;
};

// Nothing to delete needs no COM; missing and empty paths are already deleted.
TEST_F(ShellDelete, EmptyListsAndMissingPathsSucceedSilently) {
#ifndef _WIN32
    palInjectFault("CoInitializeEx", E_FAIL, 0, 1);
    EXPECT_TRUE(remove({}));
    palClearFaults();
#endif
    EXPECT_TRUE(remove({at("none"), "", at("none/deeper")}));
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
    EXPECT_TRUE(comIsReleased());
}

// Read-only files go too; a link is deleted, never followed out of the folder. Relative paths
// and both separators reach the Shell.
TEST_F(ShellDelete, DeletesTreesPermanentlyAndReportsDoneBeforeTotal) {
    for (const char* file : {"Game/bin/game.exe", "Game/data/levels/one.dat", "Game/readonly.txt",
                             "single.txt", "Other/y.dat", "outside/keep.txt"}) {
        tree.file(file);
    }
    fs::permissions(tree.path("Game/readonly.txt"), fs::perms::owner_write,
                    fs::perm_options::remove);
    fs::create_directory_symlink(tree.path("outside"), tree.path("Game/link"));
    std::string single = at("single.txt");
    std::replace(single.begin(), single.end(), '/', '\\');
    OrvaneTest::TScopedDirectory inside(tree.root());

    EXPECT_TRUE(remove({"Game", single, "Other\\"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(tree.root()), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::exists(tree.path("outside/keep.txt")));
    const uint32_t total = 11;  // 5 folders, 5 files and the link
    EXPECT_EQ(calls.front(), std::make_pair(0u, total));
    EXPECT_EQ(calls.back(), std::make_pair(total, total));
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
    EXPECT_TRUE(comIsReleased());
}

// A path inside another listed one, or listed twice, would be gone before the Shell reached it
// and fail the operation.
TEST_F(ShellDelete, ListsAreReducedToTheOutermostFolders) {
    tree.file("A/data/x.dat");
    for (auto [first, second] :
         {std::pair{"A", "A/data"}, std::pair{"A/data", "A"}, std::pair{"A", "A"},
          std::pair{"A/", "A/data"}, std::pair{"A", "AB"}}) {
        tree.file("A/data/x.dat");
        tree.file("AB/y.dat");
        EXPECT_TRUE(remove({at(first), at(second)})) << first << " and " << second;
        EXPECT_FALSE(fs::exists(tree.path(second)) || fs::exists(tree.path("A")));
        fs::remove_all(tree.path("AB"));
    }
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
}

TEST_F(ShellDelete, MultiThreadedCallerKeepsItsApartment) {
    tree.file("Game/x.dat");
    std::thread caller([this] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_TRUE(remove({at("Game")}));
        EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        CoUninitialize();
        CoUninitialize();
    });
    caller.join();
    EXPECT_FALSE(fs::exists(tree.path("Game")));
    EXPECT_FALSE(calls.empty());
}

#ifndef _WIN32
TEST_F(ShellDelete, VanishedItemCountsAsDone) {
    tree.file("Game/x.dat");
    palInjectFault("SHCreateShellItemArrayFromIDLists", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), 0,
                   1);
    EXPECT_TRUE(remove({at("Game")}));
    EXPECT_EQ(calls, (Calls{{1, 1}}));
    EXPECT_TRUE(OrvaneTest::loggedLines().empty());
}

// Each failing step is reported once, with its result, and gives false.
using FaultCase = std::tuple<const char*, HRESULT, const char*>;
class ShellDeleteFault : public ShellDelete, public testing::WithParamInterface<FaultCase> {};

TEST_P(ShellDeleteFault, IsReportedOnceAndGivesFalse) {
    auto [function, fault, code] = GetParam();
    tree.file("Game/x.dat");
    palInjectFault(function, fault, 0, 1);
    EXPECT_FALSE(remove({at("Game")}));
    auto lines = OrvaneTest::loggedLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(2, lines[0].level);
    EXPECT_EQ("platform\\ShellDelete.cpp", lines[0].file);
    const std::string ending = std::string(" ") + code + "\n";
    EXPECT_EQ(ending, lines[0].text.substr(lines[0].text.size() - ending.size()));
    EXPECT_TRUE(fs::exists(tree.path("Game/x.dat")));
    EXPECT_TRUE(comIsReleased());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ShellDeleteFault,
    testing::Values(FaultCase{"CoInitializeEx", E_FAIL, "-2147467259"},
                    FaultCase{"CoCreateInstance", REGDB_E_CLASSNOTREG, "-2147221164"},
                    FaultCase{"SetOperationFlags", E_INVALIDARG, "-2147024809"},
                    FaultCase{"ILCreateFromPathW", E_FAIL, "0"},  // the flags' result
                    FaultCase{"SHCreateShellItemArrayFromIDLists", E_OUTOFMEMORY, "-2147024882"},
                    FaultCase{"QISearch", E_NOINTERFACE, "-2147467262"},
                    FaultCase{"DeleteItems", E_FAIL, "-2147467259"},
                    FaultCase{"PerformOperations", E_ACCESSDENIED, "-2147024891"}));
#endif

// The sink answers as its interface and passes progress, done first, until it is dropped.
TEST(Win32FileOpProgSink, AnswersAsItsInterfaceAndPassesProgressDoneFirst) {
    Calls calls;
    auto* sink = new Orvane::Win32FileOpProgSink;
    sink->setProgress([&calls](uint32_t done, uint32_t total) { calls.emplace_back(done, total); });
    void* asSink = nullptr;
    EXPECT_EQ(S_OK, sink->QueryInterface(IID_IFileOperationProgressSink, &asSink));
    EXPECT_EQ(static_cast<IFileOperationProgressSink*>(sink), asSink);
    EXPECT_EQ(S_OK, sink->UpdateProgress(2048, 512));
    sink->dropProgress();
    EXPECT_EQ(S_OK, sink->UpdateProgress(2048, 1024));
    EXPECT_EQ(calls, (Calls{{512, 2048}}));
    EXPECT_EQ(1u, sink->Release());
    EXPECT_EQ(0u, sink->Release());
}

}  // namespace
