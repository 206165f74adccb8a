#include "pal/inc/WinShell.h"
#include "pal/src/ComObject.h"
#include "pal/src/PathMapping.h"

#include <sys/stat.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

using namespace OrvaneLib::Pal;

namespace {

// An item ID list here: one SHITEMID holding this tag and the UTF-16 path, then the empty
// SHITEMID that ends every list.
constexpr BYTE idListTag[4] = {'O', 'P', 'A', 'L'};
constexpr size_t idListHeader = sizeof(USHORT) + sizeof(idListTag);

bool isDriveLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// The absolute path in the form the Shell shows it ("\" separators, no "\\?\", no trailing
// separator after a folder name); empty for a relative path.
std::u16string displayPath(std::u16string path) {
    if (path.compare(0, 4, u"\\\\?\\") == 0 && path.size() >= 6 && path[5] == u':') {
        path.erase(0, 4);
    }
    for (char16_t& c : path) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    size_t root = 0;
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == u':' && path[2] == u'\\') {
        root = 3;
    } else if (!path.empty() && path[0] == u'\\' && (path.size() == 1 || path[1] != u'\\')) {
        root = 1;
    } else {
        return {};
    }
    while (path.size() > root && path.back() == u'\\') {
        path.pop_back();
    }
    return path;
}

bool exists(const std::u16string& path) {
    const TMappedPath mapped = mapWindowsPath(path);
    struct stat status;
    return mapped.error == ERROR_SUCCESS && lstat(mapped.posix.c_str(), &status) == 0;
}

bool pathFromIdList(PCIDLIST_ABSOLUTE list, std::u16string& path) {
    if (list == nullptr) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const BYTE*>(list);
    USHORT size = 0;
    memcpy(&size, bytes, sizeof(size));
    if (size < idListHeader || (size - idListHeader) % sizeof(char16_t) != 0 ||
        memcmp(bytes + sizeof(USHORT), idListTag, sizeof(idListTag)) != 0) {
        return false;
    }
    path.resize((size - idListHeader) / sizeof(char16_t));
    memcpy(path.data(), bytes + idListHeader, size - idListHeader);
    return true;
}

HRESULT copyToTaskMemory(const std::u16string& text, LPWSTR* result) {
    auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    if (copy == nullptr) {
        return E_OUTOFMEMORY;
    }
    memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    *result = copy;
    return S_OK;
}

class TShellItem final : public TComObject<IShellItem> {
public:
    explicit TShellItem(std::u16string path) : path_(std::move(path)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        static const QITAB table[] = {{&IID_IShellItem, OFFSETOFCLASS(IShellItem, TShellItem)},
                                      {nullptr, 0}};
        return searchInterfaceTable(this, table, riid, ppvObject);
    }

    HRESULT STDMETHODCALLTYPE GetDisplayName(SIGDN sigdnName, LPWSTR* ppszName) override {
        if (ppszName == nullptr) {
            return E_POINTER;
        }
        *ppszName = nullptr;
        switch (sigdnName) {
            case SIGDN_FILESYSPATH:
            case SIGDN_DESKTOPABSOLUTEPARSING:
            case SIGDN_DESKTOPABSOLUTEEDITING:
                return copyToTaskMemory(path_, ppszName);
            case SIGDN_NORMALDISPLAY:
            case SIGDN_PARENTRELATIVEPARSING:
            case SIGDN_PARENTRELATIVEEDITING:
            case SIGDN_PARENTRELATIVEFORADDRESSBAR:
            case SIGDN_PARENTRELATIVE:
            case SIGDN_PARENTRELATIVEFORUI:
                return copyToTaskMemory(lastComponent(), ppszName);
            default:
                return E_INVALIDARG;
        }
    }

    HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx*, REFGUID, REFIID, void** ppv) override {
        return notImplemented(ppv);
    }
    HRESULT STDMETHODCALLTYPE GetParent(IShellItem** ppsi) override {
        return notImplemented(reinterpret_cast<void**>(ppsi));
    }
    HRESULT STDMETHODCALLTYPE GetAttributes(SFGAOF, SFGAOF*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Compare(IShellItem*, SICHINTF, int*) override { return E_NOTIMPL; }

private:
    static HRESULT notImplemented(void** result) {
        if (result != nullptr) {
            *result = nullptr;
        }
        return E_NOTIMPL;
    }

    std::u16string lastComponent() const {
        const size_t separator = path_.find_last_of(u'\\');
        const bool isRoot = separator == path_.size() - 1;
        return isRoot ? path_ : path_.substr(separator + 1);
    }

    std::u16string path_;
};

