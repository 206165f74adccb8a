#include "pal/src/KeyName.h"

namespace OrvaneLib::Pal {

std::string foldedName(std::u16string_view name) {
    std::string folded(name.size() * 2, '\0');
    for (size_t at = 0; at < name.size(); ++at) {
        WCHAR upper = upcaseUnit(name[at]);
        folded[2 * at] = static_cast<char>(upper >> 8);
        folded[2 * at + 1] = static_cast<char>(upper & 0xFF);
    }
    return folded;
}

std::u16string textOf(LPCWSTR text) {
    return text == nullptr ? std::u16string() : text;
}

LONG splitKeyPath(LPCWSTR path, TKeyPath& names) {
    names.clear();
    if (path == nullptr) {
        return ERROR_SUCCESS;
    }
    if (*path == u'\\') {
        return ERROR_BAD_PATHNAME;
    }
    names.reserve(8);  // one block for the paths of this system, not one for each doubling
    for (LPCWSTR cursor = path; *cursor != u'\0';) {
        LPCWSTR end = cursor;
        while (*end != u'\0' && *end != u'\\') {
            ++end;
        }
        if (end != cursor) {
            if (static_cast<size_t>(end - cursor) > maxKeyNameLength) {
                return ERROR_INVALID_PARAMETER;
            }
            names.emplace_back(cursor, static_cast<size_t>(end - cursor));
        }
        cursor = *end == u'\\' ? end + 1 : end;
    }
    return ERROR_SUCCESS;
}

}  // namespace OrvaneLib::Pal
