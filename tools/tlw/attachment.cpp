// `tlw attachment FILE TABLE COLUMN [NAME] [--row N] [--out PATH]`: the files of an Access
// attachment column. Without NAME it lists them (row as `tlw dump` counts rows, name, type,
// size); with NAME it writes that file's bytes to PATH, or to standard output.
#include "commands.h"

#include "jet/base/error.h"
#include "jet/complex_values.h"
#include "jet/database.h"

#include <cstdio>
#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string file, table, column, name, out;
    std::size_t row = 0;  // 0: any row
    bool force = false;
};

struct Found {
    std::size_t row;
    jet::Attachment attachment;
};

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "tlw attachment: %s\n", message.c_str());
    throw CLI::RuntimeError(1);
}

// The attachments of every row, in table order; with `name`, only those of that file name.
std::vector<Found> attachments(const Options& o, jet::AttachmentFiles files) {
    auto db = jet::Database::open(o.file);
    const jet::TableDefPtr def = db->table_def(o.table);
    const jet::Column* column = def->find_column(o.column);
    if (column == nullptr) fail(fmt::format("table '{}' of '{}' has no column '{}'.", def->name, o.file, o.column));
    const jet::ComplexColumnValues values = column->type == jet::ColumnType::Complex
                                                ? jet::read_complex_column(*db, *def, *column, files)
                                                : jet::ComplexColumnValues{};
    if (values.kind != jet::ComplexKind::Attachment)
        fail(fmt::format("column '{}' of table '{}' in '{}' is not an attachment column.", column->name, def->name,
                         o.file));
    const auto at = static_cast<std::size_t>(column - def->columns.data());
    std::vector<Found> found;
    std::size_t row = 0;
    db->scan(*def, [&](jet::RowId, const std::vector<jet::Value>& fields) {
        ++row;
        if (o.row != 0 && row != o.row) return true;
        if (fields[at].kind() != jet::ValueKind::Long) return true;
        for (const jet::Attachment& a : values.of(fields[at].as_int32()).attachments)
            if (o.name.empty() || a.name == o.name) found.push_back({row, a});
        return true;
    });
    if (o.row > row) fail(fmt::format("table '{}' of '{}' has {} rows, not {}.", def->name, o.file, row, o.row));
    return found;
}

void list(const Options& o) {
    for (const Found& f : attachments(o, jet::AttachmentFiles::SizeOnly))
        std::printf("row %zu: %s (%s, %llu bytes)\n", f.row, f.attachment.name.c_str(), f.attachment.type.c_str(),
                    static_cast<unsigned long long>(f.attachment.size));
}

// Written beside the target and renamed over it, so that a failure leaves no half file.
void write_file(const std::string& path, const jet::Bytes& bytes) {
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(part);
            fail(fmt::format("could not write '{}'.", path));
        }
    }
    std::error_code ec;
    std::filesystem::rename(part, path, ec);
    if (ec) {
        std::filesystem::remove(part);
        fail(fmt::format("could not write '{}': {}.", path, ec.message()));
    }
}

void extract(const Options& o) {
    if (!o.out.empty() && !o.force && std::filesystem::exists(o.out))
        fail(fmt::format("'{}' exists; use --force to replace it.", o.out));
    const std::vector<Found> found = attachments(o, jet::AttachmentFiles::Contents);
    const std::string where = fmt::format("column '{}' of table '{}' in '{}'", o.column, o.table, o.file);
    if (found.empty())
        fail(o.row ? fmt::format("row {} of {} has no attachment '{}'.", o.row, where, o.name)
                   : fmt::format("{} has no attachment '{}'.", where, o.name));
    if (found.size() > 1) {
        std::string rows;
        for (const Found& f : found) rows += (rows.empty() ? "" : ", ") + std::to_string(f.row);
        fail(fmt::format("rows {} of {} each have an attachment '{}'; say which with --row.", rows, where, o.name));
    }
    const jet::Bytes& bytes = found.front().attachment.contents;
    if (!o.out.empty()) return write_file(o.out, bytes);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

}  // namespace

void add_attachment_command(CLI::App& app) {
    auto* cmd = app.add_subcommand("attachment", "List the files of an attachment column, or write one of them out");
    auto o = std::make_shared<Options>();
    cmd->add_option("FILE", o->file, "Access 2007+ database (.accdb)")->required();
    cmd->add_option("TABLE", o->table, "Table (case-insensitive)")->required();
    cmd->add_option("COLUMN", o->column, "Attachment column (case-insensitive)")->required();
    cmd->add_option("NAME", o->name, "File name of the attachment to write out; without it the files are listed");
    cmd->add_option("--row", o->row, "Only this row (1 for the first, in the order `tlw dump` prints)")
        ->check(CLI::PositiveNumber);
    cmd->add_option("--out,-o", o->out, "Write the file here instead of to standard output");
    cmd->add_flag("--force", o->force, "replace the --out file when it exists");
    cmd->callback([o] { o->name.empty() ? list(*o) : extract(*o); });
}
