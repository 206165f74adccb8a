// The host's header as Microsoft's compiler reads it: natural declarations (a virtual destructor,
// objects by value). Compiled for syntax only, with _MSC_VER defined, by scripts that have no
// Microsoft compiler: every override below must find its natural form.
#include "lib/OrvaneLib.h"

using namespace OrvaneLib;

struct TNaturalPackage final : ulIPackage {
    ~TNaturalPackage() override = default;
    bool registerPackage(const TString&, const TString&) override { return true; }
    bool isInstalled() const override { return true; }
    const TString& getName() const override { return name; }
    TString getPath() const override { return TString(); }
    TString getVersion() const override { return TString(); }
    bool unregisterPackage() override { return true; }
    TString name;
};

struct TNaturalApplication final : ulIApplication {
    ~TNaturalApplication() override = default;
    bool registerApplication(const TString&, const TString&, const TString&, const TString&,
                             const TString&) override {
        return true;
    }
    bool isInstalled() const override { return true; }
    bool uninstall(ProgressCallback progress) override { return static_cast<bool>(progress); }
    TString getPath() const override { return TString(); }
    TString getInstallPath() const override { return TString(); }
    TString getVersion() const override { return TString(); }
    TString getDisplayName() const override { return TString(); }
    void setTotalSize(uint64_t) override {}
    uint64_t getTotalSize() const override { return 0; }
    void setInstallSize(uint64_t) override {}
    uint64_t getInstallSize() const override { return 0; }
    void setCompatibilityFlags(const TString&) override {}
    TString getCompatibilityFlags() const override { return TString(); }
    ulIPackage* createPackage(const TString&) const override { return new TNaturalPackage(); }
    TPointerArray<ulIPackage*> getPackages() const override { return {}; }
    int32_t getVFSVersion() const override { return -1; }
    void setVFSVersion(int32_t) override {}
    void setUPID(int32_t) override {}
    int32_t getUPID() const override { return -1; }
};

int main() {
    TArray<TString> names;
    names.forEach([](TString&) {});
    names.removeAll(TString("x"), false);
    TBag<TString>& bag = names;
    ulIApplication* game = new TNaturalApplication();
    delete game;
    return static_cast<int>(bag.get(0).getLength());
}
