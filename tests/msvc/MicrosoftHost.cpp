// A host of Orvane.dll as Microsoft's compiler builds the client, run under Wine by
// scripts/msvc-host-check: it calls every slot of the three interfaces through declarations
// numbered as their tables are (each call with an effect of its own), takes object results and
// passes std::function arguments as Microsoft's compiler does, frees what the library hands over
// with its own run time, and handles a severe failure's structured exception. Exit status 0 when
// every check holds; each failed check is a line on standard output.
#include "MicrosoftHost.h"

using namespace OrvaneLib;

void* operator new(size_t size) {
    return malloc(size);
}
void operator delete(void* block) noexcept {
    free(block);
}
void operator delete(void* block, size_t) noexcept {
    free(block);
}
extern "C" void* memcpy(void* to, const void* from, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        static_cast<char*>(to)[i] = static_cast<const char*>(from)[i];
    }
    return to;
}
extern "C" void* memset(void* to, int byte, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        static_cast<char*>(to)[i] = static_cast<char>(byte);
    }
    return to;
}

namespace {

int failures = 0;
int logLines = 0;
bool logNamesTheLibrary = true;

void print(const char* text) {
    uint32_t written = 0;
    WriteFile(GetStdHandle(static_cast<uint32_t>(-11)), text,
              static_cast<uint32_t>(Host::textLength(text)), &written, nullptr);
}

void check(bool holds, const char* what) {
    if (!holds) {
        ++failures;
        print("msvc-host: failed: ");
        print(what);
        print("\n");
    }
}

// A block that the library handed over lies in the host's own heap.
bool inHostHeap(const void* block) {
    return block != nullptr && HeapValidate(_get_heap_handle(), 0, block) != 0;
}

bool sameText(const TString& text, const char* expected) {
    return Host::sameText(text.c_str(), expected) && inHostHeap(text.data);
}

// A progress or package callable that counts what the library does with it.
struct TCounts {
    int calls = 0;
    int copies = 0;
    int destroyed = 0;
    uint32_t first = 0;
    uint32_t second = 0;
};

template <typename... Args>
class TCountingCallable : public Host::FunctionBase<void, Args...> {
public:
    TCountingCallable(TCounts* counts, bool onHeap) : counts(counts), onHeap(onHeap) {}

    // A std::function whose callable lives on the heap (as a large one does) or inside it, built
    // in place where the argument goes.
    static Host::Function<void(Args...)> make(TCounts* counts, bool onHeap) {
        return Host::Function<void(Args...)>([counts, onHeap](void* storage) {
            void* where = onHeap ? malloc(sizeof(TCountingCallable)) : storage;
            return new (where) TCountingCallable(counts, onHeap);
        });
    }

    Host::FunctionBase<void, Args...>* _Copy(void* where) const override {
        ++counts->copies;
        void* copy = onHeap ? malloc(sizeof(TCountingCallable)) : where;
        return new (copy) TCountingCallable(counts, onHeap);
    }
    Host::FunctionBase<void, Args...>* _Move(void*) override {
        check(false, "the library moved a callable");
        return nullptr;
    }
    void _Do_call(Args&&... args) override {
        ++counts->calls;
        record(args...);
    }
    const void* _Target_type() const override { return nullptr; }
    void _Delete_this(bool deallocate) override {
        ++counts->destroyed;
        check(deallocate == onHeap, "a callable was destroyed with the wrong deallocation");
        if (deallocate) {
            free(this);
        }
    }
    const void* _Get() const override { return this; }

private:
    void record(uint32_t done, uint32_t total) {
        counts->first = done;
        counts->second = total;
    }
    void record(ulIPackage*& package) { counts->first += package->getName().length; }

    TCounts* counts;
    bool onHeap;
};

struct TRaised {
    int count = 0;
    int32_t category = 0;
    int32_t severity = 0;
    int32_t line = 0;
    bool categoryNamed = false;
    bool messageEnds = false;
} raised;

// The library's severe failure: code 1 with the TException's address. The host owns the object
// and deletes it through its slot 0, then resumes.
long WINAPI onStructuredException(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (record.ExceptionCode != 1 || record.NumberParameters != 1) {
        return 0;
    }
    TException* exception = reinterpret_cast<TException*>(record.ExceptionInformation[0]);
    ++raised.count;
    raised.category = exception->category;
    raised.severity = exception->severity;
    raised.line = exception->line;
    raised.categoryNamed =
        Host::sameText(exception->categoryName, "QVX programming (please report to Tavimor)");
    size_t length = Host::textLength(exception->message);
    raised.messageEnds = length > 0 && exception->message[length - 1] == '\n';
    delete exception;
    return -1;  // EXCEPTION_CONTINUE_EXECUTION
}

void setClientDirectory() {
    const wchar_t directory[] = L"C:\\msvc-host-client";
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Orvane\\Client", nullptr, 1, directory,
                    sizeof directory);
}

