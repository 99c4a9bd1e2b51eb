// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Faults the simulator injects on request: drop or delay an event, reject a
// call, or make this radio vanish from the medium.
//
// A plan is a list of items "action:target[@n][=ms]" separated by commas:
//   drop:DNS_DATA_CONFIRM@1     the first DNS_DATA_CONFIRM is never delivered
//   delay:DNS_PASN_RESULT=2000  every DNS_PASN_RESULT arrives 2 s late
//   reject:dns_datapath_rsp@2   the second dns_datapath_rsp returns -1
//   vanish:DNS_BSTRAP_RESULT@1  after the first DNS_BSTRAP_RESULT the radio
//                               neither sends nor receives any more
// Without "@n" an item applies to every occurrence. drop and delay name
// events, reject names calls, vanish either.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sdcore_sim {

enum class fault_action : uint8_t {
    drop = 0,
    delay = 1,
    reject = 2,
    vanish = 3
};
const char *to_string(fault_action action);

struct fault_rule {
    fault_action action;
    char target[24];     // an event name or a call name
    uint32_t occurrence; // 1-based; 0 = every occurrence
    uint32_t delay_ms;
    uint32_t seen; // occurrences of the target so far
};

struct fault_verdict {
    bool drop = false;
    uint32_t delay_ms = 0;
    bool reject = false;
    bool vanish = false;
};

class fault_plan {
public:
    static constexpr std::size_t kMaxRules = 8;

    // Replaces the plan. 0, or -EINVAL with a message naming the bad item in
    // `error`; a plan that fails to parse is left empty.
    int parse(std::string_view plan_text, char *error, std::size_t error_size);

    // Count one occurrence of an event or a call and say what to do with it.
    fault_verdict on_event(std::string_view event);
    fault_verdict on_call(std::string_view call);

    [[nodiscard]] std::size_t size() const { return count_; }

private:
    fault_verdict on_target(std::string_view target);

    std::array<fault_rule, kMaxRules> rules_{};
    std::size_t count_ = 0;
};

} // namespace sdcore_sim
