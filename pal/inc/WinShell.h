// ole32, shell32, shlwapi: COM apartments and the Shell's file operation object.
#pragma once

#include "pal/inc/WinTypes.h"

typedef unsigned short USHORT;

// Interface identifiers, defined once in the PAL as the SDK's uuid library defines them.
PAL_API const IID IID_IUnknown;
PAL_API const IID IID_IShellItem;
PAL_API const IID IID_IShellItemArray;
PAL_API const IID IID_IFileOperation;
PAL_API const IID IID_IFileOperationProgressSink;
PAL_API const CLSID CLSID_FileOperation;

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
typedef IUnknown* LPUNKNOWN;

// Interfaces that only appear in signatures here.
struct IBindCtx;
struct IEnumShellItems;
struct IOperationsProgressDialog;
struct IPropertyChangeArray;

struct PROPERTYKEY {
    GUID fmtid;
    DWORD pid;
};
typedef const PROPERTYKEY& REFPROPERTYKEY;

typedef ULONG SFGAOF;
typedef DWORD SICHINTF;

enum SIGDN : int {
    SIGDN_NORMALDISPLAY = 0x0,
    SIGDN_PARENTRELATIVEPARSING = (int)0x80018001,
    SIGDN_DESKTOPABSOLUTEPARSING = (int)0x80028000,
    SIGDN_PARENTRELATIVEEDITING = (int)0x80031001,
    SIGDN_DESKTOPABSOLUTEEDITING = (int)0x8004c000,
    SIGDN_FILESYSPATH = (int)0x80058000,
    SIGDN_URL = (int)0x80068000,
    SIGDN_PARENTRELATIVEFORADDRESSBAR = (int)0x8007c001,
    SIGDN_PARENTRELATIVE = (int)0x80080001,
    SIGDN_PARENTRELATIVEFORUI = (int)0x80094001
};

enum GETPROPERTYSTOREFLAGS { GPS_DEFAULT = 0 };

enum SIATTRIBFLAGS {
    SIATTRIBFLAGS_AND = 0x1,
    SIATTRIBFLAGS_OR = 0x2,
    SIATTRIBFLAGS_APPCOMPAT = 0x3
};

// TRANSFER_SOURCE_FLAGS, passed to the progress sink's Pre/Post methods.
#define TSF_NORMAL 0x0u

// A Shell item. Here it stands for a file-system object, named by its absolute Windows path.
// GetDisplayName answers SIGDN_FILESYSPATH and the DESKTOPABSOLUTE forms with that path and
// SIGDN_NORMALDISPLAY and the PARENTRELATIVE forms with its last component, in memory from
// CoTaskMemAlloc; the other methods return E_NOTIMPL.
struct IShellItem : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx* pbc, REFGUID bhid, REFIID riid,
                                                    void** ppv) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParent(IShellItem** ppsi) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDisplayName(SIGDN sigdnName, LPWSTR* ppszName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributes(SFGAOF sfgaoMask, SFGAOF* psfgaoAttribs) = 0;
    virtual HRESULT STDMETHODCALLTYPE Compare(IShellItem* psi, SICHINTF hint, int* piOrder) = 0;
};

// GetCount and GetItemAt are implemented; the other methods return E_NOTIMPL.
struct IShellItemArray : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx* pbc, REFGUID bhid, REFIID riid,
                                                    void** ppvOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyStore(GETPROPERTYSTOREFLAGS flags, REFIID riid,
                                                       void** ppv) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyDescriptionList(REFPROPERTYKEY keyType,
                                                                 REFIID riid, void** ppv) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributes(SIATTRIBFLAGS AttribFlags, SFGAOF sfgaoMask,
                                                    SFGAOF* psfgaoAttribs) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCount(DWORD* pdwNumItems) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemAt(DWORD dwIndex, IShellItem** ppsi) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumItems(IEnumShellItems** ppenumShellItems) = 0;
};