void checkClient() {
    ulIClient* client = createClient();
    client->setCurrentBandwidth(1000000000001ull);      // slot 0
    client->setMaxMeasuredBandwidth(2000000000002ull);  // slot 2
    check(client->getCurrentBandwidth() == 1000000000001ull, "client slot 1");
    check(client->getMaxMeasuredBandwidth() == 2000000000002ull, "client slot 3");
    client->setThirdPartyFlag(7, true);  // slot 4
    check(client->getThirdPartyFlag(7) && !client->getThirdPartyFlag(8), "client slot 5");
    check(createClient() == client, "createClient hands out one object");
}

void checkRecord(ulIApplication* game) {
    check(!game->isInstalled(), "slot 2 before registration");
    check(game->getVFSVersion() == -1 && game->getUPID() == -1, "slots 16 and 19 unset");
    check(game->registerApplication(TString("C:\\Games\\Msvc\\game.exe"),
                                    TString("C:\\Games\\Msvc"), TString("Msvc Game"),
                                    TString("4.5.6"), TString("C:\\Games\\Msvc\\game.exe,0")),
          "slot 1");
    check(game->isInstalled(), "slot 2");
    check(sameText(game->getPath(), "C:\\Games\\Msvc\\game.exe"), "slot 4");
    check(sameText(game->getInstallPath(), "C:\\Games\\Msvc"), "slot 5");
    check(sameText(game->getVersion(), "4.5.6"), "slot 6");
    check(sameText(game->getDisplayName(), "Msvc Game"), "slot 7");
    game->setTotalSize(111);              // slot 8
    game->setInstallSize(5000000000ull);  // slot 10
    check(game->getTotalSize() == 111, "slot 9");
    check(game->getInstallSize() == 5000000000ull, "slot 11");
    game->setCompatibilityFlags(TString("RUNASADMIN"));  // slot 12
    check(sameText(game->getCompatibilityFlags(), "RUNASADMIN"), "slot 13");
    game->setVFSVersion(17);  // slot 17
    game->setUPID(19);        // slot 18
    check(game->getVFSVersion() == 17, "slot 16");
    check(game->getUPID() == 19, "slot 19");
}

void checkPackage(ulIApplication* game) {
    ulIPackage* package = game->createPackage(TString("dlc"));  // slot 14
    check(!package->isInstalled(), "package slot 2 before registration");
    check(package->registerPackage(TString("C:\\Games\\Msvc\\dlc"), TString("0.9")),
          "package slot 1");
    check(package->isInstalled(), "package slot 2");
    check(Host::sameText(package->getName().c_str(), "dlc"), "package slot 3");
    check(sameText(package->getPath(), "C:\\Games\\Msvc\\dlc"), "package slot 4");
    check(sameText(package->getVersion(), "0.9"), "package slot 5");
    check(package->unregisterPackage() && !package->isInstalled(), "package slot 6");
    delete package;  // package slot 0
}

void registerPackages(ulIApplication* game, int count) {
    const char* names[] = {"a", "bb", "ccc"};
    for (int i = 0; i < count; ++i) {
        ulIPackage* package = game->createPackage(TString(names[i]));
        package->registerPackage(TString("C:\\Games\\Msvc\\p"), TString("1"));
        delete package;
    }
}

// getPackages builds the array in the host's storage with the library's table: the host calls
// its operations through that table, and its own destruction frees the block.
void checkPackageArray(ulIApplication* game) {
    registerPackages(game, 3);
    TPointerArray<ulIPackage*> packages = game->getPackages();  // slot 15
    TBag<ulIPackage*>& bag = packages;
    check(packages.count == 3 && bag.capacity() >= 3 && inHostHeap(packages.data),
          "slot 15: three packages in a block of the host's heap");
    TCounts perPackage;
    bag.forEach(TCountingCallable<ulIPackage*&>::make(&perPackage, false));
    check(perPackage.calls == 3 && perPackage.first == 6 && perPackage.destroyed == 1,
          "forEach calls a small callable once per package and destroys it once");
    TCounts heapHeld;
    bag.forEach(TCountingCallable<ulIPackage*&>::make(&heapHeld, true));
    check(heapHeld.calls == 3 && heapHeld.destroyed == 1,
          "forEach calls a heap-held callable once per package and destroys it once");

    ulIPackage* first = bag.get(0);
    check(first != nullptr && bag.contains(first) && bag.indexOf(first) == 0, "get and find");
    bag.swap(0, 2);
    check(bag.get(2) == first, "swap");
    bag.removeAll(first, false);
    check(packages.count == 2 && !bag.contains(first), "removeAll of a pointer");
    check(bag.add(first) == 2 && packages.count == 3, "add");
    delete first;
    bag.removeAt(2, false);

    // A block the count cannot reach raises the structured exception of code 1, which the
    // handler resumes; the array is as it was.
    ulIPackage* none = nullptr;
    check(bag.addArray(&none, 0xFFFFFFFFu) == 2 && packages.count == 2, "addArray beyond 32 bits");
    check(raised.count == 1 && raised.category == 3 && raised.severity == 3 && raised.line == 384 &&
              raised.categoryNamed && raised.messageEnds,
          "the severe failure reached the host's handler with its TException");
}

