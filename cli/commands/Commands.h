#pragma once

#include <CLI/CLI.hpp>

#include "commands/CommandContext.h"

namespace rulecalc::cli {

// Each adds one or more subcommands to the tool; the subcommand's callback
// does the work and leaves its exit status in the context.
void AddEvalCommand(CLI::App& app, SCommandContext& context);
void AddCheckCommand(CLI::App& app, SCommandContext& context);
void AddListingCommands(CLI::App& app, SCommandContext& context);
void AddBatchCommand(CLI::App& app, SCommandContext& context);
void AddTestCommand(CLI::App& app, SCommandContext& context);

}  // namespace rulecalc::cli
