#pragma once

// The tool's failures, each ending it with its own exit status. They are the
// engine's own classes while the other commands still share them.
#include "batch/Failures.h"
