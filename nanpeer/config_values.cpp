// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Conversions of single configuration values: TXT text, security type,
// role and bootstrapping methods.
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "config.h"
#include "log.h"

namespace {

bool is_separator(char c)
{
    return c == ' ' || c == '|';
}

// Hands out the tokens of a text split at blanks and '|' (runs count as one).
class token_reader {
public:
    explicit token_reader(std::string_view text) : rest_(text) { }

    bool next(std::string_view &token)
    {
        std::size_t start = 0;
        while (start < rest_.size() && is_separator(rest_[start])) {
            ++start;
        }
        std::size_t end = start;
        while (end < rest_.size() && !is_separator(rest_[end])) {
            ++end;
        }
        token = rest_.substr(start, end - start);
        rest_.remove_prefix(end);
        return !token.empty();
    }

private:
    std::string_view rest_;
};

// A length token: "0x" and hex digits, or else a decimal number (0 when it
// is none), either way taken modulo 256.
uint8_t length_byte(std::string_view token)
{
    char text[256] = {};
    const std::size_t length = token.size() < sizeof text - 1 ? token.size() : sizeof text - 1;
    std::memcpy(text, token.data(), length);
    if (text[0] == '0' && text[1] == 'x') {
        char *end = nullptr;
        const unsigned long hex_value = std::strtoul(text + 2, &end, 16);
        if (end != text + 2) {
            return static_cast<uint8_t>(hex_value);
        }
    }
    return static_cast<uint8_t>(std::strtol(text, nullptr, 10));
}

} // namespace

uint16_t cvert_text_info(const char *text, uint8_t *out, std::size_t capacity)
{
    if (text == nullptr || out == nullptr || capacity == 0) {
        nan_log(log_severity::info, "cvert text info err! input error\n");
        return 0;
    }
    const int capacity_shown = static_cast<int>(capacity);
    token_reader tokens{std::string_view(text)};
    std::string_view token;
    std::size_t count = 0;
    while (tokens.next(token)) {
        nan_log(log_severity::debug, "length:%.*s\n", static_cast<int>(token.size()), token.data());
        if (count >= capacity) {
            nan_log(log_severity::info,
                    "cvert text info err! str is too long, len(%d) > out_buf_len(%d)\n",
                    static_cast<int>(count + 1), capacity_shown);
            return static_cast<uint16_t>(count);
        }
        out[count++] = length_byte(token);

        if (!tokens.next(token)) {
            break;
        }
        nan_log(log_severity::debug, "data:%.*s\n", static_cast<int>(token.size()), token.data());
        if (count + token.size() > capacity) {
            nan_log(log_severity::info,
                    "cvert text info err! str is too long, len(%ld) > out_buf_len(%d)\n",
                    static_cast<long>(count + token.size()), capacity_shown);
            return static_cast<uint16_t>(count);
        }
        std::memcpy(out + count, token.data(), token.size());
        count += token.size();
    }
    return static_cast<uint16_t>(count);
}

security_type get_security_type(const char *text)
{
    const std::string_view name(text);
    if (name == "open") {
        return security_type::open;
    }
    if (name == "pmk") {
        return security_type::pmk;
    }
    if (name == "pairing") {
        return security_type::pairing;
    }
    if (name == "passphrase" || name == "pw") {
        return security_type::passphrase;
    }
    return security_type::unknown;
}

int get_role(const char *text)
{
    const std::string_view name(text == nullptr ? "" : text);
    if (name == "publish") {
        return kRolePublish;
    }
    if (name == "subscribe") {
        return kRoleSubscribe;
    }
    return kRoleUnknown;
}

uint16_t get_bstrap_method(const char *text, int role)
{
    struct method_bits {
        const char *name;
        uint16_t publisher;  // the publisher shows the code
        uint16_t subscriber; // the subscriber types or scans it
    };
    static constexpr method_bits kMethods[] = {
        {"opp", 0x01, 0x01},
        {"pin_code", 0x02, 0x20},
        {"passphrase", 0x04, 0x40},
        {"qr_code", 0x08, 0x80},
    };
    if (role != kRolePublish && role != kRoleSubscribe) {
        nan_log(log_severity::info, "Unknow role: %d \n", role);
        return 0;
    }
    const std::string_view methods(text);
    uint16_t bitmap = 0;
    for (const method_bits &method : kMethods) {
        if (methods.find(method.name) != std::string_view::npos) {
            bitmap = static_cast<uint16_t>(
                bitmap | (role == kRolePublish ? method.publisher : method.subscriber));
        }
    }
    return bitmap;
}
