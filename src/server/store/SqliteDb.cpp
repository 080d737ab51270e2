#include "server/store/SqliteDb.h"

#include "server/store/ScoreStore.h"

#include <sqlite3.h>

namespace {
constexpr int kBusyTimeoutMs = 5000; // an operator's command may hold the file for a moment
}

TSqliteDb::TSqliteDb(std::string path, int flags) : m_path(std::move(path)) {
    int rc = sqlite3_open_v2(m_path.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string reason = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw EStoreUnavailable(m_path + ": cannot open the database: " + reason);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
}

TSqliteDb::~TSqliteDb() {
    sqlite3_close_v2(m_db);
}

void TSqliteDb::Fail(std::string_view what) const {
    throw EStoreUnavailable(m_path + ": " + std::string(what) + ": " + sqlite3_errmsg(m_db));
}

void TSqliteDb::Exec(std::string_view sql) {
    std::string text(sql);
    char* message = nullptr;
    if (sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string reason = message ? message : sqlite3_errmsg(m_db);
        sqlite3_free(message);
        throw EStoreUnavailable(m_path + ": " + reason);
    }
}

std::int64_t TSqliteDb::QueryInt(std::string_view sql) {
    TSqliteStatement statement(*this, sql);
    return statement.Step() ? statement.Int(0) : 0;
}

TSqliteStatement::TSqliteStatement(TSqliteDb& db, std::string_view sql) : m_db(db) {
    if (sqlite3_prepare_v3(db.Handle(), sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &m_stmt, nullptr) != SQLITE_OK)
        db.Fail("cannot prepare \"" + std::string(sql.substr(0, 40)) + "...\"");
}

TSqliteStatement::~TSqliteStatement() {
    sqlite3_finalize(m_stmt);
}

TSqliteStatement& TSqliteStatement::Bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK)
        m_db.Fail("cannot bind a value");
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int index, std::string_view text) {
    if (sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        m_db.Fail("cannot bind a text");
    return *this;
}

TSqliteStatement& TSqliteStatement::BindBlob(int index, std::string_view bytes) {
    if (sqlite3_bind_blob(m_stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT) !=
        SQLITE_OK)
        m_db.Fail("cannot bind bytes");
    return *this;
}

bool TSqliteStatement::Step() {
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_db.Fail("query failed");
}

void TSqliteStatement::Reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

std::int64_t TSqliteStatement::Int(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

std::string TSqliteStatement::Blob(int column) const {
    const void* bytes = sqlite3_column_blob(m_stmt, column);
    int size = sqlite3_column_bytes(m_stmt, column);
    return bytes ? std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size))
                 : std::string();
}

std::string TSqliteStatement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    int size = sqlite3_column_bytes(m_stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size))
                : std::string();
}
