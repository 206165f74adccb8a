// orvane doctor and orvane import on hives with one fault each, built by importing the fault.
#include "HostFixture.h"

#include <functional>
#include <regex>
#include <set>
#include <vector>

namespace {

using namespace OrvaneHostTest;

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kUninstall =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App ";
const std::string kApplications = "[HKEY_CURRENT_USER\\Software\\Orvane\\Client\\Applications\\";

class Repair : public Host {
public:
    using Host::must;
    using Host::root_;

    void makeFolder(const std::string& path) { fs::create_directories(root_ / "C" / path); }
    void writeText(const std::string& name, const std::string& text) {
        std::ofstream(root_ / name, std::ios::binary) << text;
    }
    void importText(const std::string& text) {
        writeText("fault.reg", kHeader + text);
        must("import fault.reg");
    }

    // A healthy hive: the client, game A with its folder, size and package, game B.
    void installHealthyGames() {
        for (const char* folder : {"Client", "Games/A/dlc", "Games/B"}) {
            makeFolder(folder);
        }
        must("client-dir 'C:\\Client'");
        must(
            "register A --path 'C:\\Games\\A\\a.exe' --install-path 'C:\\Games\\A' --name A "
            "--version 1.0 --icon a.ico");
        must("set A --install-size 5000");
        must("package add A dlc --path 'C:\\Games\\A\\dlc' --version 2");
        must(
            "register B --path 'C:\\Games\\B\\b.exe' --install-path 'C:\\Games\\B' --name B "
            "--version 0.9 --icon b.ico");
    }

