// The reference host run as a user runs it: every test has its own hive and drive C:, starts the
// built orvane for each command and checks what it prints and its exit status.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using TArgs = std::vector<std::string>;

struct TRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// UTF-16LE (no surrogates needed here) to UTF-8.
std::string utf8FromUtf16(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned unit =
            static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (unit < 0x80) {
            text += static_cast<char>(unit);
        } else if (unit < 0x800) {
            text += {static_cast<char>(0xC0 | unit >> 6), static_cast<char>(0x80 | (unit & 0x3F))};
        } else {
            text +=
                {static_cast<char>(0xE0 | unit >> 12), static_cast<char>(0x80 | (unit >> 6 & 0x3F)),
                 static_cast<char>(0x80 | (unit & 0x3F))};
        }
    }
    return text;
}

// A .reg file's values by key (below HKEY_CURRENT_USER) and name ("" for @): strings unescaped,
// dword as decimal, hex(1) decoded as text.
using TRegValues = std::map<std::string, std::map<std::string, std::string>>;

std::string unquote(const std::string& line, size_t& position) {
    std::string text;
    for (++position; line[position] != '"'; ++position) {
        text += line[position] == '\\' ? line[++position] : line[position];
    }
    ++position;
    return text;
}

TRegValues parseRegFile(const std::string& text) {
    TRegValues values;
    std::string key;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.back(), '\r') << line;
        line.pop_back();
        if (line.rfind("[HKEY_CURRENT_USER\\", 0) == 0) {
            key = line.substr(19, line.size() - 20);
            values[key];
            continue;
        }
        if (line.empty() || line[0] == 'W') {
            continue;
        }
        size_t position = 0;
        std::string name = line[0] == '@' ? (++position, "") : unquote(line, position);
        std::string data = line.substr(position + 1);
        if (data[0] == '"') {
            position = 0;
            values[key][name] = unquote(data, position);
        } else if (data.rfind("dword:", 0) == 0) {
            values[key][name] = std::to_string(std::stoul(data.substr(6), nullptr, 16));
        } else if (data.rfind("hex(1):", 0) == 0) {
            std::string bytes;
            for (size_t i = 7; i < data.size(); i += 3) {
                bytes += static_cast<char>(std::stoi(data.substr(i, 2), nullptr, 16));
            }
            values[key][name] = utf8FromUtf16(bytes.substr(0, bytes.size() - 2));
        } else {
            ADD_FAILURE() << "unexpected value line: " << line;
        }
    }
    return values;
}

const std::string kRecordA = "Software\\Orvane\\Client\\Applications\\A";
const std::string kEntryA = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App A";

class Host : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvane-host-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }

    TRun run(const TArgs& args, const TArgs& extraEnvironment = {}) {
        TArgs environment{"ORVANE_PAL_HIVE=" + (root_ / "hive.sqlite3").string(),
                          "ORVANE_PAL_DRIVE_C=" + (root_ / "C").string()};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::string(*entry).rfind("ORVANE_PAL_", 0) != 0) {
                environment.push_back(*entry);
            }
        }
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        TArgs command{ORVANE_HOST_PATH};
        command.insert(command.end(), args.begin(), args.end());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string out = (root_ / "out").string();
        const std::string err = (root_ / "err").string();
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t child = 0;
        TRun result;
        if (posix_spawn(&child, command[0].c_str(), &actions, nullptr, pointers(command).data(),
                        pointers(environment).data()) == 0 &&
            waitpid(child, &result.status, 0) == child) {
            result.status = WIFEXITED(result.status) ? WEXITSTATUS(result.status) : -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        result.out = readFile(out);
        result.err = readFile(err);
        return result;
    }

    // Runs a command that must succeed.
    std::string must(const TArgs& args) {
        TRun result = run(args);
        EXPECT_EQ(result.status, 0) << args[0] << ": " << result.err;
        return result.out;
    }

    void makeFile(const std::string& relative) {
        fs::path file = root_ / "C" / relative;
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "data";
    }
    bool onDrive(const std::string& relative) const { return fs::exists(root_ / "C" / relative); }

    // The client at C:\Client; game A with files, user data and a package; game B with a record.
    void installTwoGames() {
        makeFile("Client/Orvane.exe");
        for (const char* file : {"Games/A/a.exe", "Games/A/data/1.pak", "Games/A/data/2.pak",
                                 "Client/content/userdata/A/save"}) {
            makeFile(file);
        }
        must({"client-dir", "C:\\Client"});
        must({"register", "A", "--path", "C:\\Games\\A\\a.exe", "--install-path", "C:\\Games\\A",
              "--name", "Game \"A\" \\ \xC3\x84", "--version", "1.0", "--icon",
              "C:\\Games\\A\\a.ico"});
        must({"set", "A", "--total-size", "18446744073709551615", "--install-size", "50",
              "--compat", "LINE1\nLINE2", "--vfs-version", "3", "--upid", "7"});
        must({"package", "add", "A", "dlc", "--path", "C:\\Games\\A\\dlc", "--version", "2"});
        must({"register", "B", "--path", "C:\\Games\\B", "--install-path", "C:\\Games\\B", "--name",
              "B", "--version", "0.9", "--icon", "b.ico"});
    }

    static std::vector<char*> pointers(TArgs& texts) {
        std::vector<char*> result;
        for (std::string& text : texts) {
            result.push_back(text.data());
        }
        result.push_back(nullptr);
        return result;
    }

    fs::path root_;
};

