// COM apartments, item lists and the Shell's file operation: real deletions of temporary trees.
#include "pal/PalTesting.h"
#include "tests/pal/ShellTestSupport.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace OrvaneTest;
namespace fs = std::filesystem;

namespace {

constexpr DWORD libraryFlags = FOF_NO_UI | FOFX_SHOWELEVATIONPROMPT | FOFX_EARLYFAILURE;
constexpr DWORD keepGoingFlags = FOF_NO_UI;
constexpr DWORD defaultFlags = 0xFFFFFFFF;  // SetOperationFlags is not called

// Releases a COM object at the end of its scope.
struct TRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using TComRef = std::unique_ptr<Interface, TRelease>;

std::string hex(HRESULT value) {
    char text[9];
    snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

// Records what the file operation tells it, and on which thread.
class TRecordingSink final : public IFileOperationProgressSink {
public:
    std::vector<std::string> events;
    std::vector<std::thread::id> threads;
    HRESULT preDeleteAnswer = S_OK;
    ULONG references = 1;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        static const QITAB table[] = {{&IID_IFileOperationProgressSink,
                                       OFFSETOFCLASS(IFileOperationProgressSink, TRecordingSink)},
                                      {nullptr, 0}};
        return QISearch(this, table, riid, ppv);
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
    HRESULT StartOperations() override { return record("start"); }
    HRESULT FinishOperations(HRESULT result) override { return record("finish " + hex(result)); }
    HRESULT PreDeleteItem(DWORD, IShellItem* item) override {
        record("pre " + name(item));
        return preDeleteAnswer;
    }
    HRESULT PostDeleteItem(DWORD, IShellItem* item, HRESULT result, IShellItem*) override {
        return record("post " + name(item) + " " + hex(result));
    }
    HRESULT UpdateProgress(UINT total, UINT soFar) override {
        return record("progress " + std::to_string(soFar) + "/" + std::to_string(total));
    }
    HRESULT PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
        return E_NOTIMPL;
    }
    HRESULT PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
        return E_NOTIMPL;
    }
    HRESULT PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
        return E_NOTIMPL;
    }
    HRESULT PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT,
                        IShellItem*) override {
        return E_NOTIMPL;
    }
    HRESULT ResetTimer() override { return E_NOTIMPL; }
    HRESULT PauseTimer() override { return E_NOTIMPL; }
    HRESULT ResumeTimer() override { return E_NOTIMPL; }

private:
    HRESULT record(std::string event) {
        events.push_back(std::move(event));
        threads.push_back(std::this_thread::get_id());
        return S_OK;
    }
    static std::string name(IShellItem* item) {
        LPWSTR text = nullptr;
        EXPECT_EQ(S_OK, item->GetDisplayName(SIGDN_NORMALDISPLAY, &text));
        const std::string result = narrow(text);
        CoTaskMemFree(text);
        return result;
    }
};

// Marks a file immutable while alive, so that even root can not delete it; false where the file
// system or the privileges do not allow it.
class TImmutableFile {
public:
    explicit TImmutableFile(const fs::path& file) : file_(file) { applied_ = set(true); }
    ~TImmutableFile() {
        if (applied_) {
            set(false);
        }
    }
    bool applied() const { return applied_; }

private:
    bool set(bool immutable) {
        const int descriptor = open(file_.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        bool done = descriptor >= 0 && ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
        flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
        if (descriptor >= 0) {
            close(descriptor);
        }
        return done;
    }
    fs::path file_;
    bool applied_ = false;
};

class ShellTest : public ::testing::Test {
protected:
    TTempTree tree;
    TTempTree outside;
    TScopedEnvironment driveC{"ORVANE_PAL_DRIVE_C", tree.root().string()};
    TRecordingSink sink;

    void SetUp() override {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    }
    void TearDown() override {
        CoUninitialize();
        palClearFaults();
    }

    static TComRef<IShellItemArray> itemsFor(const std::vector<std::u16string>& paths) {
        std::vector<PIDLIST_ABSOLUTE> lists;
        for (const std::u16string& path : paths) {
            lists.push_back(ILCreateFromPathW(path.c_str()));
            EXPECT_NE(nullptr, lists.back()) << narrow(path);
        }
        IShellItemArray* items = nullptr;
        EXPECT_EQ(S_OK,
                  SHCreateShellItemArrayFromIDLists(UINT(lists.size()), lists.data(), &items));
        for (PIDLIST_ABSOLUTE list : lists) {
            ILFree(list);
        }
        return TComRef<IShellItemArray>(items);
    }

