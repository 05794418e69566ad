#pragma once
// A prepared SQLite statement, finalized when it goes, and the blob conversions the digest store
// uses. One thread at a time, as its connection.
#include <sqlite3.h>

#include <string_view>

class CSqliteStatement {
public:
    CSqliteStatement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~CSqliteStatement() { sqlite3_finalize(m_stmt); }
    CSqliteStatement(const CSqliteStatement&) = delete;
    CSqliteStatement& operator=(const CSqliteStatement&) = delete;
    bool Ok() const { return m_rc == SQLITE_OK; }
    sqlite3_stmt* operator*() const { return m_stmt; }

    // Binds bytes as a blob (also none: an empty blob, not NULL).
    static void BindBlob(sqlite3_stmt* stmt, int index, std::string_view bytes, sqlite3_destructor_type kind = SQLITE_STATIC)
    {
        sqlite3_bind_blob(stmt, index, bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size()), kind);
    }
    // A column's blob, valid until the statement moves on.
    static std::string_view ColumnBlob(sqlite3_stmt* stmt, int column)
    {
        const void* bytes = sqlite3_column_blob(stmt, column);
        return bytes ? std::string_view(static_cast<const char*>(bytes), static_cast<size_t>(sqlite3_column_bytes(stmt, column)))
                     : std::string_view();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc;
};