    // "game/package kind"
    static std::string label(const json& problem) {
        const json& package = problem["package"];
        return problem["game"].get<std::string>() + "/" +
               (package.is_null() ? "" : package.get<std::string>()) + " " +
               problem["kind"].get<std::string>();
    }
    // The label of every problem of a doctor's JSON report.
    static std::multiset<std::string> kinds(const json& report) {
        std::multiset<std::string> found;
        for (const json& problem : report["problems"]) {
            found.insert(label(problem));
        }
        return found;
    }
    json doctor(const std::string& options, int status) {
        TRun result = run("doctor --json " + options);
        EXPECT_EQ(result.status, status) << options << ": " << result.err;
        return json::parse(result.out.empty() ? "{}" : result.out);
    }
    size_t filesOnDrive() {
        return static_cast<size_t>(std::distance(fs::recursive_directory_iterator(root_ / "C"),
                                                 fs::recursive_directory_iterator()));
    }
};

struct TFault {
    const char* name;
    std::function<void(Repair&)> make;
    const char* fixOptions;                // after "doctor --fix"
    std::multiset<std::string> found;      // what doctor reports
    std::multiset<std::string> remaining;  // what is left after the repair
};

const TFault kFaults[] = {
    {"OrphanEntry",
     [](Repair& r) { r.importText(kUninstall + "Z]\r\n\"DisplayName\"=\"Z\"\r\n"); },
     "",
     {"Z/ orphan-entry"},
     {}},
    {"EntryLeftHalfWritten",
     [](Repair& r) {
         r.importText("[-" + kUninstall.substr(1) + "B]\r\n" + kUninstall +
                      "B]\r\n\"DisplayName\"=\"B\"\r\n\"DisplayIcon\"=\"b.ico\"\r\n");
     },
     "",
     {"B/ missing-entry"},
     {}},
    {"EntryGone",
     [](Repair& r) { r.importText("[-" + kUninstall.substr(1) + "B]\r\n"); },
     "",
     {"B/ missing-entry"},
     {"B/ missing-entry"}},
    {"ClientMoved",
     [](Repair& r) {
         r.makeFolder("Client2");
         r.must("client-dir 'C:\\Client2'");
     },
     "",
     {"A/ stale-uninstall-command", "B/ stale-uninstall-command"},
     {}},
    {"GameFolderGoneKept",
     [](Repair& r) { fs::remove_all(r.root_ / "C/Games/B"); },
     "",
     {"B/ missing-folder"},
     {"B/ missing-folder"}},
    {"GameFolderGoneForgotten",
     [](Repair& r) { fs::remove_all(r.root_ / "C/Games/B"); },
     "--forget-missing",
     {"B/ missing-folder"},
     {}},
    {"PackageFolderGone",
     [](Repair& r) { fs::remove_all(r.root_ / "C/Games/A/dlc"); },
     "--forget-missing",
     {"A/dlc missing-package-folder"},
     {}},
    {"BadValues",
     [](Repair& r) {
         r.importText(kApplications + "A]\r\n\"UPID\"=\"7\"\r\n\"TotalSize\"=\"12abc\"\r\n" +
                      kApplications + "A\\Packages\\dlc]\r\n\"Version\"=dword:00000002\r\n");
     },
     "",
     {"A/ bad-value", "A/ bad-value", "A/dlc bad-value"},
     {"A/ bad-value", "A/ bad-value", "A/dlc bad-value"}},
    {"ClientFolderGone",
     [](Repair& r) { fs::remove_all(r.root_ / "C/Client"); },
     "",
     {"/ no-client-dir"},
     {"/ no-client-dir"}},
    {"NestedGame",
     [](Repair& r) {
         r.makeFolder("Games/A/mods");
         r.must(
             "register C --path 'C:\\Games\\A\\mods\\c.exe' --install-path 'C:\\Games\\A\\mods' "
             "--name C --version 1 --icon c.ico");
     },
     "",
     {"C/ shared-folder"},
     {"C/ shared-folder"}},
    {"SizeNotShown",
     [](Repair& r) { r.importText(kUninstall + "A]\r\n\"EstimatedSize\"=dword:00000001\r\n"); },
     "",
     {"A/ stale-size"},
     {}},
};

class DoctorFinds : public Repair, public testing::WithParamInterface<TFault> {};

// Found alone, repaired as far as it can be, and the backup brings the first state back.
TEST_P(DoctorFinds, TheFaultRepairsItAndTheBackupRestoresIt) {
    installHealthyGames();
    EXPECT_EQ(kinds(doctor("", 0)), std::multiset<std::string>{});
    GetParam().make(*this);
    const std::string before = must("export");
    const json report = doctor("", 1);
    EXPECT_EQ(kinds(report), GetParam().found);
    EXPECT_EQ(report["healthy"], false);
    EXPECT_TRUE(report["backup"].is_null());

    const size_t files = filesOnDrive();
    const bool left = !GetParam().remaining.empty();
    const json fixed =
        doctor(std::string("--fix --backup saved.reg ") + GetParam().fixOptions, left ? 1 : 0);
    EXPECT_EQ(filesOnDrive(), files);
    EXPECT_EQ(fixed["healthy"], !left);
    for (const json& problem : fixed["problems"]) {
        EXPECT_EQ(problem["fixed"], GetParam().remaining.count(label(problem)) == 0) << problem;
    }
    EXPECT_EQ(kinds(doctor("", left ? 1 : 0)), GetParam().remaining);

    const bool repaired = fs::exists(root_ / "saved.reg");
    EXPECT_EQ(fixed["backup"].is_null(), !repaired);
    if (repaired) {
        EXPECT_EQ(fixed["backup"], "saved.reg");
        must("import saved.reg");
        EXPECT_EQ(doctor("", 1)["problems"], report["problems"]);
        EXPECT_EQ(parseRegFile(must("export")), parseRegFile(before));
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, DoctorFinds, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<TFault>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Repair, DoctorOptionsAndStatus) {
    installHealthyGames();
    fs::remove_all(root_ / "C/Games/B");
    importText(kUninstall + "Z]\r\n\"DisplayName\"=\"Z\"\r\n");
    // The arguments, the exit status and a pattern that stdout must match.
    const std::tuple<const char*, int, const char*> steps[] = {
        {"doctor A", 0, "^no problem found\n$"},
        {"doctor B", 1, "^B\t\tmissing-folder\tno\tthe game folder C:\\\\Games\\\\B [^\n]+\n$"},
        {"doctor Y", 2, "^$"},
        {"doctor --forget-missing", 2, "^$"},
        {"doctor --backup x.reg", 2, "^$"},
        {"doctor --fix --backup /nonexistent/x.reg", 3, "^$"},
        {"doctor B --fix", 1, "^B\t\tmissing-folder\tno\t"},
        {"doctor --fix", 1,
         "^saved the keys to be repaired in orvane-backup-[0-9]{8}-[0-9]{6}\\.reg\n"},
        {"doctor", 1, "^B\t\tmissing-folder\tno\t[^\n]+\n$"},
    };
    runSteps(steps);
}

TEST_F(Repair, AnExportImportedIntoAnEmptyHiveExportsTheSameBytes) {
    installHealthyGames();
    must(
        "set A --total-size 18446744073709551615 --compat 'LINE1\nLINE2' --vfs-version -1 --upid "
        "7");
    must("client bandwidth --current 5 --max 123456789012");
    must("client flag 7 on");
    importText(kUninstall + "A]\r\n\"Extra\"=hex(7):41,00,00,00,00,00\r\n\"Bin\"=hex:\r\n");
    ASSERT_EQ(run("export -o all.reg").status, 0);
    const std::string text = must("export");

    hive_ = "empty.sqlite3";
    EXPECT_EQ(must("import all.reg --dry-run").find("would create key"), 0u);
    EXPECT_EQ(must("list --json"), "[]\n");
    must("import all.reg");
    EXPECT_EQ(must("export"), text);
    ASSERT_EQ(run("export -o again.reg").status, 0);
    EXPECT_EQ(readFile(root_ / "again.reg"), readFile(root_ / "all.reg"));
    EXPECT_EQ(must("import all.reg"), "0 changes imported\n");
}

// Each file is refused with the line of its fault, and nothing of it is written, not even the
// valid key before the fault (the faults themselves are RegImportTest's).
TEST_F(Repair, ABadFileIsRefusedWithItsLineAndWritesNothing) {
    installHealthyGames();
    const std::string before = must("export");
    const std::string valid = kApplications + "A]\r\n\"Version\"=\"9\"\r\n";
    const std::pair<std::string, int> files[] = {
        {"REGEDIT5\r\n" + valid, 1},
        {kHeader + valid + "[HKEY_CURRENT_USER\\Software\\Other]\r\n", 5},
        {kHeader + valid + "\"Path\"=\"unclosed\r\n", 5},
    };
    for (const auto& [text, line] : files) {
        SCOPED_TRACE(text);
        writeText("bad.reg", text);
        TRun result = run("import bad.reg");
        EXPECT_EQ(result.status, 2);
        EXPECT_TRUE(std::regex_search(
            result.err, std::regex("^orvane: bad\\.reg:" + std::to_string(line) + ": [^\n]+\n$")))
            << result.err;
    }
    EXPECT_EQ(run("import missing.reg").status, 2);
    EXPECT_EQ(must("export"), before);
}

}  // namespace
