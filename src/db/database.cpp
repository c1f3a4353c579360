// The simulator's database layer over jet::Database / jet::RecordSet / jet::execute.
#include "db/database.h"

#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "jet/query.h"
#include "jet/recordset.h"
#include "jet/storage/lock_file.h"

namespace db {
namespace {

[[noreturn]] void closed() { throw jet::JetError(jet::err::ObjectInvalid, "Object invalid or no longer set."); }

}  // namespace

Database Database::open(const std::string& path) {
    return Database(jet::Database::open(path, jet::PageFile::Access::ReadWrite));
}

Database::Database(std::shared_ptr<jet::Database> engine) : engine_(std::move(engine)) {}
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::~Database() = default;

RecordSet Database::open_recordset(std::string_view table_or_select) {
    if (!engine_) closed();
    return RecordSet(jet::RecordSet::open(engine_, table_or_select));
}

bool Database::any_record(std::string_view select) {
    if (!engine_) closed();
    return jet::any_row(*engine_, select);
}

long Database::execute(std::string_view sql) {
    if (!engine_) closed();
    return jet::execute(*engine_, sql);
}

long Database::execute_if(const std::function<bool()>& read_first, std::string_view sql) {
    long changed = 0;
    run_locked([&] { changed = read_first() ? jet::execute(*engine_, sql) : 0; });
    return changed;
}

void Database::run_locked(const std::function<void()>& work) {
    if (!engine_) closed();
    // Statements inside join this scope.
    jet::StatementScope scope(engine_->file(), jet::StatementLock::Mode::Exclusive);
    work();
}

void Database::close() { engine_.reset(); }
bool Database::is_open() const { return engine_ != nullptr; }

const std::string& Database::path() const {
    if (!engine_) closed();
    return engine_->path();
}

RecordSet::RecordSet(std::unique_ptr<jet::RecordSet> engine) : engine_(std::move(engine)) {}
RecordSet::RecordSet(RecordSet&&) noexcept = default;
RecordSet& RecordSet::operator=(RecordSet&&) noexcept = default;
RecordSet::~RecordSet() = default;

bool RecordSet::at_end() const { return engine_->at_end(); }
void RecordSet::move_first() { engine_->move_first(); }
void RecordSet::move_next() { engine_->move_next(); }
void RecordSet::move_last() { engine_->move_last(); }
Value RecordSet::field(std::string_view name) const { return engine_->field(name); }
void RecordSet::add_new() { engine_->add_new(); }
void RecordSet::set_field(std::string_view name, const Value& value) { engine_->set_field(name, value); }
void RecordSet::update() { engine_->update(); }
void RecordSet::hold() { engine_->hold(); }
void RecordSet::flush() { engine_->flush(); }

}  // namespace db
