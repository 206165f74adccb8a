// COM apartments, item lists and the Shell's file operation: real deletions of temporary trees.
#include "tests/pal/ShellTestSupport.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

using namespace OrvaneTest;
namespace fs = std::filesystem;

namespace {

constexpr DWORD libraryFlags = FOF_NO_UI | FOFX_SHOWELEVATIONPROMPT | FOFX_EARLYFAILURE;
constexpr DWORD defaultFlags = 0xFFFFFFFF;  // SetOperationFlags is not called

// Releases a COM object at the end of its scope.
struct TRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using TComRef = std::unique_ptr<Interface, TRelease>;

// Records what the file operation tells it, which must happen on the thread that made it.
class TRecordingSink final : public IFileOperationProgressSink {
public:
    std::vector<std::string> events;

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT StartOperations() override { return record("start"); }
    HRESULT FinishOperations(HRESULT result) override { return record("finish", result); }
    HRESULT PreDeleteItem(DWORD, IShellItem* item) override { return record("pre " + name(item)); }
    HRESULT PostDeleteItem(DWORD, IShellItem* item, HRESULT result, IShellItem*) override {
        return record("post " + name(item), result);
    }
    HRESULT UpdateProgress(UINT total, UINT done) override {
        return record(std::to_string(done) + "/" + std::to_string(total));
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
    HRESULT record(const std::string& event, HRESULT result = S_OK) {
        EXPECT_EQ(owner_, std::this_thread::get_id()) << event;
        events.push_back(result == S_OK ? event : event + " " + std::to_string(result));
        return S_OK;
    }
    static std::string name(IShellItem* item) {
        LPWSTR text = nullptr;
        EXPECT_EQ(S_OK, item->GetDisplayName(SIGDN_NORMALDISPLAY, &text));
        const std::string result = narrow(text);
        CoTaskMemFree(text);
        return result;
    }
    std::thread::id owner_ = std::this_thread::get_id();
};

// Marks a file or folder immutable, so that even root can not delete it; false where the file
// system or the privileges do not allow it.
bool setImmutable(int folder, const char* name, bool immutable) {
    const int descriptor = openat(folder, name, O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool done = descriptor >= 0 && ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
    flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
    close(descriptor);
    return done;
}

bool setImmutable(const fs::path& file, bool immutable) {
    return setImmutable(AT_FDCWD, file.c_str(), immutable);
}

// A descriptor closed at the end of its scope.
struct TClose {
    void operator()(const int* descriptor) const {
        close(*descriptor);
        delete descriptor;
    }
};
using TFolder = std::unique_ptr<int, TClose>;

// `depth` nested folders "dd" below the folder `top` (3 bytes of path each, so that 1,400 of them
// pass the host's path limit), with a file in every 100th; the deepest, open.
TFolder nestFolders(const fs::path& top, unsigned depth) {
    int folder = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (unsigned level = 1; level <= depth && folder >= 0; ++level) {
        EXPECT_EQ(0, mkdirat(folder, "dd", 0755));
        const int next = openat(folder, "dd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(folder);
        folder = next;
        if (level % 100 == 0) {
            close(openat(folder, "file.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        }
    }
    EXPECT_GE(folder, 0);
    return TFolder(new int(folder));
}

// Lowers the number of descriptors the process may hold for the life of the object.
class TScopedDescriptorLimit {
public:
    explicit TScopedDescriptorLimit(rlim_t limit) {
        getrlimit(RLIMIT_NOFILE, &old_);
        rlimit lowered = old_;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~TScopedDescriptorLimit() { setrlimit(RLIMIT_NOFILE, &old_); }

private:
    rlimit old_{};
};

class ShellTest : public ::testing::Test {
protected:
    TTempTree tree;
    TScopedEnvironment driveC{"ORVANE_PAL_DRIVE_C", tree.root().string()};
    TRecordingSink sink;

    void SetUp() override { ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override { CoUninitialize(); }

    static TComRef<IShellItemArray> itemsFor(const std::vector<std::u16string>& paths) {
        std::vector<PIDLIST_ABSOLUTE> lists;
        for (const std::u16string& path : paths) {
            lists.push_back(ILCreateFromPathW(path.c_str()));
            EXPECT_NE(nullptr, lists.back()) << narrow(path);
        }
        IShellItemArray* items = nullptr;
        EXPECT_EQ(S_OK,
                  SHCreateShellItemArrayFromIDLists(UINT(lists.size()), lists.data(), &items));
        std::for_each(lists.begin(), lists.end(), ILFree);
        return TComRef<IShellItemArray>(items);
    }

    // Deletes the paths as the library does; the result of PerformOperations.
    HRESULT remove(const std::vector<std::u16string>& paths, DWORD flags = libraryFlags,
                   BOOL* aborted = nullptr) {
        IFileOperation* created = nullptr;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL,
                                         IID_IFileOperation, reinterpret_cast<void**>(&created)));
        TComRef<IFileOperation> operation(created);
        EXPECT_TRUE(flags == defaultFlags || operation->SetOperationFlags(flags) == S_OK);
        DWORD cookie = 0;
        EXPECT_EQ(S_OK, operation->Advise(&sink, &cookie));
        EXPECT_EQ(S_OK, operation->DeleteItems(itemsFor(paths).get()));
        const HRESULT result = operation->PerformOperations();
        EXPECT_TRUE(aborted == nullptr || operation->GetAnyOperationsAborted(aborted) == S_OK);
        return result;
    }
};

TEST(ComApartmentTest, ModelsAreCountedPerThreadAndObjectsNeedOne) {
    std::thread([] {
        void* object = &object;
        EXPECT_EQ(CO_E_NOTINITIALIZED, CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL,
                                                        IID_IFileOperation, &object));
        EXPECT_EQ(nullptr, object);
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

TEST_F(ShellTest, ItemListsNeedAnAbsolutePathThatStillExists) {
    tree.file("dir/file.txt");
    TScopedDirectory inside(tree.root());
    EXPECT_EQ(nullptr, ILCreateFromPathW(u"C:\\dir\\missing.txt"));
    EXPECT_EQ(nullptr, ILCreateFromPathW(u"dir\\file.txt"));
    TComRef<IShellItemArray> items = itemsFor({u"C:/dir/file.txt"});
    IShellItem* item = nullptr;
    EXPECT_EQ(E_INVALIDARG, items->GetItemAt(1, &item));

    PIDLIST_ABSOLUTE vanishing = ILCreateFromPathW(u"C:\\dir\\file.txt");
    ASSERT_NE(nullptr, vanishing);
    fs::remove(tree.path("dir/file.txt"));
    IShellItemArray* array = items.get();
    EXPECT_EQ(HRESULT(0x80070002), SHCreateShellItemArrayFromIDLists(1, &vanishing, &array));
    EXPECT_EQ(nullptr, array);
    ILFree(vanishing);
}

TEST_F(ShellTest, DeletesTreesPermanentlyWithoutFollowingLinks) {
    TTempTree outside;
    outside.file("keep/keep.txt", "precious");
    tree.file("game/lockedFolder/inside.txt");
    fs::permissions(tree.path("game/lockedFolder"), fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_directory_symlink(outside.path("keep"), tree.path("game/linkToFolder"));
    fs::create_symlink(outside.path("keep/keep.txt"), tree.path("game/linkToFile"));
    fs::create_symlink(tree.path("nowhere"), tree.path("game/dangling"));
    fs::create_directory_symlink(outside.path("keep"), tree.path("folderLinkItem"));

    EXPECT_EQ(S_OK, remove({u"C:\\game", u"C:\\folderLinkItem"}));
    EXPECT_TRUE(fs::is_empty(tree.root()));
    std::string content;
    std::ifstream(outside.path("keep/keep.txt")) >> content;
    EXPECT_EQ("precious", content);
}

TEST_F(ShellTest, SinkHearsEveryStepInOrderOnTheCallingThread) {
    tree.file("a/one.txt");
    tree.file("a/two.txt");
    tree.file("b.txt");
    EXPECT_EQ(S_OK, remove({u"C:\\a", u"C:\\b.txt"}));
    EXPECT_EQ((std::vector<std::string>{"start", "0/4", "pre a", "1/4", "2/4", "3/4", "post a",
                                        "pre b.txt", "4/4", "post b.txt", "finish"}),
              sink.events);
}

TEST_F(ShellTest, EarlyFailureStopsAtTheFirstObjectThatStays) {
    for (const DWORD flags : {libraryFlags, DWORD(FOF_NO_UI)}) {
        const bool keepsGoing = (flags & FOFX_EARLYFAILURE) == 0;
        SCOPED_TRACE(keepsGoing);
        sink.events.clear();
        tree.file("a/x.txt");
        tree.file("b/after.txt");
        const fs::path stuck = tree.file("b/stuck.txt");
        tree.file("c/y.txt");
        if (!setImmutable(stuck, true)) {
            GTEST_SKIP() << "this file system can not mark a file immutable";
        }
        BOOL aborted = FALSE;
        EXPECT_EQ(E_ACCESSDENIED, remove({u"C:\\a", u"C:\\b", u"C:\\c"}, flags, &aborted));
        setImmutable(stuck, false);
        EXPECT_TRUE(aborted);
        EXPECT_FALSE(fs::exists(tree.path("a")));
        EXPECT_FALSE(fs::exists(tree.path("b/after.txt")));
        EXPECT_TRUE(fs::exists(stuck));
        EXPECT_NE(keepsGoing, fs::exists(tree.path("c/y.txt")));
        EXPECT_EQ("finish " + std::to_string(E_ACCESSDENIED), sink.events.back());
        EXPECT_EQ(keepsGoing, std::count(sink.events.begin(), sink.events.end(), "pre c") == 1);
    }
}

TEST_F(ShellTest, RefusesToRecycleOrToDeleteADriveRoot) {
    tree.file("keep.txt");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED), remove({u"C:\\keep.txt"}, defaultFlags));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED),
              remove({u"C:\\keep.txt"}, FOF_NO_UI | FOFX_RECYCLEONDELETE));
    EXPECT_EQ(E_ACCESSDENIED, remove({u"C:\\"}));
    EXPECT_EQ(E_ACCESSDENIED, remove({u"C:\\keep.txt\\..\\"}));
    EXPECT_TRUE(fs::exists(tree.path("keep.txt")));
}

TEST_F(ShellTest, TreesDeeperThanThePathLimitGoWithoutFollowingTheirLinks) {
    constexpr unsigned depth = 1500;
    TTempTree outside;
    outside.file("keep/keep.txt", "precious");
    {
        TFolder deepest = nestFolders(tree.folder("game"), depth);
        ASSERT_EQ(0, symlinkat(outside.path("keep").c_str(), *deepest, "linkToFolder"));
        ASSERT_EQ(0, symlinkat(outside.path("keep/keep.txt").c_str(), *deepest, "linkToFile"));
    }
    // Far fewer descriptors than levels: the walk may not hold one per folder.
    {
        TScopedDescriptorLimit limit(200);
        EXPECT_EQ(S_OK, remove({u"C:\\game"}));
    }
    EXPECT_TRUE(fs::is_empty(tree.root()));
    const unsigned total = 1 + depth + depth / 100 + 2;
    EXPECT_EQ(total + 1, std::count_if(sink.events.begin(), sink.events.end(), [](auto& event) {
                  return event.find('/') != std::string::npos;
              }));
    EXPECT_EQ(std::to_string(total) + "/" + std::to_string(total), sink.events.end()[-3]);
    std::string content;
    std::ifstream(outside.path("keep/keep.txt")) >> content;
    EXPECT_EQ("precious", content);
}

TEST_F(ShellTest, AFolderThatStaysBeyondThePathLimitFailsTheOperation) {
    TFolder deepest = nestFolders(tree.folder("game"), 1400);
    ASSERT_EQ(0, mkdirat(*deepest, "stuck", 0755));
    if (!setImmutable(*deepest, "stuck", true)) {
        GTEST_SKIP() << "this file system can not mark a folder immutable";
    }
    BOOL aborted = FALSE;
    EXPECT_EQ(E_ACCESSDENIED, remove({u"C:\\game"}, libraryFlags, &aborted));
    EXPECT_TRUE(aborted);
    struct stat status;
    EXPECT_EQ(0, fstatat(*deepest, "stuck", &status, 0));
    EXPECT_EQ("finish " + std::to_string(E_ACCESSDENIED), sink.events.back());

    ASSERT_TRUE(setImmutable(*deepest, "stuck", false));
    EXPECT_EQ(S_OK, remove({u"C:\\game"}));
    EXPECT_TRUE(fs::is_empty(tree.root()));
}

}  // namespace
