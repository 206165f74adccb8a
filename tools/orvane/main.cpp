// orvane: the reference host of Orvane.dll, for developers and support engineers who inspect and
// repair the current user's installed-games records.

#include "Common/General/TLogSystem.h"
#include "tools/orvane/Commands.h"
#include "tools/orvane/HostLog.h"
#include "tools/orvane/HostRegistry.h"
#include "tools/orvane/RepairCommands.h"
#include "tools/orvane/ReportHandler.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

using namespace OrvaneHost;

namespace {

// Ids name one registry key and one folder: refused when they would address others.
CLI::Validator recordId() {
    return CLI::Validator(
        [](std::string& id) -> std::string {
            if (id.empty() || id == "." || id == ".." ||
                id.find_first_of("\\/") != std::string::npos) {
                return "not a usable id: \"" + id + "\"";
            }
            return {};
        },
        "ID");
}

CLI::Validator notEmpty() {
    return CLI::Validator(
        [](std::string& text) -> std::string { return text.empty() ? "must not be empty" : ""; },
        "TEXT");
}

// Plain decimal digits, at most 20 of them, whose value is at most limit.
bool readDigits(const std::string& digits, uint64_t limit, uint64_t& value) {
    value = 0;
    bool valid = !digits.empty() && digits.size() <= 20;
    for (char c : digits) {
        valid = valid && c >= '0' && c <= '9' && value <= (limit - (c - '0')) / 10;
        value = valid ? value * 10 + (c - '0') : 0;
    }
    return valid;
}

// The text is passed on in canonical form.
CLI::Validator decimal(uint64_t max) {
    return CLI::Validator(
        [max](std::string& text) -> std::string {
            uint64_t value = 0;
            if (!readDigits(text, max, value)) {
                return "\"" + text + "\" is not a whole number from 0 to " + std::to_string(max);
            }
            text = std::to_string(value);
            return {};
        },
        "NUMBER");
}

// A signed 32-bit number, as the records store them: an optional minus sign, then digits.
CLI::Validator signedNumber() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            const bool negative = !text.empty() && text[0] == '-';
            const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
            uint64_t magnitude = 0;
            if (!readDigits(text.substr(negative ? 1 : 0), limit, magnitude)) {
                return "\"" + text + "\" is not a whole number from -2147483648 to 2147483647";
            }
            text = std::to_string(negative ? -static_cast<int64_t>(magnitude)
                                           : static_cast<int64_t>(magnitude));
            return {};
        },
        "NUMBER");
}

constexpr uint64_t kMaxSize = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kMaxFlagId = std::numeric_limits<uint32_t>::max();

template <typename T>
std::optional<T> given(const CLI::Option* option, const T& value) {
    return option->count() > 0 ? std::optional<T>(value) : std::nullopt;
}

