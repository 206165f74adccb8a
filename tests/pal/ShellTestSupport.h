// Temporary trees, environment settings and text helpers for the tests of the PAL's files and
// Shell functions.
#pragma once

#include "platform/Win32Api.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace OrvaneTest {

inline std::u16string wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

inline std::string narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

// Sets (or with nullopt unsets) an environment variable for the life of the object.
class TScopedEnvironment {
public:
    TScopedEnvironment(std::string name, const std::optional<std::string>& value)
        : name_(std::move(name)) {
        if (const char* old = getenv(name_.c_str())) {
            old_ = old;
        }
        set(value);
    }
    ~TScopedEnvironment() { set(old_); }

private:
    void set(const std::optional<std::string>& value) {
        if (value) {
            setenv(name_.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    std::string name_;
    std::optional<std::string> old_;
};

// Changes the current directory for the life of the object.
class TScopedDirectory {
public:
    explicit TScopedDirectory(const std::filesystem::path& directory)
        : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(directory);
    }
    ~TScopedDirectory() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TTempTree {
public:
    TTempTree() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "orvane-pal-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
    }
    ~TTempTree() {
        std::error_code ignored;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path path(const std::string& relative) const { return root_ / relative; }

    std::filesystem::path file(const std::string& relative,
                               const std::string& content = "data") const {
        const std::filesystem::path target = path(relative);
        std::filesystem::create_directories(target.parent_path());
        std::ofstream(target) << content;
        return target;
    }
    std::filesystem::path folder(const std::string& relative) const {
        std::filesystem::create_directories(path(relative));
        return path(relative);
    }

private:
    std::filesystem::path root_;
};

}  // namespace OrvaneTest
