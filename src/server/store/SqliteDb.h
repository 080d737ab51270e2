#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// One SQLite connection. Failures throw EStoreUnavailable naming the file and SQLite's reason.
class TSqliteDb {
  public:
    // flags: SQLITE_OPEN_* (the connection is never shared between threads at once).
    TSqliteDb(std::string path, int flags);
    ~TSqliteDb();
    TSqliteDb(const TSqliteDb&) = delete;
    TSqliteDb& operator=(const TSqliteDb&) = delete;

    sqlite3* Handle() const { return m_db; }
    const std::string& Path() const { return m_path; }
    // Runs statements that return nothing worth reading.
    void Exec(std::string_view sql);
    std::int64_t QueryInt(std::string_view sql);
    [[noreturn]] void Fail(std::string_view what) const;

  private:
    std::string m_path;
    sqlite3* m_db = nullptr;
};

// A prepared statement, reset and cleared of bindings by Reset().
class TSqliteStatement {
  public:
    TSqliteStatement(TSqliteDb& db, std::string_view sql);
    ~TSqliteStatement();
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    TSqliteStatement& Bind(int index, std::int64_t value);
    TSqliteStatement& Bind(int index, std::string_view text);
    TSqliteStatement& BindBlob(int index, std::string_view bytes);
    // True while a row is available; false when done.
    bool Step();
    void Reset();
    std::int64_t Int(int column) const;
    std::string Text(int column) const;
    std::string Blob(int column) const;

  private:
    TSqliteDb& m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Resets its statement on the way out, whatever happened.
class TStatementUse {
  public:
    explicit TStatementUse(TSqliteStatement& statement) : m_statement(statement) {}
    ~TStatementUse() { m_statement.Reset(); }
    TStatementUse(const TStatementUse&) = delete;
    TStatementUse& operator=(const TStatementUse&) = delete;
    TSqliteStatement* operator->() { return &m_statement; }
    TSqliteStatement& operator*() { return m_statement; }

  private:
    TSqliteStatement& m_statement;
};
