#pragma once

#include <string>
#include <string_view>


namespace rulecalc::batch {

// The text with every control character (a byte below 0x20, or 0x7F) shown
// as \xNN, so that data and rules shown on a terminal cannot move the cursor,
// retitle or clear it, or start a line of their own. A tab between other
// characters stays; one at the start or the end is shown. Works on GBK and on
// every encoding the tool writes text in (UTF-8, GB18030, ...), where no byte
// below 0x20 or 0x7F is part of a longer character.
std::string ShowingControls(std::string_view text);

}  // namespace rulecalc::batch