// The arguments as UTF-8, the encoding of every text the records hold. Windows hands main() the
// ANSI code page, which turns every character beyond ASCII into a replacement character.
std::vector<std::string> utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(toUtf8(reinterpret_cast<const char16_t*>(wide[i])));
    }
    LocalFree(wide);
    return arguments;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    installReportHandler();
    if (OrvaneLib::logSystem) {
        OrvaneLib::logSystem->addStrategy(new OrvaneLib::TCurrentProcessLogStrategy("orvane"));
    }

    CLI::App app{"Inspects and manages the current user's installed-games records of Orvane.dll.",
                 "orvane"};
    app.footer("Exit status: 0 done, 1 failed (reason on stderr), 2 bad input, 3 severe failure.");
    app.fallthrough();
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose, "Show every log line, with its level and source");

    std::function<int()> action;
    auto bind = [&action](CLI::App* command, std::function<int()> run) {
        command->callback([&action, run] { action = run; });
    };

    std::string id;
    std::string packageId;
    bool json = false;
    bool dryRun = false;

    auto* clientDir = app.add_subcommand("client-dir", "Show or set the client's directory");
    std::string directory;
    auto* directoryArg = clientDir->add_option("PATH", directory)->check(notEmpty());
    bind(clientDir, [&] {
        return directoryArg->count() > 0 ? setClientDirectory(directory) : showClientDirectory();
    });

    auto* reg = app.add_subcommand("register", "Record a game and list it in Windows");
    TRegistration registration;
    reg->add_option("ID", registration.id)->required()->check(recordId());
    reg->add_option("--path", registration.path)->required()->check(notEmpty());
    reg->add_option("--install-path", registration.installPath)->required()->check(notEmpty());
    reg->add_option("--name", registration.name)->required()->check(notEmpty());
    reg->add_option("--version", registration.version)->required()->check(notEmpty());
    reg->add_option("--icon", registration.icon)->required()->check(notEmpty());
    bind(reg, [&] { return registerGame(registration); });

    auto* list = app.add_subcommand("list", "List the recorded games");
    list->add_flag("--json", json, "As JSON");
    bind(list, [&] { return listGames(json); });

    auto* show = app.add_subcommand("show", "Show every property and package of a game");
    show->add_option("ID", id)->required()->check(recordId());
    show->add_flag("--json", json, "As JSON");
    bind(show, [&] { return showGame(id, json); });

    auto* set = app.add_subcommand("set", "Change properties of a game");
    uint64_t totalSize = 0;
    uint64_t installSize = 0;
    std::string compatibilityFlags;
    int32_t vfsVersion = 0;
    int32_t upid = 0;
    set->add_option("ID", id)->required()->check(recordId());
    auto* totalOpt = set->add_option("--total-size", totalSize)->transform(decimal(kMaxSize));
    auto* installOpt = set->add_option("--install-size", installSize)->transform(decimal(kMaxSize));
    auto* compatOpt = set->add_option("--compat", compatibilityFlags)->check(notEmpty());
    auto* vfsOpt = set->add_option("--vfs-version", vfsVersion)->transform(signedNumber());
    auto* upidOpt = set->add_option("--upid", upid)->transform(signedNumber());
    bind(set, [&] {
        return setGameProperties({id, given(totalOpt, totalSize), given(installOpt, installSize),
                                  given(compatOpt, compatibilityFlags), given(vfsOpt, vfsVersion),
                                  given(upidOpt, upid)});
    });

    auto* package = app.add_subcommand("package", "Manage the packages of a game");
    std::string packagePath;
    std::string packageVersion;
    auto* packageAdd = package->add_subcommand("add", "Record a package");
    packageAdd->add_option("ID", id)->required()->check(recordId());
    packageAdd->add_option("PKG", packageId)->required()->check(recordId());
    packageAdd->add_option("--path", packagePath)->required()->check(notEmpty());
    packageAdd->add_option("--version", packageVersion)->required()->check(notEmpty());
    bind(packageAdd, [&] { return addPackage(id, packageId, packagePath, packageVersion); });
    auto* packageList = package->add_subcommand("list", "List the packages of a game");
    packageList->add_option("ID", id)->required()->check(recordId());
    bind(packageList, [&] { return listPackages(id); });
    auto* packageRemove = package->add_subcommand("remove", "Remove the record of a package");
    packageRemove->add_option("ID", id)->required()->check(recordId());
    packageRemove->add_option("PKG", packageId)->required()->check(recordId());
    bind(packageRemove, [&] { return removePackage(id, packageId); });

    auto* uninstall = app.add_subcommand("uninstall", "Delete a game's files, then its record");
    uninstall->add_option("ID", id)->required()->check(recordId());
    uninstall->add_flag("--dry-run", dryRun,
                        "Print the folders that would be deleted, or why uninstall would refuse");
    bind(uninstall, [&] { return dryRun ? planUninstall(id) : uninstallGame(id); });

    auto* client = app.add_subcommand("client", "Client-wide settings");
    auto* bandwidth = client->add_subcommand("bandwidth", "Show or set the measured bandwidth");
    uint64_t current = 0;
    uint64_t max = 0;
    auto* currentOpt = bandwidth->add_option("--current", current)->transform(decimal(kMaxSize));
    auto* maxOpt = bandwidth->add_option("--max", max)->transform(decimal(kMaxSize));
    bind(bandwidth,
         [&] { return clientBandwidth(given(currentOpt, current), given(maxOpt, max)); });
    auto* flag = client->add_subcommand("flag", "Show or set a numbered on/off flag");
    uint32_t flagId = 0;
    std::string state;
    flag->add_option("ID", flagId)->required()->transform(decimal(kMaxFlagId));
    auto* stateArg = flag->add_option("STATE", state)->check(CLI::IsMember({"on", "off"}));
    bind(flag, [&] {
        return clientFlag(
            flagId, stateArg->count() > 0 ? std::optional<bool>(state == "on") : std::nullopt);
    });

    auto* exportCommand = app.add_subcommand("export", "Write the records as a .reg file");
    std::string file;
    exportCommand->add_option("ID", id)->check(recordId());
    exportCommand->add_option("-o,--output", file, "UTF-16 file; stdout (UTF-8) without it")
        ->check(notEmpty());
    bind(exportCommand, [&] { return exportRecords(id, file); });

    auto* importCommand = app.add_subcommand("import", "Apply a .reg file to the records");
    importCommand->add_option("FILE", file, "Registry Editor file (UTF-16 or UTF-8)")
        ->required()
        ->check(notEmpty());
    importCommand->add_flag("--dry-run", dryRun, "Only print what would change");
    bind(importCommand, [&] { return importRecords(file, dryRun); });

    auto* doctor = app.add_subcommand("doctor", "Find and repair broken game records");
    TDoctorRequest doctorRequest;
    doctor->add_option("ID", doctorRequest.ids)->check(recordId());
    doctor->add_flag("--json", doctorRequest.json, "As JSON");
    auto* fixFlag = doctor->add_flag("--fix", doctorRequest.fix, "Repair what can be repaired");
    doctor
        ->add_flag("--forget-missing", doctorRequest.forgetMissing,
                   "With --fix: delete the records of games and packages whose folder is gone "
                   "(never files)")
        ->needs(fixFlag);
    doctor
        ->add_option("--backup", doctorRequest.backupFile,
                     "With --fix: where to save the keys first (default: a timestamped file here)")
        ->check(notEmpty())
        ->needs(fixFlag);
    bind(doctor, [&] { return doctorRecords(doctorRequest); });

    // Hidden: raises a severe report through the path the library uses, to check the handler.
    auto* raise = app.add_subcommand("debug-raise")->group("");
    bind(raise, []() -> int { raiseTestReport(); });

    std::vector<std::string> arguments = utf8Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error);
        }
        std::string message = error.what();
        std::replace(message.begin(), message.end(), '\n', ' ');
        fprintf(stderr, "orvane: %s\n", message.c_str());
        return kBadInput;
    }
    if (!action) {
        fprintf(stderr, "orvane: a command is required (see --help)\n");
        return kBadInput;
    }
    setVerboseLog(verbose);
    try {
        return action();
    } catch (const std::exception& error) {
        fprintf(stderr, "orvane: severe failure: %s\n", error.what());
        return kSevereFailureStatus;
    }
}
