#include "tools/orvane/Doctor.h"

#include "tools/orvane/Folders.h"
#include "tools/orvane/GameRecords.h"
#include "tools/orvane/HostRegistry.h"
#include "tools/orvane/RegistryEdits.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

namespace OrvaneHost {

namespace {

using TValues = std::vector<TRawValue>;

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return toupper(static_cast<unsigned char>(x)) ==
                      toupper(static_cast<unsigned char>(y));
           });
}

const TRawValue* findValue(const TValues& values, const std::string& name) {
    for (const TRawValue& value : values) {
        if (sameName(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

// The text of a REG_SZ value; empty when it is missing or of another type.
std::string textOf(const TValues& values, const char* name) {
    const TRawValue* value = findValue(values, name);
    return value != nullptr && value->type == REG_SZ ? value->text() : std::string();
}

std::optional<uint32_t> numberOf(const TValues& values, const char* name) {
    const TRawValue* value = findValue(values, name);
    if (value == nullptr || value->type != REG_DWORD || value->data.size() != 4) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
                                 static_cast<uint32_t>(value->data[3]) << 24);
}

// What the size getters read: the leading decimal digits.
uint64_t leadingNumber(const std::string& text) {
    errno = 0;
    const unsigned long long value = strtoull(text.c_str(), nullptr, 10);
    return errno == ERANGE ? UINT64_MAX : value;
}

bool isSizeText(const std::string& text) {
    return !text.empty() && text.size() <= 20 &&
           text.find_first_not_of("0123456789") == std::string::npos &&
           (text.size() < 20 || text <= "18446744073709551615");
}

enum class TKind { text, size, number };

struct TExpected {
    const char* name;
    TKind kind;
};

const TExpected kRecordValues[] = {
    {"Path", TKind::text},         {"InstallPath", TKind::text},
    {"Version", TKind::text},      {"TotalSize", TKind::size},
    {"InstallSize", TKind::size},  {"CompatibilityFlags", TKind::text},
    {"VFSVersion", TKind::number}, {"UPID", TKind::number}};
const TExpected kEntryValues[] = {
    {"DisplayName", TKind::text},          {"DisplayVersion", TKind::text},
    {"DisplayIcon", TKind::text},          {"NoModify", TKind::number},
    {"NoRepair", TKind::number},           {"UninstallString", TKind::text},
    {"QuietUninstallString", TKind::text}, {"EstimatedSize", TKind::number}};
const TExpected kPackageValues[] = {{"Version", TKind::text}, {"Path", TKind::text}};
const TExpected kClientValues[] = {
    {"", TKind::text}, {"CurrentBandwidth", TKind::size}, {"MaxMeasuredBandwidth", TKind::size}};

// Why a stored value is not what the records keep there; empty when it is.
std::string badValue(const TRawValue& value, TKind kind) {
    const DWORD type = kind == TKind::number ? REG_DWORD : REG_SZ;
    if (value.type != type || (type == REG_DWORD && value.data.size() != 4)) {
        return "is of type " + std::to_string(value.type) + " with " +
               std::to_string(value.data.size()) + " bytes, not " +
               (type == REG_SZ ? "REG_SZ" : "a 4-byte REG_DWORD");
    }
    if (kind == TKind::size && !isSizeText(value.text())) {
        return "holds \"" + value.text() + "\", not a whole number from 0 to 18446744073709551615";
    }
    return std::string();
}

struct TGameKeys {
    std::string id;
    std::string record;  // empty when the game has no record
    std::string entry;   // empty when the game has no uninstall entry
};

class TChecker {
public:
    explicit TChecker(const TCheckScope& scope) : scope_(scope) {}

    std::vector<TProblem> run() {
        checkClient();
        std::vector<TGameKeys> games = gamesInScope();
        for (const TGameKeys& game : games) {
            checkGame(game);
        }
        checkSharedFolders();
        return std::move(problems_);
    }

private:
    void add(const std::string& game, const std::string& package, const char* kind,
             const std::string& detail, std::vector<std::string> keys = {},
             std::function<bool()> repair = {}) {
        problems_.push_back(
            {game, package, kind, detail, false, std::move(keys), std::move(repair)});
    }

    void checkValues(const std::string& game, const std::string& package, const char* where,
                     const TValues& values, const TExpected* first, const TExpected* last) {
        for (const TExpected* expected = first; expected != last; ++expected) {
            const TRawValue* value = findValue(values, expected->name);
            const std::string fault = value != nullptr ? badValue(*value, expected->kind) : "";
            if (!fault.empty()) {
                const std::string name = *expected->name == '\0'
                                             ? "the default value"
                                             : "\"" + std::string(expected->name) + "\"";
                add(game, package, "bad-value", name + " of " + where + " " + fault);
            }
        }
    }

    void checkClient() {
        const TValues client = readRawValues(kClientKey);
        clientDirectory_ = textOf(client, "");
        clientUsable_ = folderExists(clientDirectory_);
        if (clientDirectory_.empty()) {
            add("", "", "no-client-dir", "the client directory is not set");
        } else if (!clientUsable_) {
            add("", "", "no-client-dir",
                "the client directory " + clientDirectory_ + " does not exist");
        }
        if (scope_.ids.empty()) {
            checkValues("", "", "the client's settings", client, std::begin(kClientValues),
                        std::end(kClientValues));
        }
    }

    // The recorded games, then the entries that have no record, as the registry lists them.
    std::vector<TGameKeys> gamesInScope() {
        std::vector<TGameKeys> games;
        std::map<std::string, size_t> byId;
        for (const std::string& id : readSubkeyNames(kApplicationsKey)) {
            byId.emplace(upper(id), games.size());
            games.push_back({id, kApplicationsKey + id, ""});
        }
        const std::string prefix = kUninstallEntryPrefix;
        for (const std::string& name : readSubkeyNames(kUninstallKey)) {
            if (name.size() <= prefix.size() ||
                upper(name.substr(0, prefix.size())) != upper(prefix)) {
                continue;
            }
            const std::string id = name.substr(prefix.size());
            auto found = byId.find(upper(id));
            if (found == byId.end()) {
                games.push_back({id, "", kUninstallKey + name});
            } else {
                games[found->second].entry = kUninstallKey + name;
            }
        }
        if (scope_.ids.empty()) {
            return games;
        }
        std::set<std::string> wanted;
        for (const std::string& id : scope_.ids) {
            wanted.insert(upper(id));
        }
        std::vector<TGameKeys> chosen;
        for (TGameKeys& game : games) {
            if (wanted.count(upper(game.id)) > 0) {
                chosen.push_back(std::move(game));
            }
        }
        return chosen;
    }

    void checkGame(const TGameKeys& game) {
        const std::optional<TValues> entry =
            game.entry.empty() ? std::nullopt : std::optional<TValues>(readRawValues(game.entry));
        if (game.record.empty()) {
            add(game.id, "", "orphan-entry",
                "the program list names \"" + game.id + "\", which has no record", {game.entry},
                [key = game.entry] { return deleteKeyTree(key) == ERROR_SUCCESS; });
            return;
        }
        DWORD subkeys = 0;
        const TValues record = readRawValues(game.record, &subkeys);
        checkValues(game.id, "", "the record", record, std::begin(kRecordValues),
                    std::end(kRecordValues));
        if (entry) {
            checkValues(game.id, "", "the uninstall entry", *entry, std::begin(kEntryValues),
                        std::end(kEntryValues));
        }
        const std::string entryKey =
            game.entry.empty() ? kUninstallKey + (kUninstallEntryPrefix + game.id) : game.entry;
        if (checkEntry(game.id, record, entry, entryKey)) {
            checkCommands(game.id, *entry, entryKey);
            checkSize(game.id, record, *entry, entryKey);
        }
        checkFolders(game, record, entryKey);
        if (subkeys > 0) {
            checkPackages(game);
        }
    }

    // True when the entry holds every value that registration writes.
    bool checkEntry(const std::string& id, const TValues& record,
                    const std::optional<TValues>& entry, const std::string& entryKey) {
        if (textOf(record, "Path").empty() && !entry) {
            return false;
        }
        const TValues none;
        const TValues& values = entry ? *entry : none;
        std::string lacking;
        for (const TExpected& expected : kEntryValues) {
            if (std::string(expected.name) != "EstimatedSize" &&
                findValue(values, expected.name) == nullptr) {
                lacking += (lacking.empty() ? "" : ", ") + std::string(expected.name);
            }
        }
        if (lacking.empty()) {
            return true;
        }
        const std::string name = textOf(values, "DisplayName");
        const std::string icon = textOf(values, "DisplayIcon");
        const std::string path = textOf(record, "Path");
        const std::string installPath = textOf(record, "InstallPath");
        const std::string version = textOf(record, "Version");
        std::string detail = entry ? "the uninstall entry lacks " + lacking
                                   : std::string("the game has no uninstall entry");
        if (name.empty() || icon.empty() || path.empty() || installPath.empty() ||
            version.empty()) {
            add(id, "", "missing-entry",
                detail + "; not enough is recorded to re-create it: register again");
            return false;
        }
        add(id, "", "missing-entry", detail, {entryKey}, [=] {
            return openApplication(id)->registerApplication(
                OrvaneLib::TString(path.c_str()), OrvaneLib::TString(installPath.c_str()),
                OrvaneLib::TString(name.c_str()), OrvaneLib::TString(version.c_str()),
                OrvaneLib::TString(icon.c_str()));
        });
        return false;
    }

    void checkCommands(const std::string& id, const TValues& entry, const std::string& entryKey) {
        if (!clientUsable_) {
            return;
        }
        const std::string command = "\"" + clientDirectory_ + "\\Orvane.exe\" /uninstall " + id;
        const std::string quiet = command + " /S";
        if (textOf(entry, "UninstallString") == command &&
            textOf(entry, "QuietUninstallString") == quiet) {
            return;
        }
        add(id, "", "stale-uninstall-command",
            "the uninstall command is \"" + textOf(entry, "UninstallString") + "\", not \"" +
                command + "\"",
            {entryKey}, [=] {
                return writeRawValue(entryKey, textValue("UninstallString", command)) ==
                           ERROR_SUCCESS &&
                       writeRawValue(entryKey, textValue("QuietUninstallString", quiet)) ==
                           ERROR_SUCCESS;
            });
    }

    void checkSize(const std::string& id, const TValues& record, const TValues& entry,
                   const std::string& entryKey) {
        const std::string size = textOf(record, "InstallSize");
        const std::optional<uint32_t> shown = numberOf(entry, "EstimatedSize");
        const bool stored = findValue(entry, "EstimatedSize") != nullptr;
        if (size.empty()) {
            if (stored) {
                add(id, "", "stale-size",
                    "\"EstimatedSize\" is set but no install size is recorded", {entryKey},
                    [=] { return deleteValue(entryKey, "EstimatedSize") == ERROR_SUCCESS; });
            }
            return;
        }
        const uint32_t expected = shownKilobytes(leadingNumber(size));
        if (shown == expected) {
            return;
        }
        add(id, "", "stale-size",
            (stored ? "\"EstimatedSize\" is not " : "\"EstimatedSize\" is missing; expected ") +
                std::to_string(expected) + " KB for the install size " + size,
            {entryKey}, [=] {
                return writeRawValue(entryKey, numberValue("EstimatedSize", expected)) ==
                       ERROR_SUCCESS;
            });
    }

    void checkFolders(const TGameKeys& game, const TValues& record, const std::string& entryKey) {
        const std::string folder =
            gameFolder(textOf(record, "InstallPath"), textOf(record, "Path"));
        if (!folder.empty()) {
            folders_.push_back({game.id, folder});
        }
        if (!folder.empty() && !folderExists(folder)) {
            std::vector<std::string> keys{game.record, entryKey};
            add(game.id, "", "missing-folder", "the game folder " + folder + " does not exist",
                keys, forget(keys));
        }
    }

    void checkPackages(const TGameKeys& game) {
        const std::string packages = game.record + kPackagesSuffix;
        for (const std::string& package : readSubkeyNames(packages)) {
            const TValues values = readRawValues(packages + package);
            checkValues(game.id, package, "the package", values, std::begin(kPackageValues),
                        std::end(kPackageValues));
            const std::string path = textOf(values, "Path");
            if (!path.empty() && !pathExists(path)) {
                std::vector<std::string> keys{packages + package};
                add(game.id, package, "missing-package-folder",
                    "the package path " + path + " does not exist", keys, forget(keys));
            }
        }
    }

    std::function<bool()> forget(const std::vector<std::string>& keys) const {
        if (!scope_.forgetMissing) {
            return {};
        }
        return [keys] {
            bool deleted = true;
            for (const std::string& key : keys) {
                deleted = deleteKeyTree(key) == ERROR_SUCCESS && deleted;
            }
            return deleted;
        };
    }

    // Equal or nested folders: each folder's ancestors are looked up among all the folders.
    void checkSharedFolders() {
        std::map<std::string, std::string> owners;  // folder in comparable form -> game
        for (const auto& [game, folder] : folders_) {
            owners.emplace(comparable(folder), game);
        }
        for (const auto& [game, folder] : folders_) {
            std::string path = comparable(folder);
            for (bool self = true; !path.empty(); self = false) {
                auto owner = owners.find(path);
                if (owner != owners.end() && owner->second != game) {
                    add(game, "", "shared-folder",
                        "the game folder " + folder + (self ? " is also" : " is inside") +
                            " the folder of \"" + owner->second + "\"");
                    break;
                }
                const size_t separator = path.find_last_of('\\');
                path = separator == std::string::npos ? "" : path.substr(0, separator);
            }
        }
    }

    static std::string comparable(const std::string& folder) {
        std::string path = upper(folder);
        for (char& c : path) {
            c = c == '/' ? '\\' : c;
        }
        while (!path.empty() && path.back() == '\\') {
            path.pop_back();
        }
        return path;
    }

    const TCheckScope& scope_;
    std::vector<TProblem> problems_;
    std::string clientDirectory_;
    bool clientUsable_ = false;
    std::vector<std::pair<std::string, std::string>> folders_;  // game, folder
};

}  // namespace

uint32_t shownKilobytes(uint64_t bytes) {
    const uint64_t kilobytes = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
    return kilobytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(kilobytes);
}

std::vector<TProblem> findProblems(const TCheckScope& scope) {
    return TChecker(scope).run();
}

}  // namespace OrvaneHost
