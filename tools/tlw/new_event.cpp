// `tlw new-event OUT.tlw ...`: prepares a scoring database as a scoring program does before an
// event (sections, tables, seats, the movement, settings, an empty results table) and, with
// --members-db, a member-name database beside it.
#include "commands.h"
#include "format_option.h"

#include "event/event_builder.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

void add_new_event_command(CLI::App& app) {
    struct Options {
        std::string path, members_path, movement = "mitchell", member_numbers = "yes", auto_shutdown = "no";
        int sections = 1, tables = 7, rounds = 7, boards = 3, members = 200;
        tlw::FormatOption format;
        bool odd_pairs = false, force = false;
    };
    auto o = std::make_shared<Options>();
    auto* cmd = app.add_subcommand("new-event", "Create a scoring database for an event, as a scoring program prepares it.");
    cmd->add_option("OUT", o->path, "the scoring database to create (.tlw; any name)")->required();
    cmd->add_option("--sections", o->sections, "sections, lettered A, B, ... (1 to 26)")->capture_default_str();
    cmd->add_option("--tables", o->tables, "tables in each section")->capture_default_str();
    cmd->add_option("--rounds", o->rounds, "rounds")->capture_default_str();
    cmd->add_option("--boards", o->boards, "boards a round")->capture_default_str();
    o->format.add_to(*cmd);
    cmd->add_flag("--odd-pairs", o->odd_pairs, "one pair short: its opponents sit out each round (pair number 0)");
    cmd->add_option("--movement", o->movement, "mitchell, or howell for small sections")
        ->check(CLI::IsMember({"mitchell", "howell"}))
        ->capture_default_str();
    cmd->add_option("--member-numbers", o->member_numbers, "Settings.MemberNumbers")
        ->check(CLI::IsMember({"yes", "no"}))
        ->capture_default_str();
    cmd->add_option("--auto-shutdown", o->auto_shutdown, "Settings.AutoShutdownTPC")
        ->check(CLI::IsMember({"yes", "no"}))
        ->capture_default_str();
    auto* members_db = cmd->add_option("--members-db", o->members_path, "also create a member-name database here");
    cmd->add_option("--members", o->members, "members in the member-name database")
        ->needs(members_db)
        ->capture_default_str();
    cmd->add_flag("--force", o->force, "replace files that exist");
    cmd->callback([o] {
        event::EventRequest r;
        r.sections = o->sections;
        r.movement.kind = o->movement == "howell" ? event::MovementKind::Howell : event::MovementKind::Mitchell;
        r.movement.tables = o->tables;
        r.movement.rounds = o->rounds;
        r.movement.boards_per_round = o->boards;
        r.movement.odd_pairs = o->odd_pairs;
        r.version = o->format.version();
        r.member_numbers = o->member_numbers == "yes";
        r.auto_shutdown = o->auto_shutdown == "yes";
        try {
            if (!o->members_path.empty() && !o->force && std::filesystem::exists(o->members_path))
                throw std::invalid_argument("'" + o->members_path + "' exists; use --force to replace it.");
            event::build_event(o->path, r, o->force);
            std::printf("Created %s: %d section(s) of %d tables, %d rounds of %d boards (%s%s)\n", o->path.c_str(),
                        r.sections, r.movement.tables, r.movement.rounds, r.movement.boards_per_round,
                        o->movement.c_str(), o->odd_pairs ? ", odd pairs" : "");
            if (!o->members_path.empty()) {
                event::build_member_database(o->members_path, o->members, r.version, o->force);
                std::printf("Created %s: %d members\n", o->members_path.c_str(), o->members);
            }
        } catch (const std::invalid_argument& e) {
            std::fprintf(stderr, "tlw new-event: %s\n", e.what());
            throw CLI::RuntimeError(1);
        }
    });
}
