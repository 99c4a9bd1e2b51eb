// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Collects what a function prints to a FILE* into a string.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

class CapturedFile {
public:
    CapturedFile() : file_(open_memstream(&data_, &size_)) { }
    ~CapturedFile()
    {
        if (file_ != nullptr)
            static_cast<void>(std::fclose(file_));
        std::free(data_);
    }
    CapturedFile(const CapturedFile &) = delete;
    CapturedFile &operator=(const CapturedFile &) = delete;

    std::FILE *get() { return file_; }
    std::string text()
    {
        std::fflush(file_);
        return std::string(data_, size_);
    }

private:
    char *data_ = nullptr;
    size_t size_ = 0;
    std::FILE *file_;
};
