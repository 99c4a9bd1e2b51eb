// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Reading command lines and sending them one by one.
#include "interactive.h"

#include <cstring>

namespace mcushell {

int run_interactive(CommandSink &sink, std::FILE *in, std::FILE *out)
{
    CommandRecord record{};
    int last_result = 0;
    for (;;) {
        clear_text(record);
        // At most 127 characters a piece: a longer line arrives as several
        // commands, and the text field always keeps its final NUL.
        if (std::fgets(record.text, static_cast<int>(sizeof record.text), in) == nullptr)
            return last_result; // end of input or a read error ends like "exit"
        if (record.text[0] == '\n') {
            std::fputs("\r\n#", out);
            std::fflush(out);
            continue;
        }
        size_t length = ::strnlen(record.text, sizeof record.text);
        if (length > 0 && record.text[length - 1] == '\n')
            record.text[--length] = '\0';
        // A NUL typed inside a line ends the command there; what followed
        // it must not travel behind the terminator.
        std::memset(record.text + length, 0, sizeof record.text - length);
        if (std::strcmp(record.text, "exit") == 0)
            return last_result;
        if (length == 0)
            continue;
        record.length = static_cast<uint8_t>(length);
        last_result = sink.send(record);
    }
}

} // namespace mcushell
