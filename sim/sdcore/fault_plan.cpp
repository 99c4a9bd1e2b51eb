// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Faults the simulator injects on request.
#include "fault_plan.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "event_names.h"

namespace sdcore_sim {

const char *to_string(fault_action action)
{
    switch (action) {
    case fault_action::drop:
        return "drop";
    case fault_action::delay:
        return "delay";
    case fault_action::reject:
        return "reject";
    case fault_action::vanish:
        return "vanish";
    }
    return "unknown";
}

namespace {
bool is_separator(char c)
{
    return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\n';
}

// A decimal number of at most nine digits; false for anything else.
bool parse_count(std::string_view text, uint32_t &value)
{
    if (text.empty() || text.size() > 9)
        return false;
    uint32_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + static_cast<uint32_t>(c - '0');
    }
    value = result;
    return true;
}

bool parse_action(std::string_view text, fault_action &action)
{
    for (auto candidate :
         {fault_action::drop, fault_action::delay, fault_action::reject, fault_action::vanish}) {
        if (text == to_string(candidate)) {
            action = candidate;
            return true;
        }
    }
    return false;
}

int parse_item(std::string_view item, fault_rule &rule)
{
    const auto colon = item.find(':');
    if (colon == std::string_view::npos)
        return -EINVAL;
    if (!parse_action(item.substr(0, colon), rule.action))
        return -EINVAL;
    std::string_view rest = item.substr(colon + 1);
    rule.delay_ms = 0;
    if (const auto equals = rest.find('='); equals != std::string_view::npos) {
        if (rule.action != fault_action::delay ||
            !parse_count(rest.substr(equals + 1), rule.delay_ms)) {
            return -EINVAL;
        }
        rest = rest.substr(0, equals);
    } else if (rule.action == fault_action::delay) {
        return -EINVAL;
    }
    rule.occurrence = 0;
    if (const auto at = rest.find('@'); at != std::string_view::npos) {
        if (!parse_count(rest.substr(at + 1), rule.occurrence) || rule.occurrence == 0)
            return -EINVAL;
        rest = rest.substr(0, at);
    }
    const bool event = event_id_by_name(rest) >= 0;
    const bool call = is_call_name(rest);
    switch (rule.action) {
    case fault_action::drop:
    case fault_action::delay:
        if (!event)
            return -EINVAL;
        break;
    case fault_action::reject:
        if (!call)
            return -EINVAL;
        break;
    case fault_action::vanish:
        if (!event && !call)
            return -EINVAL;
        break;
    }
    if (rest.size() >= sizeof rule.target)
        return -EINVAL;
    std::memset(rule.target, 0, sizeof rule.target);
    std::memcpy(rule.target, rest.data(), rest.size());
    rule.seen = 0;
    return 0;
}
} // namespace

int fault_plan::parse(std::string_view plan_text, char *error, std::size_t error_size)
{
    count_ = 0;
    std::size_t pos = 0;
    std::size_t parsed = 0;
    while (pos < plan_text.size()) {
        while (pos < plan_text.size() && is_separator(plan_text[pos]))
            ++pos;
        std::size_t end = pos;
        while (end < plan_text.size() && !is_separator(plan_text[end]))
            ++end;
        if (end == pos)
            break;
        const std::string_view item = plan_text.substr(pos, end - pos);
        pos = end;
        if (parsed == kMaxRules) {
            std::snprintf(error, error_size, "more than %zu fault items", kMaxRules);
            count_ = 0;
            return -EINVAL;
        }
        if (parse_item(item, rules_[parsed]) != 0) {
            std::snprintf(error, error_size, "bad fault item '%.*s'", static_cast<int>(item.size()),
                          item.data());
            count_ = 0;
            return -EINVAL;
        }
        ++parsed;
    }
    count_ = parsed;
    return 0;
}

fault_verdict fault_plan::on_target(std::string_view target)
{
    fault_verdict verdict;
    for (std::size_t i = 0; i < count_; ++i) {
        fault_rule &rule = rules_[i];
        if (target != rule.target)
            continue;
        ++rule.seen;
        if (rule.occurrence != 0 && rule.seen != rule.occurrence)
            continue;
        switch (rule.action) {
        case fault_action::drop:
            verdict.drop = true;
            break;
        case fault_action::delay:
            verdict.delay_ms += rule.delay_ms;
            break;
        case fault_action::reject:
            verdict.reject = true;
            break;
        case fault_action::vanish:
            verdict.vanish = true;
            break;
        }
    }
    return verdict;
}

fault_verdict fault_plan::on_event(std::string_view event)
{
    return on_target(event);
}
fault_verdict fault_plan::on_call(std::string_view call)
{
    return on_target(call);
}

} // namespace sdcore_sim