struct IFileOperationProgressSink : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE StartOperations() = 0;
    virtual HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT hrResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD dwFlags, IShellItem* psiItem,
                                                    LPCWSTR pszNewName) = 0;
    virtual HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD dwFlags, IShellItem* psiItem,
                                                     LPCWSTR pszNewName, HRESULT hrRename,
                                                     IShellItem* psiNewlyCreated) = 0;
    virtual HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD dwFlags, IShellItem* psiItem,
                                                  IShellItem* psiDestinationFolder,
                                                  LPCWSTR pszNewName) = 0;
    virtual HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD dwFlags, IShellItem* psiItem,
                                                   IShellItem* psiDestinationFolder,
                                                   LPCWSTR pszNewName, HRESULT hrMove,
                                                   IShellItem* psiNewlyCreated) = 0;
    virtual HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD dwFlags, IShellItem* psiItem,
                                                  IShellItem* psiDestinationFolder,
                                                  LPCWSTR pszNewName) = 0;
    virtual HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD dwFlags, IShellItem* psiItem,
                                                   IShellItem* psiDestinationFolder,
                                                   LPCWSTR pszNewName, HRESULT hrCopy,
                                                   IShellItem* psiNewlyCreated) = 0;
    virtual HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD dwFlags, IShellItem* psiItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD dwFlags, IShellItem* psiItem,
                                                     HRESULT hrDelete,
                                                     IShellItem* psiNewlyCreated) = 0;
    virtual HRESULT STDMETHODCALLTYPE PreNewItem(DWORD dwFlags, IShellItem* psiDestinationFolder,
                                                 LPCWSTR pszNewName) = 0;
    virtual HRESULT STDMETHODCALLTYPE PostNewItem(DWORD dwFlags, IShellItem* psiDestinationFolder,
                                                  LPCWSTR pszNewName, LPCWSTR pszTemplateName,
                                                  DWORD dwFileAttributes, HRESULT hrNew,
                                                  IShellItem* psiNewItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateProgress(UINT iWorkTotal, UINT iWorkSoFar) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResetTimer() = 0;
    virtual HRESULT STDMETHODCALLTYPE PauseTimer() = 0;
    virtual HRESULT STDMETHODCALLTYPE ResumeTimer() = 0;
};

