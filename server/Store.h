// The service's database: SQLite, one table per kind of object, each row an
// object's name and its bytes. What the bytes mean is the model's business;
// this unit knows SQL and nothing of the objects.
#ifndef DSMSERVICE_STORE_H
#define DSMSERVICE_STORE_H

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace svc {

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Store {
public:
    enum Table { POOLS, SERVERS, ENCLOSURES, ATTRIBUTES, COUNTERS };
    typedef std::vector<std::pair<std::string, std::string>> Rows;

    // Opens the database at 'path', creating it when missing (":memory:"
    // keeps nothing on disk). Throws StoreError naming the path and the
    // reason when it is not a database of this service or cannot be written.
    explicit Store(const std::string& path);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // One transaction at a time; every change is made inside one.
    void begin();
    void commit();
    void rollback() noexcept;

    void put(Table table, const std::string& key, const std::string& bytes);
    void erase(Table table, const std::string& key);
    // Empties every table.
    void clear();
    // Every row of a table, by key.
    Rows rows(Table table);

    const std::string& path() const { return path_; }

private:
    void open();
    void exec(const std::string& sql);
    [[noreturn]] void fail(const std::string& what) const;

    std::string path_;
    sqlite3* db_ = nullptr;
};

}  // namespace svc

#endif
