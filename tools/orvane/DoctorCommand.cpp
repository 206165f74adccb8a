// orvane doctor: the problems found, the backup of every key a repair will change, the repairs,
// and the report.
#include "tools/orvane/Commands.h"
#include "tools/orvane/Doctor.h"
#include "tools/orvane/GameRecords.h"
#include "tools/orvane/Output.h"
#include "tools/orvane/Progress.h"
#include "tools/orvane/RegFile.h"
#include "tools/orvane/RegistryEdits.h"
#include "tools/orvane/RepairCommands.h"
#include "tools/orvane/ReportHandler.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>

namespace OrvaneHost {

namespace {

std::string upperText(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The key, its values and every key below it, as they are now.
void saveTree(TRegFile& file, const std::string& keyPath) {
    file.beginKey(keyPath);
    for (const TRawValue& value : readRawValues(keyPath)) {
        file.addRaw(value);
    }
    for (const std::string& subkey : readSubkeyNames(keyPath)) {
        saveTree(file, keyPath + "\\" + subkey);
    }
}

// Importing the file gives every key back as it was, also one that a repair creates.
TRegFile backupOf(const std::vector<TProblem>& problems) {
    TRegFile file;
    std::set<std::string> saved;
    for (const TProblem& problem : problems) {
        for (const std::string& key : problem.repair ? problem.keys : std::vector<std::string>{}) {
            if (!saved.insert(upperText(key)).second) {
                continue;
            }
            file.deleteKey(key);
            if (keyExists(key)) {
                saveTree(file, key);
            }
        }
    }
    return file;
}

// orvane-backup- and the time in UTC, in the current directory; never an existing file.
std::string defaultBackupName() {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::gmtime(&now));
    std::string name = std::string("orvane-backup-") + stamp + ".reg";
    for (int copy = 2; std::filesystem::exists(name); ++copy) {
        name = std::string("orvane-backup-") + stamp + "-" + std::to_string(copy) + ".reg";
    }
    return name;
}

bool writeFile(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

std::string problemsJson(const std::vector<TProblem>& problems, bool healthy,
                         const std::string& backup) {
    std::string list;
    for (const TProblem& problem : problems) {
        list += std::string(list.empty() ? "" : ",") + "{\"game\":" + jsonString(problem.game) +
                ",\"package\":" + (problem.package.empty() ? "null" : jsonString(problem.package)) +
                ",\"kind\":" + jsonString(problem.kind) +
                ",\"detail\":" + jsonString(problem.detail) +
                ",\"fixed\":" + (problem.fixed ? "true" : "false") + "}";
    }
    return std::string("{\"healthy\":") + (healthy ? "true" : "false") + ",\"problems\":[" + list +
           "],\"backup\":" + (backup.empty() ? "null" : jsonString(backup)) + "}\n";
}

// A table with a heading on a terminal; tab-separated lines for scripts.
std::string problemsText(const std::vector<TProblem>& problems) {
    if (problems.empty()) {
        return "no problem found\n";
    }
    const bool terminal = isTerminal(stdout);
    std::vector<std::vector<std::string>> rows;
    if (terminal) {
        rows.push_back({"GAME", "PACKAGE", "KIND", "FIXED", "DETAIL"});
    }
    for (const TProblem& problem : problems) {
        rows.push_back({problem.game, problem.package, problem.kind, problem.fixed ? "yes" : "no",
                        problem.detail});
    }
    if (terminal) {
        return textTable(rows);
    }
    std::string text;
    for (const auto& row : rows) {
        text += row[0] + '\t' + row[1] + '\t' + row[2] + '\t' + row[3] + '\t' + row[4] + '\n';
    }
    return text;
}

// A game whose record was forgotten has none of its other problems left.
void repairAll(std::vector<TProblem>& problems) {
    std::set<std::string> forgotten;
    for (TProblem& problem : problems) {
        problem.fixed = problem.repair && problem.repair();
        if (problem.fixed && problem.kind == "missing-folder") {
            forgotten.insert(upperText(problem.game));
        }
    }
    for (TProblem& problem : problems) {
        problem.fixed = problem.fixed || forgotten.count(upperText(problem.game)) > 0;
    }
}

}  // namespace

int doctorRecords(const TDoctorRequest& request) {
    for (const std::string& id : request.ids) {
        if (!isKnownGame(id)) {
            fprintf(stderr, "orvane: no game \"%s\" is recorded\n", id.c_str());
            return kBadInput;
        }
    }
    std::vector<TProblem> problems = findProblems({request.ids, request.forgetMissing});
    std::string backup;
    const bool repairable =
        std::any_of(problems.begin(), problems.end(), [](const TProblem& p) { return !!p.repair; });
    if (request.fix && repairable) {
        backup = request.backupFile.empty() ? defaultBackupName() : request.backupFile;
        if (!writeFile(backup, backupOf(problems).utf16())) {
            fprintf(stderr, "orvane: cannot write the backup %s; nothing was repaired\n",
                    backup.c_str());
            return kSevereFailureStatus;
        }
        if (!request.json) {
            printf("saved the keys to be repaired in %s\n", backup.c_str());
        }
        repairAll(problems);
    }
    const bool healthy =
        std::all_of(problems.begin(), problems.end(), [](const TProblem& p) { return p.fixed; });
    fputs((request.json ? problemsJson(problems, healthy, backup) : problemsText(problems)).c_str(),
          stdout);
    return healthy ? kSuccess : kFailure;
}

}  // namespace OrvaneHost
