// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Shared by the fuzz targets: a command line made from fuzz input, and the
// check that turns a broken invariant into a crash libFuzzer keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// Aborts with the message when the condition does not hold: a wrong result
// is a finding just like a memory error.
void fuzz_require(bool condition, const char *what);

// argv from fuzz input: the program name, then the input cut at NUL bytes
// into at most most_arguments words. Each word lives in a block of exactly
// its length and terminator, so a read past its end is caught.
class FuzzCommandLine {
public:
    FuzzCommandLine(const char *program, const uint8_t *data, size_t size, size_t most_arguments);
    FuzzCommandLine(const FuzzCommandLine &) = delete;
    FuzzCommandLine &operator=(const FuzzCommandLine &) = delete;

    int argc() const { return static_cast<int>(words_.size()); }
    const char *const *argv() const { return pointers_.data(); }
    // argv[index] as text, or nothing past the last argument.
    std::string_view argument(int index) const;

private:
    void add(std::string_view word);

    std::vector<std::unique_ptr<char[]>> words_;
    std::vector<const char *> pointers_; // argc entries and a null pointer
};
