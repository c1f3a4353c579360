// The database operations the simulator uses, in the shape it uses them: open a database,
// open a dynaset record set on a table name or a SELECT, walk it, read fields by name, add
// records, execute UPDATE statements, close. A thin layer over the jet engine: every
// failure is a jet::JetError carrying the engine's number and description.
#pragma once

#include "db/types.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace jet {
class Database;
class RecordSet;
}

namespace db {

class RecordSet;

class Database {
public:
    // Opens the file shared, for reading and writing (3024 when it does not exist).
    static Database open(const std::string& path);

    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;
    ~Database();

    // A dynaset on a table name or on "SELECT * FROM name [WHERE ...]", positioned on its
    // first record (at end when empty).
    RecordSet open_recordset(std::string_view table_or_select);
    // Whether a record set on `select` would hold any record, found without listing the others:
    // the test "open it and see whether it is at its end" at the cost of one row.
    bool any_record(std::string_view select);
    // Runs an UPDATE (or INSERT INTO ... VALUES); returns the number of records changed.
    long execute(std::string_view sql);
    // Runs `read_first`, then the statement when it returned true, both under the engine's
    // exclusive lock: no other writer changes the file between the read and the statement.
    // Returns the number of records changed, 0 when the statement was not run.
    long execute_if(const std::function<bool()>& read_first, std::string_view sql);
    // Runs `work` under the engine's exclusive lock: no other writer of ours comes between its
    // statements, and they pay for the lock and for checking cached table definitions once.
    // `work` must not close the database.
    void run_locked(const std::function<void()>& work);
    void close();
    bool is_open() const;
    const std::string& path() const;

private:
    explicit Database(std::shared_ptr<jet::Database> engine);
    std::shared_ptr<jet::Database> engine_;
};

class RecordSet {
public:
    RecordSet(RecordSet&&) noexcept;
    RecordSet& operator=(RecordSet&&) noexcept;
    ~RecordSet();

    bool at_end() const;
    void move_first();
    void move_next();
    void move_last();
    // The current record's value of the named field, case-insensitive
    // (3265 "Item not found in this collection." when there is no such field,
    // 3021 "No current record." at end).
    Value field(std::string_view name) const;

    // Add record: begin a new record, set fields by name, store it with update(), or hold it
    // back with hold() until the next update() or flush(), which store the held records in one
    // write (so that they reach other users together).
    void add_new();
    void set_field(std::string_view name, const Value& value);
    void update();
    void hold();
    void flush();

private:
    friend class Database;
    explicit RecordSet(std::unique_ptr<jet::RecordSet> engine);
    std::unique_ptr<jet::RecordSet> engine_;
};

}  // namespace db
