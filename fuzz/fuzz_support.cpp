// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The shared fuzz helpers.
#include "fuzz_support.h"

#include <sanitizer/common_interface_defs.h>

#include <cstdlib>
#include <cstring>
#include <string>

void fuzz_require(bool condition, const char *what)
{
    if (condition)
        return;
    // Through the sanitizers' report channel: libFuzzer keeps that one open
    // when it closes the target's standard error.
    const std::string summary = std::string("fuzz check failed: ") + what;
    __sanitizer_report_error_summary(summary.c_str());
    std::abort();
}

FuzzCommandLine::FuzzCommandLine(const char *program, const uint8_t *data, size_t size,
                                 size_t most_arguments)
{
    add(program);
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    size_t start = 0;
    while (start <= input.size() && words_.size() <= most_arguments) {
        size_t end = input.find('\0', start);
        if (end == std::string_view::npos)
            end = input.size();
        add(input.substr(start, end - start));
        start = end + 1;
    }
    // argv ends with a null pointer, as the kernel hands it over.
    for (const auto &word : words_)
        pointers_.push_back(word.get());
    pointers_.push_back(nullptr);
}

void FuzzCommandLine::add(std::string_view word)
{
    auto block = std::make_unique<char[]>(word.size() + 1);
    std::memcpy(block.get(), word.data(), word.size());
    block[word.size()] = '\0';
    words_.push_back(std::move(block));
}

std::string_view FuzzCommandLine::argument(int index) const
{
    if (index < 0 || index >= argc())
        return {};
    return pointers_[static_cast<size_t>(index)];
}