    static TComRef<IFileOperation> newOperation() {
        IFileOperation* operation = nullptr;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL,
                                         IID_IFileOperation, reinterpret_cast<void**>(&operation)));
        return TComRef<IFileOperation>(operation);
    }

    // Deletes the paths as the library does; the result of PerformOperations.
    HRESULT remove(const std::vector<std::u16string>& paths, DWORD flags = libraryFlags,
                   BOOL* aborted = nullptr) {
        TComRef<IFileOperation> operation = newOperation();
        if (flags != defaultFlags) {
            EXPECT_EQ(S_OK, operation->SetOperationFlags(flags));
        }
        DWORD cookie = 0;
        EXPECT_EQ(S_OK, operation->Advise(&sink, &cookie));
        EXPECT_EQ(S_OK, operation->DeleteItems(itemsFor(paths).get()));
        const HRESULT result = operation->PerformOperations();
        if (aborted != nullptr) {
            EXPECT_EQ(S_OK, operation->GetAnyOperationsAborted(aborted));
        }
        return result;
    }
};

TEST(ComApartmentTest, ModelsAreCountedPerThread) {
    std::thread([] {
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        EXPECT_EQ(S_FALSE,
                  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
        EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        std::thread([] {
            EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
            CoUninitialize();
        }).join();
        CoUninitialize();
        EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        CoUninitialize();
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        CoUninitialize();
    }).join();
}

TEST_F(ShellTest, CreationChecksThreadClassContextAndInterface) {
    std::thread([] {
        void* object = &object;
        EXPECT_EQ(CO_E_NOTINITIALIZED, CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL,
                                                        IID_IFileOperation, &object));
        EXPECT_EQ(nullptr, object);
    }).join();
    const struct {
        const CLSID& type;
        IUnknown* outer;
        DWORD context;
        const IID& interface;
        HRESULT result;
    } cases[] = {
        {CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_IFileOperation, S_OK},
        {CLSID_FileOperation, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, S_OK},
        {IID_IFileOperation, nullptr, CLSCTX_ALL, IID_IFileOperation, REGDB_E_CLASSNOTREG},
        {CLSID_FileOperation, nullptr, CLSCTX_LOCAL_SERVER, IID_IFileOperation,
         REGDB_E_CLASSNOTREG},
        {CLSID_FileOperation, &sink, CLSCTX_ALL, IID_IFileOperation, CLASS_E_NOAGGREGATION},
        {CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_IShellItem, E_NOINTERFACE},
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(hex(example.result));
        void* object = &object;
        EXPECT_EQ(example.result, CoCreateInstance(example.type, example.outer, example.context,
                                                   example.interface, &object));
        if (SUCCEEDED(example.result)) {
            EXPECT_EQ(0u, static_cast<IUnknown*>(object)->Release());
        } else {
            EXPECT_EQ(nullptr, object);
        }
    }
}

TEST_F(ShellTest, ReferencesComeBackExactly) {
    tree.file("a.txt");
    TComRef<IFileOperation> operation = newOperation();
    ASSERT_EQ(S_OK, operation->SetOperationFlags(libraryFlags));
    EXPECT_EQ(2u, operation->AddRef());
    EXPECT_EQ(1u, operation->Release());

    DWORD first = 0, second = 0;
    ASSERT_EQ(S_OK, operation->Advise(&sink, &first));
    ASSERT_EQ(S_OK, operation->Advise(&sink, &second));
    EXPECT_EQ(3u, sink.references);
    EXPECT_EQ(S_OK, operation->Unadvise(first));
    EXPECT_EQ(E_INVALIDARG, operation->Unadvise(first));
    EXPECT_EQ(2u, sink.references);

    TComRef<IShellItemArray> items = itemsFor({u"C:\\a.txt"});
    IShellItem* item = nullptr;
    ASSERT_EQ(S_OK, items->GetItemAt(0, &item));
    ASSERT_EQ(S_OK, operation->DeleteItems(items.get()));
    ASSERT_EQ(S_OK, operation->PerformOperations());
    operation.reset();
    EXPECT_EQ(1u, sink.references);
    EXPECT_EQ(2u, items->AddRef());
    EXPECT_EQ(1u, items->Release());
    EXPECT_EQ(3u, item->AddRef());  // held by the array, by this test, and this call
    EXPECT_EQ(2u, item->Release());
    EXPECT_EQ(1u, item->Release());
}

