#pragma once

// The tool's commands other than batch still name some of the engine's
// pieces from their own namespace while they move onto the public headers;
// this lets them until then.
namespace rulecalc::batch {}
namespace rulecalc::cli {
using namespace rulecalc::batch;
}  // namespace rulecalc::cli
