#include "Store.h"

#include <sqlite3.h>

namespace svc {

namespace {

// Every table has the same shape: the object's name and its bytes.
const char* const kTables[] = {"pools", "servers", "enclosures", "attributes", "counters"};
static_assert(sizeof kTables / sizeof kTables[0] == Store::COUNTERS + 1, "one name per table");

// The layout of the bytes; a database written by another layout is refused.
constexpr int kSchemaVersion = 1;

const char* table_name(Store::Table t) { return kTables[t]; }

// A prepared statement, finalized on every path.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    // Names are text, so that the database reads well with any SQLite tool.
    bool bind_text(int index, const std::string& text) {
        return sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) ==
               SQLITE_OK;
    }
    bool bind_blob(int index, const std::string& bytes) {
        return sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT) ==
               SQLITE_OK;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(stmt_); }
    std::string column(int index) const {
        const void* data = sqlite3_column_blob(stmt_, index);
        const int size = sqlite3_column_bytes(stmt_, index);
        return data ? std::string(static_cast<const char*>(data), static_cast<size_t>(size)) : std::string();
    }
    long long number(int index) const { return sqlite3_column_int64(stmt_, index); }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

Store::Store(const std::string& path) : path_(path) {
    try {
        open();
    } catch (...) {
        sqlite3_close(db_);  // a failed open still allocates the handle
        throw;
    }
}

void Store::open() {
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        fail("cannot open");
    // Another process holding the file (an administrator's shell) is waited
    // for briefly, never for good.
    sqlite3_busy_timeout(db_, 1000);
    // WAL with synchronous=NORMAL: a commit has reached the operating system
    // (the WAL file's write) before it returns, so a killed process loses
    // nothing it acknowledged; only a crash of the machine could drop the
    // last commits. FULL would add an fsync per change for that case, which
    // the service does not need.
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    Statement version(db_, "PRAGMA user_version");
    if (!version.ok() || version.step() != SQLITE_ROW) fail("cannot read");
    const long long found = version.number(0);
    if (found != 0 && found != kSchemaVersion)
        fail("has layout " + std::to_string(found) + ", this service writes " + std::to_string(kSchemaVersion));
    for (const char* table : kTables)
        exec(std::string("CREATE TABLE IF NOT EXISTS ") + table + " (name TEXT PRIMARY KEY, data BLOB NOT NULL)");
    exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
}

Store::~Store() { sqlite3_close(db_); }

void Store::fail(const std::string& what) const {
    std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
    throw StoreError("database " + path_ + " " + what + ": " + reason);
}

void Store::exec(const std::string& sql) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail("failed (" + sql + ")");
}

void Store::begin() { exec("BEGIN IMMEDIATE"); }

void Store::commit() { exec("COMMIT"); }

void Store::rollback() noexcept {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Store::put(Table table, const std::string& key, const std::string& bytes) {
    Statement st(db_, std::string("INSERT OR REPLACE INTO ") + table_name(table) + " (name, data) VALUES (?1, ?2)");
    if (!st.ok() || !st.bind_text(1, key) || !st.bind_blob(2, bytes) || st.step() != SQLITE_DONE)
        fail(std::string("cannot write to ") + table_name(table));
}

void Store::erase(Table table, const std::string& key) {
    Statement st(db_, std::string("DELETE FROM ") + table_name(table) + " WHERE name = ?1");
    if (!st.ok() || !st.bind_text(1, key) || st.step() != SQLITE_DONE)
        fail(std::string("cannot delete from ") + table_name(table));
}

void Store::clear() {
    for (const char* table : kTables) exec(std::string("DELETE FROM ") + table);
}

Store::Rows Store::rows(Table table) {
    Statement st(db_, std::string("SELECT name, data FROM ") + table_name(table) + " ORDER BY name");
    if (!st.ok()) fail(std::string("cannot read ") + table_name(table));
    Rows out;
    int rc = SQLITE_ROW;
    while ((rc = st.step()) == SQLITE_ROW) out.emplace_back(st.column(0), st.column(1));
    if (rc != SQLITE_DONE) fail(std::string("cannot read ") + table_name(table));
    return out;
}

}  // namespace svc
