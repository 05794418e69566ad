#include "engine/RowWriter.h"

#include <utility>

#include "engine/DigestPool.h"
#include "engine/StoreCodec.h"

CRowWriter::CRowWriter(sqlite3* db)
    : m_write(db, "INSERT OR REPLACE INTO folder VALUES(?1, ?2, ?3)"), m_remove(db, "DELETE FROM folder WHERE path=?1")
{
}

void CRowWriter::Add(std::string_view key, std::string&& blob, int64_t lastUse)
{
    if (m_making.size() == kRowsPerStretch)
        HandOver();
    m_making.push_back(Row{key, lastUse, std::move(blob)});
}

bool CRowWriter::Finish()
{
    HandOver();
    Wait();
    return !m_failed;
}

void CRowWriter::HandOver()
{
    Wait();
    std::swap(m_making, m_storing);
    m_making.clear();
    if (m_storing.empty() || m_failed)
        return;
    CDigestPool::Instance().Start(1, [this](size_t) { Store(); });
    m_started = true;
}

void CRowWriter::Wait()
{
    if (m_started)
        CDigestPool::Instance().Finish();
    m_started = false;
}

void CRowWriter::Store()
{
    for (Row& row : m_storing) {
        const bool remove = row.blob.empty();
        if (!remove)
            SealRow(row.key, row.blob);
        sqlite3_stmt* const stmt = remove ? *m_remove : *m_write;
        sqlite3_reset(stmt);
        CSqliteStatement::BindBlob(stmt, 1, row.key);
        if (!remove) {
            sqlite3_bind_int64(stmt, 2, row.lastUse);
            CSqliteStatement::BindBlob(stmt, 3, row.blob);
        }
        if (sqlite3_step(stmt) != SQLITE_DONE) {
            m_failed = true;
            return;
        }
    }
}