TEST_F(ShellTest, QISearchAnswersFromItsTableWithOffsets) {
    struct TPair {
        TRecordingSink first;
        TRecordingSink second;
    } pair;
    const auto secondOffset =
        DWORD(reinterpret_cast<char*>(&pair.second) - reinterpret_cast<char*>(&pair));
    const QITAB table[] = {
        {&IID_IFileOperationProgressSink, 0}, {&IID_IShellItem, secondOffset}, {nullptr, 0}};
    void* found = nullptr;
    EXPECT_EQ(S_OK, QISearch(&pair, table, IID_IUnknown, &found));
    EXPECT_EQ(&pair.first, found);
    EXPECT_EQ(S_OK, QISearch(&pair, table, IID_IShellItem, &found));
    EXPECT_EQ(&pair.second, found);
    EXPECT_EQ(2u, pair.first.references);
    EXPECT_EQ(2u, pair.second.references);
    EXPECT_EQ(E_NOINTERFACE, QISearch(&pair, table, IID_IShellItemArray, &found));
    EXPECT_EQ(nullptr, found);
    EXPECT_EQ(E_POINTER, QISearch(&pair, table, IID_IUnknown, nullptr));
}

TEST_F(ShellTest, ItemListsNeedAnAbsolutePathThatExists) {
    tree.file("dir/file.txt");
    tree.file("gone.txt");
    TScopedDirectory inside(tree.root());
    EXPECT_EQ(nullptr, ILCreateFromPathW(u"C:\\dir\\missing.txt"));
    EXPECT_EQ(nullptr, ILCreateFromPathW(u"dir\\file.txt"));

    TComRef<IShellItemArray> items = itemsFor({u"C:/dir/file.txt"});
    DWORD count = 0;
    EXPECT_EQ(S_OK, items->GetCount(&count));
    EXPECT_EQ(1u, count);
    IShellItem* item = nullptr;
    EXPECT_EQ(E_INVALIDARG, items->GetItemAt(1, &item));
    ASSERT_EQ(S_OK, items->GetItemAt(0, &item));
    TComRef<IShellItem> held(item);
    LPWSTR name = nullptr;
    ASSERT_EQ(S_OK, item->GetDisplayName(SIGDN_FILESYSPATH, &name));
    EXPECT_EQ(u"C:\\dir\\file.txt", std::u16string(name));
    CoTaskMemFree(name);

    PIDLIST_ABSOLUTE vanishing = ILCreateFromPathW(u"C:\\gone.txt");
    ASSERT_NE(nullptr, vanishing);
    fs::remove(tree.path("gone.txt"));
    IShellItemArray* array = &*items;
    EXPECT_EQ(HRESULT(0x80070002), SHCreateShellItemArrayFromIDLists(1, &vanishing, &array));
    EXPECT_EQ(nullptr, array);
    ILFree(vanishing);
}

TEST_F(ShellTest, DeletesTreesPermanentlyWithoutFollowingLinks) {
    outside.file("keep/keep.txt", "precious");
    tree.file("game/bin/app.exe");
    tree.file("game/data/deep/nested/level.dat");
    tree.file("game/readonly.txt");
    fs::permissions(tree.path("game/readonly.txt"), fs::perms::owner_read);
    tree.file("game/lockedFolder/inside.txt");
    fs::permissions(tree.path("game/lockedFolder"), fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_directory_symlink(outside.path("keep"), tree.path("game/linkToFolder"));
    fs::create_symlink(outside.path("keep/keep.txt"), tree.path("game/data/linkToFile"));
    fs::create_symlink(tree.path("nowhere"), tree.path("game/dangling"));
    tree.file("save/slot1.sav");
    fs::create_directory_symlink(outside.path("keep"), tree.path("folderLinkItem"));

    EXPECT_EQ(S_OK, remove({u"C:\\game", u"C:\\save", u"C:\\folderLinkItem"}));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree.path("game"))));
    EXPECT_FALSE(fs::exists(tree.path("save")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(tree.path("folderLinkItem"))));
    std::string content;
    std::ifstream(outside.path("keep/keep.txt")) >> content;
    EXPECT_EQ("precious", content);
}

TEST_F(ShellTest, SinkHearsEveryStepInOrderOnTheCallingThread) {
    tree.file("a/one.txt");
    tree.file("a/two.txt");
    tree.file("b.txt");
    EXPECT_EQ(S_OK, remove({u"C:\\a", u"C:\\b.txt"}));
    const std::vector<std::string> expected = {
        "start",        "progress 0/4",        "pre a",           "progress 1/4",
        "progress 2/4", "progress 3/4",        "post a 00000000", "pre b.txt",
        "progress 4/4", "post b.txt 00000000", "finish 00000000"};
    EXPECT_EQ(expected, sink.events);
    for (const std::thread::id& thread : sink.threads) {
        EXPECT_EQ(std::this_thread::get_id(), thread);
    }
}

