#pragma once
// Writes the rows of a transaction of the digest store: rows are made on the caller while a digest
// thread stores the rows made before them, a stretch of rows at a time. The connection is used by
// one thread at a time: the digest thread between the hand-over of a stretch and the next Add or
// Remove that fills a stretch, or Finish. Made and used on the search worker.
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/SqliteStatement.h"

class CRowWriter {
public:
    explicit CRowWriter(sqlite3* db);
    ~CRowWriter() { Wait(); }
    CRowWriter(const CRowWriter&) = delete;
    CRowWriter& operator=(const CRowWriter&) = delete;

    bool Ok() const { return m_write.Ok() && m_remove.Ok(); }
    // Stores the row `key` (whose text must outlive Finish) with the sections `blob` and their
    // checksum, replacing the one stored; `lastUse` is the last day any of its entries was used.
    void Add(std::string_view key, std::string&& blob, int64_t lastUse);
    // Deletes the row `key` (whose text must outlive Finish).
    void Remove(std::string_view key) { Add(key, std::string(), 0); }
    // Stores the rows left; true when every row was stored.
    bool Finish();

private:
    struct Row {
        std::string_view key;
        int64_t lastUse = 0;
        std::string blob;  // empty: the row is deleted
    };
    // Enough rows that handing them over costs little beside storing them, few enough that the
    // last stretch, stored after every row is made, is short.
    static constexpr size_t kRowsPerStretch = 32;

    void HandOver();
    void Wait();
    // On the digest thread.
    void Store();

    CSqliteStatement m_write;
    CSqliteStatement m_remove;
    std::vector<Row> m_making;   // rows being made
    std::vector<Row> m_storing;  // rows handed to the digest thread
    bool m_started = false;
    bool m_failed = false;
};
