// Temporary trees, environment settings and text helpers for the tests of files and Shell
// functions, on the PAL and on Windows.
#pragma once

#include "win32/Win32Api.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

namespace OrvaneTest {

inline std::u16string wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

inline std::string narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

// The path with a leading "C:" replaced by drive, which the tests' drive C: stands for (a folder on
// Windows); "c:" gives drive in lower case. Other paths stay as they are.
inline std::string onDrive(const std::string& path, std::string drive) {
    if (path.compare(0, 2, "C:") != 0 && path.compare(0, 2, "c:") != 0) {
        return path;
    }
    for (char& c : drive) {
        c = path[0] == 'c' ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : c;
    }
    return drive + path.substr(2);
}

// Sets (or with nullopt unsets) an environment variable for the life of the object.
class TScopedEnvironment {
public:
    TScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = getenv(name_.c_str())) {
            old_ = old;
        }
        set(value);
    }
    ~TScopedEnvironment() { set(old_); }

private:
    void set(const std::optional<std::string>& value) {
#ifdef _WIN32
        _putenv_s(name_.c_str(), value ? value->c_str() : "");  // "" removes the variable
#else
        value ? setenv(name_.c_str(), value->c_str(), 1) : unsetenv(name_.c_str());
#endif
    }
    std::string name_;
    std::optional<std::string> old_;
};

// Changes the current directory for the life of the object.
class TScopedDirectory {
public:
    explicit TScopedDirectory(const std::filesystem::path& to) {
        std::filesystem::current_path(to);
    }
    ~TScopedDirectory() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_ = std::filesystem::current_path();
};

// Paths to and from the UTF-8 that every text of the library is.
inline std::string utf8(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
inline std::filesystem::path fromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TTempTree {
public:
    TTempTree() {
        std::random_device random;
        do {
            root_ = std::filesystem::temp_directory_path() /
                    ("orvane-pal-" + std::to_string(random() % 1000000000u));
        } while (!std::filesystem::create_directory(root_));
#ifdef _WIN32
        // The system's temporary folder may be named with 8.3 aliases; paths compare long.
        wchar_t longForm[MAX_PATH];
        const DWORD length = GetLongPathNameW(root_.c_str(), longForm, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            root_ = longForm;
        }
#endif
    }
    ~TTempTree() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    const std::filesystem::path& root() const {
        return root_;
    }
    // relative is UTF-8, as every text of the library.
    std::filesystem::path path(const std::string& relative) const {
        return root_ / fromUtf8(relative);
    }
    std::filesystem::path file(const std::string& relative,
                               const std::string& content = "data") const {
        std::filesystem::create_directories(path(relative).parent_path());
        std::ofstream(path(relative)) << content;
        return path(relative);
    }
    std::filesystem::path folder(const std::string& relative) const {
        std::filesystem::create_directories(path(relative));
        return path(relative);
    }

private:
    std::filesystem::path root_;
};

}  // namespace OrvaneTest