// The Shell's file operation, limited to deletion. Implemented: Advise, Unadvise,
// SetOperationFlags, DeleteItems (an IShellItemArray), PerformOperations and
// GetAnyOperationsAborted; every other method returns E_NOTIMPL.
//
// PerformOperations deletes the queued items permanently: files, folders with everything below
// them, read-only objects too. A symbolic link is removed itself and never followed, wherever it
// points; a folder on another file system (a mount point) is not entered, and its removal fails.
// A drive root ("/", or a mapped drive's folder) is never deleted (E_ACCESSDENIED). There is no
// Recycle Bin: while FOF_ALLOWUNDO or FOFX_RECYCLEONDELETE is set (FOF_ALLOWUNDO is in the default
// flags, as on Windows) every item fails with HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED) and
// nothing is deleted.
// The advised sinks hear, on the calling thread: StartOperations; UpdateProgress(total, 0); per
// item PreDeleteItem, then UpdateProgress(total, done) after each object removed, then
// PostDeleteItem with the item's result; FinishOperations with the overall result. The work is
// counted in file-system objects (files, links and folders, each folder counting itself), counted
// before the first deletion; after each item the work done moves past that item's objects even
// where some could not be removed, so a run that goes through every item ends at (total, total).
// A failing PreDeleteItem or PostDeleteItem cancels the item (for Pre) and all that follow, with
// COPYENGINE_E_USER_CANCELLED as the result. With FOFX_EARLYFAILURE the operation stops at the
// first object that can not be removed and returns its error; without it, it goes on with the
// rest and returns the first error at the end. Performing clears the queue; PerformOperations
// with nothing queued does nothing and returns S_OK.
struct IFileOperation : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Advise(IFileOperationProgressSink* pfops,
                                             DWORD* pdwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOperationFlags(DWORD dwOperationFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProgressMessage(LPCWSTR pszMessage) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProgressDialog(IOperationsProgressDialog* popd) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProperties(IPropertyChangeArray* pproparray) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetOwnerWindow(HWND hwndOwner) = 0;
    virtual HRESULT STDMETHODCALLTYPE ApplyPropertiesToItem(IShellItem* psiItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE ApplyPropertiesToItems(IUnknown* punkItems) = 0;
    virtual HRESULT STDMETHODCALLTYPE RenameItem(IShellItem* psiItem, LPCWSTR pszNewName,
                                                 IFileOperationProgressSink* pfopsItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE RenameItems(IUnknown* pUnkItems, LPCWSTR pszNewName) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveItem(IShellItem* psiItem,
                                               IShellItem* psiDestinationFolder, LPCWSTR pszNewName,
                                               IFileOperationProgressSink* pfopsItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveItems(IUnknown* punkItems,
                                                IShellItem* psiDestinationFolder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyItem(IShellItem* psiItem,
                                               IShellItem* psiDestinationFolder,
                                               LPCWSTR pszCopyName,
                                               IFileOperationProgressSink* pfopsItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyItems(IUnknown* punkItems,
                                                IShellItem* psiDestinationFolder) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteItem(IShellItem* psiItem,
                                                 IFileOperationProgressSink* pfopsItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteItems(IUnknown* punkItems) = 0;
    virtual HRESULT STDMETHODCALLTYPE NewItem(IShellItem* psiDestinationFolder,
                                              DWORD dwFileAttributes, LPCWSTR pszName,
                                              LPCWSTR pszTemplateName,
                                              IFileOperationProgressSink* pfopsItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE PerformOperations() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAnyOperationsAborted(BOOL* pfAnyOperationsAborted) = 0;
};

// Item ID lists. Here an absolute list holds one item: the object's absolute Windows path.
#pragma pack(push, 1)
struct SHITEMID {
    USHORT cb;
    BYTE abID[1];
};
struct ITEMIDLIST {
    SHITEMID mkid;
};
#pragma pack(pop)
typedef ITEMIDLIST ITEMIDLIST_ABSOLUTE;
typedef ITEMIDLIST ITEMIDLIST_RELATIVE;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef ITEMIDLIST_ABSOLUTE* PIDLIST_ABSOLUTE;
typedef const ITEMIDLIST_ABSOLUTE* PCIDLIST_ABSOLUTE;
typedef ITEMIDLIST_RELATIVE* PIDLIST_RELATIVE;
typedef const PCIDLIST_ABSOLUTE* PCIDLIST_ABSOLUTE_ARRAY;

// COM apartments, one per thread. The first CoInitializeEx of a thread returns S_OK, a repeat
// with the same model S_FALSE, one with the other model RPC_E_CHANGED_MODE (which does not
// count); every successful call needs its CoUninitialize. COINIT_APARTMENTTHREADED chooses a
// single-threaded apartment, its absence the multi-threaded one; other flags are accepted.
PAL_API HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
PAL_API void WINAPI CoUninitialize();

// Only CLSID_FileOperation is registered (in-process). The calling thread must have initialised
// COM (else CO_E_NOTINITIALIZED); an outer object gives CLASS_E_NOAGGREGATION.
PAL_API HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                        REFIID riid, LPVOID* ppv);

PAL_API LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
PAL_API void WINAPI CoTaskMemFree(LPVOID pv);

// The ID list of the object at an absolute path ("X:\...", "\\?\X:\..." or a POSIX path); null
// when the path is relative or nothing exists there. Free it with ILFree.
PAL_API PIDLIST_ABSOLUTE WINAPI ILCreateFromPathW(PCWSTR pszPath);
PAL_API void WINAPI ILFree(PIDLIST_RELATIVE pidl);

// An item array over the lists, in their order; HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when one
// of the objects no longer exists.
PAL_API HRESULT WINAPI SHCreateShellItemArrayFromIDLists(UINT cidl, PCIDLIST_ABSOLUTE_ARRAY rgpidl,
                                                         IShellItemArray** ppsiItemArray);

// QueryInterface from a table: the entry for `riid` (IID_IUnknown: the first entry) gives the
// interface at that offset from `that`, with one more reference. The table ends with {0, 0}.
struct QITAB {
    const IID* piid;
    DWORD dwOffset;
};
typedef QITAB* LPQITAB;
typedef const QITAB* LPCQITAB;
#define OFFSETOFCLASS(base, derived) ((DWORD)(DWORD_PTR)(static_cast<base*>((derived*)8)) - 8)

PAL_API HRESULT WINAPI QISearch(void* that, LPCQITAB pqit, REFIID riid, void** ppv);
