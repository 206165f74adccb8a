#include "pal/src/SqlStatement.h"

#include <cstring>

namespace OrvaneLib::Pal {

void checkSqlite(int result) {
    if (result != SQLITE_OK && result != SQLITE_ROW && result != SQLITE_DONE) {
        throw THiveError(result);
    }
}

TSqlStatement::~TSqlStatement() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

TSqlStatement& TSqlStatement::bind(int index, int64_t value) {
    checkSqlite(sqlite3_bind_int64(statement_, index, value));
    return *this;
}

TSqlStatement& TSqlStatement::bind(int index, const void* data, size_t size) {
    static const char empty = 0;
    checkSqlite(
        sqlite3_bind_blob64(statement_, index, size > 0 ? data : &empty, size, SQLITE_TRANSIENT));
    return *this;
}

bool TSqlStatement::step() {
    int result = sqlite3_step(statement_);
    checkSqlite(result);
    return result == SQLITE_ROW;
}

void TSqlStatement::run() {
    while (step()) {
    }
}

int64_t TSqlStatement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

bool TSqlStatement::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::string_view TSqlStatement::view(int column) const {
    const void* data = sqlite3_column_blob(statement_, column);
    size_t size = static_cast<size_t>(sqlite3_column_bytes(statement_, column));
    if (size == 0) {
        return std::string_view();
    }
    if (data == nullptr) {
        throw THiveError(SQLITE_NOMEM);
    }
    return std::string_view(static_cast<const char*>(data), size);
}

std::string TSqlStatement::bytes(int column) const {
    return std::string(view(column));
}

std::u16string TSqlStatement::text16(int column) const {
    std::string_view raw = view(column);
    std::u16string text(raw.size() / sizeof(char16_t), u'\0');
    if (!text.empty()) {
        memcpy(&text[0], raw.data(), text.size() * sizeof(char16_t));
    }
    return text;
}

TStatementCache::~TStatementCache() {
    for (auto& entry : statements_) {
        sqlite3_finalize(entry.second);
    }
}

sqlite3_stmt* TStatementCache::get(const char* sql) {
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        return found->second;
    }
    sqlite3_stmt* statement = nullptr;
    checkSqlite(sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr));
    statements_.emplace(sql, statement);
    return statement;
}

void TStatementCache::execute(const char* sql) {
    TSqlStatement statement(get(sql));
    statement.run();
}

}  // namespace OrvaneLib::Pal
