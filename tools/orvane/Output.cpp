#include "tools/orvane/Output.h"

#include <algorithm>
#include <cstdio>

namespace OrvaneHost {

namespace {

using TRow = std::vector<std::string>;

// Columns as wide as their widest cell, two spaces apart; no spaces at the end of a line.
std::string table(const std::vector<TRow>& rows) {
    std::vector<size_t> widths;
    for (const TRow& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    std::string text;
    for (const TRow& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i] + std::string(widths[i] - row[i].size() + 2, ' ');
        }
        text += line.substr(0, line.find_last_not_of(' ') + 1) + '\n';
    }
    return text;
}

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

std::string orNotSet(int32_t number) {
    return number == -1 ? "not set" : std::to_string(number);
}

std::string orNull(int32_t number) {
    return number == -1 ? "null" : std::to_string(number);
}

}  // namespace

std::string gamesTable(const std::vector<TGameRecord>& games) {
    std::vector<TRow> rows{
        {"ID", "NAME", "VERSION", "INSTALLED", "TOTAL SIZE", "INSTALL SIZE", "FOLDER"}};
    rows.reserve(games.size() + 1);
    for (const TGameRecord& game : games) {
        rows.push_back({game.id, game.name, game.version, yesNo(game.installed),
                        std::to_string(game.totalSize), std::to_string(game.installSize),
                        game.folderMissing ? "missing" : ""});
    }
    return table(rows);
}

std::string packagesTable(const std::vector<TPackageRecord>& packages) {
    std::vector<TRow> rows{{"PACKAGE", "VERSION", "INSTALLED", "PATH"}};
    for (const TPackageRecord& package : packages) {
        rows.push_back({package.id, package.version, yesNo(package.installed), package.path});
    }
    return table(rows);
}

std::string gameDetails(const TGameRecord& game) {
    std::string text = table({{"id:", game.id},
                              {"name:", game.name},
                              {"version:", game.version},
                              {"installed:", yesNo(game.installed)},
                              {"path:", game.path},
                              {"install path:", game.installPath},
                              {"total size:", std::to_string(game.totalSize)},
                              {"install size:", std::to_string(game.installSize)},
                              {"compatibility flags:", game.compatibilityFlags},
                              {"VFS version:", orNotSet(game.vfsVersion)},
                              {"UPID:", orNotSet(game.upid)}});
    if (game.packages.empty()) {
        return text + "packages: none\n";
    }
    return text + "packages:\n" + packagesTable(game.packages);
}

std::string textTable(const std::vector<std::vector<std::string>>& rows) {
    return table(rows);
}

std::string jsonString(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

std::string gameJson(const TGameRecord& game) {
    std::string packages;
    for (const TPackageRecord& package : game.packages) {
        packages += std::string(packages.empty() ? "" : ",") + "{\"id\":" + jsonString(package.id) +
                    ",\"version\":" + jsonString(package.version) +
                    ",\"path\":" + jsonString(package.path) +
                    ",\"installed\":" + (package.installed ? "true" : "false") + "}";
    }
    return "{\"id\":" + jsonString(game.id) + ",\"name\":" + jsonString(game.name) +
           ",\"version\":" + jsonString(game.version) +
           ",\"installed\":" + (game.installed ? "true" : "false") +
           ",\"folderMissing\":" + (game.folderMissing ? "true" : "false") +
           ",\"path\":" + jsonString(game.path) +
           ",\"installPath\":" + jsonString(game.installPath) +
           ",\"totalSize\":" + std::to_string(game.totalSize) +
           ",\"installSize\":" + std::to_string(game.installSize) +
           ",\"compatibilityFlags\":" + jsonString(game.compatibilityFlags) +
           ",\"vfsVersion\":" + orNull(game.vfsVersion) + ",\"upid\":" + orNull(game.upid) +
           ",\"packages\":[" + packages + "]}";
}

std::string gamesJson(const std::vector<TGameRecord>& games) {
    std::string text = "[";
    for (const TGameRecord& game : games) {
        if (text.size() > 1) {
            text += ',';
        }
        text += gameJson(game);
    }
    text += ']';
    return text;
}

}  // namespace OrvaneHost