TEST_F(Host, EachCommandChangesOrShowsTheRecords) {
    struct TStep {
        TArgs args;
        int status;
        const char* out;  // a pattern that stdout must contain
    };
    const TStep steps[] = {
        {{"client-dir"}, 1, "^$"},
        {{"client-dir", "C:\\Client"}, 0, "^$"},
        {{"client-dir"}, 0, "^C:\\\\Client\n$"},
        {{"register", "A", "--path", "C:\\G\\A", "--install-path", "C:\\G\\A", "--name", "Game A",
          "--version", "1.0", "--icon", "a.ico"},
         0,
         "^$"},
        {{"set", "A", "--total-size", "100", "--install-size", "50", "--upid", "7"}, 0, "^$"},
        {{"list"}, 0, "\nA +Game A +1\\.0 +yes +100 +50\n"},
        {{"show", "A"}, 0, "UPID: +7\n(.|\n)*packages: none"},
        {{"package", "add", "A", "dlc", "--path", "C:\\G\\A\\dlc", "--version", "2"}, 0, "^$"},
        {{"package", "list", "A"}, 0, "\ndlc +2 +yes +C:\\\\G\\\\A\\\\dlc\n"},
        {{"package", "remove", "A", "dlc"}, 0, "^$"},
        {{"package", "list", "A"}, 0, "^PACKAGE +VERSION +INSTALLED +PATH\n$"},
        {{"client", "bandwidth", "--current", "5", "--max", "123456789012"}, 0, "^$"},
        {{"client", "bandwidth"}, 0, "^current: 5\nmax measured: 123456789012\n$"},
        {{"client", "flag", "7", "on"}, 0, "^$"},
        {{"client", "flag", "7"}, 0, "^on\n$"},
        {{"client", "flag", "8"}, 0, "^off\n$"},
        {{"show", "Z"}, 1, "^$"},
        {{"uninstall", "Z"}, 1, "^$"},
    };
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.args[0] + (step.args.size() > 1 ? " " + step.args[1] : ""));
        TRun result = run(step.args);
        EXPECT_EQ(result.status, step.status) << result.err;
        EXPECT_TRUE(std::regex_search(result.out, std::regex(step.out))) << result.out;
    }
}

TEST_F(Host, JsonReadsBackAsTheRecords) {
    installTwoGames();
    auto games = nlohmann::json::parse(must({"list", "--json"}));
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[0], nlohmann::json::parse(must({"show", "A", "--json"})));
    const auto& a = games[0];
    EXPECT_EQ(a["id"], "A");
    EXPECT_EQ(a["name"], "Game \"A\" \\ \xC3\x84");
    EXPECT_EQ(a["installed"], true);
    EXPECT_EQ(a["totalSize"], 18446744073709551615ull);
    EXPECT_EQ(a["compatibilityFlags"], "LINE1\nLINE2");
    EXPECT_EQ(a["upid"], 7);
    EXPECT_EQ(a["packages"], nlohmann::json::parse(R"([{"id":"dlc","version":"2",
        "path":"C:\\Games\\A\\dlc","installed":true}])"));
    EXPECT_TRUE(games[1]["vfsVersion"].is_null());
    EXPECT_EQ(games[1]["totalSize"], 0);
}

