// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The control language of the simulated controller, from the board's
// options and from the control socket: the shared parser
// (sim/model/touch_command.c, the same the kernel module's debugfs file
// runs) over this side's model.
#include "control.h"

#include "touch_command.h"

namespace touchsim {

ControlResult run_control_line(TouchModel &model, std::string_view line, double now)
{
    touch_reply reply{};
    touch_command_run(&model.c_model(), line.data(), line.size(), to_ns(now), &reply);
    ControlResult result{reply.text};
    if (reply.visibility >= 0)
        result.visibility_changed = &attribute_table()[static_cast<std::size_t>(reply.visibility)];
    return result;
}

} // namespace touchsim
