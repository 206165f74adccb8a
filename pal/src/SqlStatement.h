// Thin RAII layer over SQLite for the hive: prepared statements kept per connection, and failures
// turned into one exception that the hive's transaction boundary catches.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <string>
#include <string_view>

namespace OrvaneLib::Pal {

// A SQLite call failed with `code` (a SQLite result code). Never leaves the PAL.
class THiveError : public std::exception {
public:
    explicit THiveError(int code) : code_(code) {}
    int code() const { return code_; }
    const char* what() const noexcept override { return "hive error"; }

private:
    int code_;
};

// One use of a prepared statement; resets it and clears its bindings when it goes.
class TSqlStatement {
public:
    explicit TSqlStatement(sqlite3_stmt* statement) : statement_(statement) {}
    TSqlStatement(const TSqlStatement&) = delete;
    TSqlStatement& operator=(const TSqlStatement&) = delete;
    ~TSqlStatement();

    TSqlStatement& bind(int index, int64_t value);
    // An empty blob binds as an empty blob, never as NULL.
    TSqlStatement& bind(int index, const void* data, size_t size);
    TSqlStatement& bind(int index, const std::string& bytes) {
        return bind(index, bytes.data(), bytes.size());
    }
    TSqlStatement& bind(int index, std::u16string_view text) {
        return bind(index, text.data(), text.size() * sizeof(char16_t));
    }

    // True when a row is ready, false when the statement is done.
    bool step();
    void run();

    int64_t integer(int column) const;
    bool isNull(int column) const;
    std::string bytes(int column) const;
    // The column's bytes as SQLite holds them, until the next step.
    std::string_view view(int column) const;
    std::u16string text16(int column) const;

private:
    sqlite3_stmt* statement_;
};

// The prepared statements of one connection, by their SQL text.
class TStatementCache {
public:
    explicit TStatementCache(sqlite3* db) : db_(db) {}
    TStatementCache(const TStatementCache&) = delete;
    TStatementCache& operator=(const TStatementCache&) = delete;
    ~TStatementCache();

    sqlite3_stmt* get(const char* sql);
    void execute(const char* sql);
    sqlite3* db() const { return db_; }

private:
    sqlite3* db_;
    // Looked up by the SQL text without making a std::string of it.
    std::map<std::string, sqlite3_stmt*, std::less<>> statements_;
};

// Throws THiveError unless `result` is one of SQLite's success codes.
void checkSqlite(int result);

}  // namespace OrvaneLib::Pal