TEST_F(Host, UninstallShowsProgressThenRemovesFilesAndRecord) {
    installTwoGames();
    TRun result = run({"uninstall", "A"});
    EXPECT_EQ(result.status, 0) << result.err;
    std::istringstream lines(result.out);
    std::vector<std::pair<unsigned, unsigned>> progress;
    std::string line;
    while (std::getline(lines, line) && line.rfind("progress ", 0) == 0) {
        unsigned done = 0, total = 0;
        ASSERT_EQ(sscanf(line.c_str(), "progress %u/%u", &done, &total), 2) << line;
        progress.emplace_back(done, total);
    }
    EXPECT_EQ(line, "uninstalled A");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().first, progress.back().second);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_FALSE(onDrive("Games/A"));
    EXPECT_FALSE(onDrive("Client/content/userdata/A"));
    EXPECT_TRUE(onDrive("Client/Orvane.exe"));
    EXPECT_EQ(nlohmann::json::parse(must({"list", "--json"}))[0]["id"], "B");
}

TEST_F(Host, UninstallThatStopsFailsAndKeepsTheRecord) {
    makeFile("Games/A/a.exe");
    TRun registered = run({"register", "A", "--path", "C:\\Games\\A\\a.exe", "--install-path",
                           "C:\\Games\\A", "--name", "A", "--version", "1", "--icon", "i"});
    EXPECT_EQ(registered.status, 0);
    EXPECT_NE(registered.err.find("client directory is not set"), std::string::npos);
    TRun result = run({"uninstall", "A"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("did not complete: Uninstall stopped"), std::string::npos)
        << result.err;
    EXPECT_TRUE(onDrive("Games/A/a.exe"));
    EXPECT_EQ(nlohmann::json::parse(must({"show", "A", "--json"}))["installed"], true);
}

TEST_F(Host, BadInputIsRefusedWithStatus2AndChangesNothing) {
    installTwoGames();
    const std::string before = must({"export"});
    const TArgs registration{"--path",    "p", "--install-path", "p", "--name", "n",
                             "--version", "v", "--icon",         "i"};
    auto registerAs = [&registration](const std::string& id) {
        TArgs args{"register", id};
        args.insert(args.end(), registration.begin(), registration.end());
        return args;
    };
    const TArgs cases[] = {
        {},
        {"frob"},
        {"list", "--frob"},
        {"client", "frob"},
        {"set", "A"},
        {"set", "A", "--total-size", "12abc"},
        {"set", "A", "--total-size", "18446744073709551616"},
        {"set", "A", "--install-size", "-1"},
        {"set", "A", "--upid", "-1"},
        {"set", "A", "--vfs-version", "2147483648"},
        {"set", "A", "--compat", ""},
        {"client", "bandwidth", "--max", "1e3"},
        {"client", "flag", "4294967296", "on"},
        {"client", "flag", "1", "yes"},
        {"client-dir", ""},
        {"register", "C", "--path", "p"},
        {"register", "C", "--path", "", "--install-path", "p", "--name", "n", "--version", "v",
         "--icon", "i"},
        registerAs(""),
        registerAs("."),
        registerAs(".."),
        registerAs("C\\D"),
        registerAs("C/D"),
        {"package", "add", "A", "x\\y", "--path", "p", "--version", "v"},
        {"package", "remove", "A", ".."},
        {"uninstall", "A/.."},
        {"export", "-o", ""},
    };
    for (const TArgs& args : cases) {
        std::string shown;
        for (const std::string& arg : args) {
            shown += "[" + arg + "]";
        }
        SCOPED_TRACE(shown);
        TRun result = run(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(std::regex_match(result.err, std::regex("orvane: [^\n]+\n"))) << result.err;
    }
    EXPECT_EQ(must({"export"}), before);
}

TEST_F(Host, LogLinesReachStderrByLevel) {
    struct TCase {
        TArgs args;
        TArgs environment;
        int status;
        const char* err;  // a pattern for the whole of stderr
    };
    const char* registration[] = {"--path",    "p", "--install-path", "p", "--name", "n",
                                  "--version", "v", "--icon",         "i"};
    TArgs registerA{"register", "A"};
    registerA.insert(registerA.end(), std::begin(registration), std::end(registration));
    TArgs verboseList{"--verbose", "list"};
    const TCase cases[] = {
        // The library notes at level 0 that no game was ever recorded.
        {{"list"}, {}, 0, "^$"},
        {verboseList, {}, 0, "^Orvane\\.dll info: [^\n]+ \\[[^\n]+:[0-9]+\\]\n$"},
        {registerA,
         {"ORVANE_PAL_FAULTS=RegCreateKeyExW=5"},
         1,
         "Orvane\\.dll warning: Failed setting registry key: [^\n]+ \\[[^\n]+:[0-9]+\\]\n"
         "orvane: registration of \"A\" did not complete\n$"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.args[0]);
        TRun result = run(c.args, c.environment);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(std::regex_search(result.err, std::regex(c.err))) << result.err;
    }
}

// No library call raises on demand (its severe reports need a failed allocation), so the hidden
// command raises one through the same reportError and RaiseException.
TEST_F(Host, SevereReportIsPrintedAndEndsWithStatus3) {
    TRun result = run({"debug-raise"});
    EXPECT_EQ(result.status, 3);
    EXPECT_TRUE(std::regex_search(
        result.err, std::regex("\norvane: severe failure: QVX programming \\(please report to "
                               "Tavimor\\), severity 3: Test report raised on request "
                               "\\[tools\\\\orvane\\\\ReportHandler\\.cpp:[0-9]+\\]\n$")))
        << result.err;
}

TEST_F(Host, ExportWritesTheRecordsAsRegistryEditorFile) {
    installTwoGames();
    ASSERT_EQ(run({"export", "-o", (root_ / "all.reg").string()}).status, 0);
    const std::string file = readFile(root_ / "all.reg");
    ASSERT_EQ(file.substr(0, 2), "\xFF\xFE");
    const std::string text = utf8FromUtf16(file.substr(2));
    EXPECT_EQ(text, must({"export"}));
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n\r\n[", 0), 0u);

    TRegValues values = parseRegFile(text);
    EXPECT_EQ(values["Software\\Orvane\\Client"][""], "C:\\Client");
    const std::map<std::string, std::string> record{{"Path", "C:\\Games\\A\\a.exe"},
                                                    {"InstallPath", "C:\\Games\\A"},
                                                    {"Version", "1.0"},
                                                    {"TotalSize", "18446744073709551615"},
                                                    {"InstallSize", "50"},
                                                    {"CompatibilityFlags", "LINE1\nLINE2"},
                                                    {"VFSVersion", "3"},
                                                    {"UPID", "7"}};
    EXPECT_EQ(values[kRecordA], record);
    EXPECT_EQ(
        values[kRecordA + "\\Packages\\dlc"],
        (std::map<std::string, std::string>{{"Version", "2"}, {"Path", "C:\\Games\\A\\dlc"}}));
    EXPECT_EQ(values[kEntryA]["DisplayName"], "Game \"A\" \\ \xC3\x84");
    EXPECT_EQ(values[kEntryA]["NoModify"], "1");
    EXPECT_EQ(values[kEntryA]["QuietUninstallString"],
              "\"C:\\Client\\Orvane.exe\" /uninstall A /S");
    EXPECT_EQ(values.count("Software\\Orvane\\Client\\Applications\\B"), 1u);

    TRegValues onlyA = parseRegFile(must({"export", "A"}));
    EXPECT_EQ(onlyA.size(), 3u);
    EXPECT_EQ(onlyA[kRecordA], record);
}

TEST_F(Host, ExecutableExportsOnlyOutputLogString) {
    FILE* symbols = popen("nm -D --defined-only " ORVANE_HOST_PATH, "r");
    ASSERT_NE(symbols, nullptr);
    std::vector<std::string> functions;
    char name[512];
    char type = 0;
    while (fscanf(symbols, "%*s %c %511s", &type, name) == 2) {
        if (type == 'T') {
            functions.push_back(name);
        }
    }
    pclose(symbols);
    EXPECT_EQ(functions, TArgs{"outputLogString"});
}

}  // namespace
