// orvane import: a whole file is read and checked first; only then is anything written.
#include "tools/orvane/Commands.h"
#include "tools/orvane/RegImport.h"
#include "tools/orvane/RegistryEdits.h"
#include "tools/orvane/RepairCommands.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

namespace OrvaneHost {

namespace {

using TValues = std::vector<TRawValue>;

std::string upperPath(const std::string& path) {
    std::string text = path;
    for (char& c : text) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string shown(const std::string& keyPath) {
    return "HKEY_CURRENT_USER\\" + keyPath;
}

std::string shownName(const std::string& name) {
    return name.empty() ? "@" : "\"" + name + "\"";
}

// The keys as they will be after the changes so far, read from the registry on first use.
class TPreview {
public:
    std::optional<TValues>& key(const std::string& path) {
        const std::string upper = upperPath(path);
        auto found = keys_.find(upper);
        if (found != keys_.end()) {
            return found->second;
        }
        std::optional<TValues> stored;
        if (!belowDeleted(upper) && keyExists(path)) {
            stored = readRawValues(path);
        }
        return keys_.emplace(upper, std::move(stored)).first->second;
    }

    void deleteTree(const std::string& path) {
        const std::string upper = upperPath(path);
        for (auto& [name, values] : keys_) {
            if (name == upper || name.compare(0, upper.size() + 1, upper + "\\") == 0) {
                values.reset();
            }
        }
        deleted_.push_back(upper);
    }

private:
    bool belowDeleted(const std::string& upper) const {
        for (const std::string& tree : deleted_) {
            if (upper == tree || upper.compare(0, tree.size() + 1, tree + "\\") == 0) {
                return true;
            }
        }
        return false;
    }

    std::map<std::string, std::optional<TValues>> keys_;
    std::vector<std::string> deleted_;
};

TValues::iterator findValue(TValues& values, const std::string& name) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (upperPath(it->name) == upperPath(name)) {
            return it;
        }
    }
    return values.end();
}

void changeValue(TValues& values, const TValueChange& change, const std::string& keyPath,
                 std::vector<std::string>& lines) {
    auto stored = findValue(values, change.value.name);
    const std::string where = shown(keyPath) + " " + shownName(change.value.name);
    if (change.remove) {
        if (stored != values.end()) {
            values.erase(stored);
            lines.push_back("delete value " + where);
        }
    } else if (stored == values.end()) {
        values.push_back(change.value);
        lines.push_back("set " + where);
    } else if (stored->type != change.value.type || stored->data != change.value.data) {
        *stored = change.value;
        lines.push_back("set " + where);
    }
}

// One line for every key and value that the changes would make different.
std::vector<std::string> describe(const std::vector<TKeyChange>& keys) {
    TPreview preview;
    std::vector<std::string> lines;
    for (const TKeyChange& key : keys) {
        std::optional<TValues>& values = preview.key(key.path);
        if (key.remove) {
            if (values) {
                lines.push_back("delete key " + shown(key.path));
            }
            preview.deleteTree(key.path);
            continue;
        }
        if (!values) {
            values.emplace();
            lines.push_back("create key " + shown(key.path));
        }
        for (const TValueChange& change : key.values) {
            changeValue(*values, change, key.path, lines);
        }
    }
    return lines;
}

LSTATUS applyKey(const TKeyChange& key) {
    if (key.remove) {
        return deleteKeyTree(key.path);
    }
    LSTATUS status = createKey(key.path);
    for (auto change = key.values.begin(); status == ERROR_SUCCESS && change != key.values.end();
         ++change) {
        status = change->remove ? deleteValue(key.path, change->value.name)
                                : writeRawValue(key.path, change->value);
    }
    return status;
}

}  // namespace

int importRecords(const std::string& file, bool dryRun) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (!in.is_open() || in.bad()) {
        fprintf(stderr, "orvane: cannot read %s\n", file.c_str());
        return kBadInput;
    }
    const TRegImport import = readRegFile(bytes);
    if (!import.ok()) {
        fprintf(stderr, "orvane: %s:%d: %s; nothing was imported\n", file.c_str(), import.errorLine,
                import.error.c_str());
        return kBadInput;
    }
    const std::vector<std::string> lines = describe(import.keys);
    for (const std::string& line : lines) {
        printf("%s%s\n", dryRun ? "would " : "", line.c_str());
    }
    if (dryRun) {
        printf("%zu changes; nothing was written (dry run)\n", lines.size());
        return kSuccess;
    }
    for (const TKeyChange& key : import.keys) {
        LSTATUS status = applyKey(key);
        if (status != ERROR_SUCCESS) {
            fprintf(stderr,
                    "orvane: cannot change %s (line %d, Windows error %ld); the keys before it "
                    "were imported\n",
                    shown(key.path).c_str(), key.line, static_cast<long>(status));
            return kFailure;
        }
    }
    printf("%zu changes imported\n", lines.size());
    return kSuccess;
}

}  // namespace OrvaneHost