class TShellItemArray final : public TComObject<IShellItemArray> {
public:
    explicit TShellItemArray(std::vector<TComPtr<IShellItem>> items) : items_(std::move(items)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        static const QITAB table[] = {
            {&IID_IShellItemArray, OFFSETOFCLASS(IShellItemArray, TShellItemArray)}, {nullptr, 0}};
        return searchInterfaceTable(this, table, riid, ppvObject);
    }

    HRESULT STDMETHODCALLTYPE GetCount(DWORD* pdwNumItems) override {
        if (pdwNumItems == nullptr) {
            return E_POINTER;
        }
        *pdwNumItems = static_cast<DWORD>(items_.size());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetItemAt(DWORD dwIndex, IShellItem** ppsi) override {
        if (ppsi == nullptr) {
            return E_POINTER;
        }
        *ppsi = nullptr;
        if (dwIndex >= items_.size()) {
            return E_INVALIDARG;
        }
        *ppsi = TComPtr<IShellItem>(items_[dwIndex]).detach();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetAttributes(SIATTRIBFLAGS, SFGAOF, SFGAOF*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumItems(IEnumShellItems**) override { return E_NOTIMPL; }

private:
    std::vector<TComPtr<IShellItem>> items_;
};

}  // namespace

PIDLIST_ABSOLUTE WINAPI ILCreateFromPathW(PCWSTR pszPath) {
    if (injectedFault("ILCreateFromPathW") || pszPath == nullptr) {
        return nullptr;
    }
    const std::u16string path = displayPath(pszPath);
    const size_t bytes = path.size() * sizeof(char16_t);
    if (path.empty() || idListHeader + bytes > 0xFFFF || !exists(path)) {
        return nullptr;
    }
    auto* list = static_cast<BYTE*>(CoTaskMemAlloc(idListHeader + bytes + sizeof(USHORT)));
    if (list == nullptr) {
        return nullptr;
    }
    const auto size = static_cast<USHORT>(idListHeader + bytes);
    const USHORT end = 0;
    memcpy(list, &size, sizeof(size));
    memcpy(list + sizeof(USHORT), idListTag, sizeof(idListTag));
    memcpy(list + idListHeader, path.data(), bytes);
    memcpy(list + idListHeader + bytes, &end, sizeof(end));
    return reinterpret_cast<PIDLIST_ABSOLUTE>(list);
}

void WINAPI ILFree(PIDLIST_RELATIVE pidl) {
    CoTaskMemFree(pidl);
}

HRESULT WINAPI SHCreateShellItemArrayFromIDLists(UINT cidl, PCIDLIST_ABSOLUTE_ARRAY rgpidl,
                                                 IShellItemArray** ppsiItemArray) {
    if (ppsiItemArray != nullptr) {
        *ppsiItemArray = nullptr;
    }
    if (const auto fault = injectedFault("SHCreateShellItemArrayFromIDLists")) {
        return *fault;
    }
    if (ppsiItemArray == nullptr) {
        return E_POINTER;
    }
    if (cidl == 0 || rgpidl == nullptr) {
        return E_INVALIDARG;
    }
    std::vector<TComPtr<IShellItem>> items;
    for (UINT i = 0; i < cidl; ++i) {
        std::u16string path;
        if (!pathFromIdList(rgpidl[i], path)) {
            return E_INVALIDARG;
        }
        if (!exists(path)) {
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        }
        auto item = TComPtr<IShellItem>::adopt(new (std::nothrow) TShellItem(std::move(path)));
        if (!item) {
            return E_OUTOFMEMORY;
        }
        items.push_back(std::move(item));
    }
    *ppsiItemArray = new (std::nothrow) TShellItemArray(std::move(items));
    return *ppsiItemArray != nullptr ? S_OK : E_OUTOFMEMORY;
}
