// The reference host run as a user runs it: every test has its own hive and drive C:, starts the
// built orvane for each command and checks what it prints and its exit status.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>

namespace OrvaneHostTest {

namespace fs = std::filesystem;
using nlohmann::json;

struct TRun {
    int status;
    std::string out, err;
};

inline std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// UTF-16LE to UTF-8, for the characters below U+0800 that the texts here hold.
inline std::string utf8FromUtf16(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned unit =
            static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (unit >= 0x80) {
            text += static_cast<char>(0xC0 | unit >> 6);
        }
        text += static_cast<char>(unit >= 0x80 ? 0x80 | (unit & 0x3F) : unit);
    }
    return text;
}

// A .reg file's values by key (below HKEY_CURRENT_USER) and name ("" for @): strings unescaped,
// other data as written.
inline std::string unquote(const std::string& line, size_t& position) {
    std::string text;
    for (++position; line[position] != '"'; ++position) {
        text += line[position] == '\\' ? line[++position] : line[position];
    }
    ++position;
    return text;
}

inline json parseRegFile(const std::string& text) {
    json values = json::object();
    std::string key;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.back(), '\r') << line;
        line.pop_back();
        if (line.rfind("[HKEY_CURRENT_USER\\", 0) == 0) {
            key = line.substr(19, line.size() - 20);
            values[key] = json::object();
        } else if (!line.empty() && line[0] != 'W') {
            size_t position = 0;
            const std::string name = line[0] == '@' ? (++position, "") : unquote(line, position);
            const std::string data = line.substr(position + 1);
            values[key][name] = data[0] == '"' ? unquote(data, position = 0) : data;
        }
    }
    return values;
}

inline const std::string kRecordA = "Software\\Orvane\\Client\\Applications\\A";
inline const std::string kEntryA =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane App A";

// The arguments of a registration after its id and path, as the shell reads them.
inline const std::string kRest = " --install-path p --name n --version v --icon i";

class Host : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvane-host-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }

    // words: the arguments as the shell reads them; settings: environment settings, likewise.
    TRun run(const std::string& words, const std::string& settings = "") {
        const std::string root = root_.string();
        const std::string command =
            "cd " + root + " && env -u ORVANE_PAL_FAULTS ORVANE_PAL_HIVE=" + root + "/" + hive_ +
            " ORVANE_PAL_DRIVE_C=" + root + "/C " + settings + " " + ORVANE_HOST_PATH + " " +
            words + " >" + root + "/out 2>" + root + "/err";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(root_ / "out"),
                readFile(root_ / "err")};
    }
    // Runs each command of (arguments, exit status, a pattern that stdout must contain), with the
    // environment settings given.
    template <typename TSteps>
    void runSteps(const TSteps& steps, const std::string& settings = "") {
        for (const auto& [words, status, out] : steps) {
            SCOPED_TRACE(words);
            TRun result = run(words, settings);
            EXPECT_EQ(result.status, status) << result.err;
            EXPECT_TRUE(std::regex_search(result.out, std::regex(out))) << result.out;
        }
    }
    // Runs a command that must succeed.
    std::string must(const std::string& words) {
        TRun result = run(words);
        EXPECT_EQ(result.status, 0) << words << ": " << result.err;
        return result.out;
    }

    // The client at C:\Client; game A with files, user data and a package; game B with a record.
    void installTwoGames() {
        for (const char* file : {"Client/Orvane.exe", "Games/A/a.exe", "Games/A/data/1.pak",
                                 "Client/content/userdata/A/save"}) {
            fs::create_directories((root_ / "C" / file).parent_path());
            std::ofstream(root_ / "C" / file) << "data";
        }
        must("client-dir 'C:\\Client'");
        must(
            "register A --path 'C:\\Games\\A\\a.exe' --install-path 'C:\\Games\\A' --name "
            "'Game \"A\" \\ \xC3\x84' --version 1.0 --icon 'C:\\Games\\A\\a.ico'");
        must(
            "set A --total-size 18446744073709551615 --install-size 50 --compat 'LINE1\nLINE2' "
            "--vfs-version 3 --upid 7");
        must("package add A dlc --path 'C:\\Games\\A\\dlc' --version 2");
        must(
            "register B --path 'C:\\Games\\B' --install-path 'C:\\Games\\B' --name B "
            "--version 0.9 --icon b.ico");
    }

    fs::path root_;
    // The hive file in root_ that the commands use: a test may switch to an empty one.
    std::string hive_ = "hive.sqlite3";
};

}  // namespace OrvaneHostTest