// An array destroyed through the library's table (slot 0 without deletion) deletes its packages
// and frees its block in the library.
void checkArrayDestroyedThroughItsTable(ulIApplication* game) {
    alignas(8) unsigned char storage[sizeof(TPointerArray<ulIPackage*>)];
    auto* packages = new (storage) TPointerArray<ulIPackage*>(game->getPackages());
    check(packages->count == 3, "slot 15 again");
    static_cast<TAbstractBag*>(packages)->~TAbstractBag();
}

void checkInstalledGames() {
    TArray<TString> games;
    games.data = static_cast<TString*>(malloc(sizeof(TString)));
    games.slots = 1;
    new (games.data) TString("stale");
    games.count = 1;
    getInstalledGames(games);
    check(games.clears == 1, "getInstalledGames empties the host's array through its table");
    check(games.count == 1 && inHostHeap(games.data) && sameText(games.data[0], "msvc"),
          "getInstalledGames fills the host's array from the host's heap");
}

void checkUninstall(ulIApplication* game) {
    ProgressCallback none;
    bool removedWithout = game->uninstall(none);
    check(removedWithout == !game->isInstalled(), "uninstall with an empty callable");

    TCounts progress;
    bool removed = game->uninstall(TCountingCallable<uint32_t, uint32_t>::make(&progress, true));
    check(removed == !game->isInstalled(), "slot 3 reports what it did");
    check(progress.destroyed == 1 && progress.copies == 0,
          "uninstall destroys the heap-held callable once");
    // Wine's Shell deletes nothing, so no progress is reported here.
    check(progress.calls == 0 || progress.first <= progress.second, "progress is done, total");
}

}  // namespace

namespace OrvaneLib {
void unexpectedHostSlot(const char* slot) {
    check(false, slot);
}
}  // namespace OrvaneLib

extern "C" __declspec(dllexport) void outputLogString(const char* module, const char*, const char*,
                                                      int, int) {
    ++logLines;
    logNamesTheLibrary = logNamesTheLibrary && Host::sameText(module, "Orvane.dll");
}

// The host works below a temporary HKEY_CURRENT_USER of its own, as the test suites do, and never
// in the records of the user who runs it. The key has one name: what a crashed run left goes when
// the next run starts.
static const wchar_t temporaryKey[] = L"Software\\OrvaneTest\\msvc-host";
static const uint32_t keyAllAccess = 0xF003F;

static bool overrideCurrentUser() {
    RegDeleteTreeW(HKEY_CURRENT_USER, temporaryKey);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, temporaryKey, 0, nullptr, 0, keyAllAccess, nullptr, &key,
                        nullptr) != 0) {
        return false;
    }
    const long status = RegOverridePredefKey(HKEY_CURRENT_USER, key);
    RegCloseKey(key);
    return status == 0;
}

static void restoreCurrentUser() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, temporaryKey);
}

extern "C" int hostMain() {
    if (!overrideCurrentUser()) {
        print("msvc-host: failed: HKEY_CURRENT_USER can not be pointed at a temporary key\n");
        ExitProcess(1);
    }
    setClientDirectory();
    void* handler = AddVectoredExceptionHandler(1, onStructuredException);

    checkClient();
    ulIApplication* game = createApplication(TString("msvc"));
    checkRecord(game);
    checkPackage(game);
    checkPackageArray(game);
    checkArrayDestroyedThroughItsTable(game);
    checkInstalledGames();
    checkUninstall(game);
    delete game;  // slot 0
    check(logLines > 0 && logNamesTheLibrary, "log lines reach outputLogString from Orvane.dll");

    RemoveVectoredExceptionHandler(handler);
    restoreCurrentUser();
    print(failures == 0 ? "msvc-host: passed\n" : "msvc-host: FAILED\n");
    ExitProcess(failures == 0 ? 0 : 1);
    return 0;
}
