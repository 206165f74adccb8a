// Inside the PAL: the process's table of kernel handles (mutexes, open files), so that
// CloseHandle and the checks of every call that takes a handle see one set of live handles.
#pragma once

#include "pal/inc/WinKernel.h"

#include <memory>

namespace OrvaneLib::Pal {

class TKernelObject {
public:
    virtual ~TKernelObject() = default;
};

// A new handle for the object. Values are never reused, so a stale handle can not reach a newer
// object.
HANDLE insertHandle(std::shared_ptr<TKernelObject> object);

// The live object of a handle, or null when the handle is unknown, closed or of another kind.
std::shared_ptr<TKernelObject> findHandle(HANDLE handle);
// As findHandle, for the object kind that a call takes; null with last error ERROR_INVALID_HANDLE
// for any other handle, as Windows answers.
template <class T>
std::shared_ptr<T> findHandleOf(HANDLE handle) {
    std::shared_ptr<T> object = std::dynamic_pointer_cast<T>(findHandle(handle));
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return object;
}

}  // namespace OrvaneLib::Pal