TEST_F(ShellTest, EarlyFailureStopsAtTheFirstObjectThatStays) {
    const struct {
        DWORD flags;
        bool laterItemDeleted;
    } cases[] = {{libraryFlags, false}, {keepGoingFlags, true}};
    for (const auto& example : cases) {
        SCOPED_TRACE(example.flags);
        sink.events.clear();
        tree.file("a/x.txt");
        tree.file("b/after.txt");
        TImmutableFile stuck(tree.file("b/stuck.txt"));
        tree.file("c/y.txt");
        if (!stuck.applied()) {
            GTEST_SKIP() << "this file system can not mark a file immutable";
        }
        BOOL aborted = FALSE;
        EXPECT_EQ(E_ACCESSDENIED, remove({u"C:\\a", u"C:\\b", u"C:\\c"}, example.flags, &aborted));
        EXPECT_TRUE(aborted);
        EXPECT_FALSE(fs::exists(tree.path("a")));
        EXPECT_FALSE(fs::exists(tree.path("b/after.txt")));
        EXPECT_TRUE(fs::exists(tree.path("b/stuck.txt")));
        EXPECT_NE(example.laterItemDeleted, fs::exists(tree.path("c/y.txt")));
        EXPECT_EQ("finish 80070005", sink.events.back());
        const bool laterItemSeen =
            std::find(sink.events.begin(), sink.events.end(), "pre c") != sink.events.end();
        EXPECT_EQ(example.laterItemDeleted, laterItemSeen);
    }
}

TEST_F(ShellTest, RefusesToRecycleOrToDeleteADriveRoot) {
    tree.file("keep.txt");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED), remove({u"C:\\keep.txt"}, defaultFlags));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED),
              remove({u"C:\\keep.txt"}, keepGoingFlags | FOFX_RECYCLEONDELETE));
    EXPECT_EQ(E_ACCESSDENIED, remove({u"C:\\"}));
    EXPECT_EQ(E_ACCESSDENIED, remove({u"C:\\keep.txt\\..\\"}));
    EXPECT_TRUE(fs::exists(tree.path("keep.txt")));
}

TEST_F(ShellTest, FailingPreDeleteCancelsTheRest) {
    tree.file("a.txt");
    tree.file("b.txt");
    sink.preDeleteAnswer = E_ABORT;
    BOOL aborted = FALSE;
    EXPECT_EQ(COPYENGINE_E_USER_CANCELLED,
              remove({u"C:\\a.txt", u"C:\\b.txt"}, libraryFlags, &aborted));
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(fs::exists(tree.path("a.txt")));
    EXPECT_TRUE(fs::exists(tree.path("b.txt")));
}

TEST_F(ShellTest, NothingQueuedMeansNothingDone) {
    TComRef<IFileOperation> operation = newOperation();
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, operation->Advise(&sink, &cookie));
    EXPECT_EQ(S_OK, operation->PerformOperations());
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(ShellTest, InjectedFaultsFailTheNamedCall) {
    tree.file("a.txt");
    const HRESULT injected = E_FAIL;
    const std::pair<const char*, std::function<HRESULT(IFileOperation*, IShellItemArray*)>>
        cases[] = {
            {"CoInitializeEx",
             [](auto, auto) { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }},
            {"CoCreateInstance",
             [](auto, auto) {
                 void* object = nullptr;
                 return CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL,
                                         IID_IFileOperation, &object);
             }},
            {"SetOperationFlags",
             [](IFileOperation* operation, auto) { return operation->SetOperationFlags(0); }},
            {"Advise",
             [this](IFileOperation* operation, auto) {
                 DWORD cookie = 0;
                 return operation->Advise(&sink, &cookie);
             }},
            {"DeleteItems", [](IFileOperation* operation,
                               IShellItemArray* items) { return operation->DeleteItems(items); }},
            {"PerformOperations",
             [](IFileOperation* operation, auto) { return operation->PerformOperations(); }},
            {"SHCreateShellItemArrayFromIDLists",
             [](auto, auto) {
                 PIDLIST_ABSOLUTE list = ILCreateFromPathW(u"C:\\a.txt");
                 IShellItemArray* items = nullptr;
                 const HRESULT result = SHCreateShellItemArrayFromIDLists(1, &list, &items);
                 ILFree(list);
                 return result;
             }},
            {"QISearch",
             [this](auto, auto) {
                 void* found = nullptr;
                 return sink.QueryInterface(IID_IUnknown, &found);
             }},
        };
    for (const auto& [function, call] : cases) {
        SCOPED_TRACE(function);
        TComRef<IFileOperation> operation = newOperation();
        TComRef<IShellItemArray> items = itemsFor({u"C:\\a.txt"});
        palInjectFault(function, injected, 0, 1);
        EXPECT_EQ(injected, call(operation.get(), items.get()));
        palClearFaults();
    }
    palInjectFault("ILCreateFromPathW", 0, 0, 1);
    EXPECT_EQ(nullptr, ILCreateFromPathW(u"C:\\a.txt"));
}

}  // namespace
