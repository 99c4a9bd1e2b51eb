// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// cvert_text_info: any text into an output buffer of any capacity. The
// buffer is exactly that large, so a write past it is caught, and what the
// conversion reports written must be all it wrote.
#include "config.h"
#include "fuzz_support.h"

#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    constexpr uint8_t kUntouched = 0xa5;
    const size_t capacity = ((static_cast<size_t>(data[0]) << 8) | data[1]) % 600;
    // The text stops at the first NUL, as a C string from the configuration does.
    const std::string text(reinterpret_cast<const char *>(data + 2), size - 2);
    auto out = std::make_unique<uint8_t[]>(capacity);
    std::memset(out.get(), kUntouched, capacity);

    const uint16_t count = cvert_text_info(text.c_str(), out.get(), capacity);
    fuzz_require(count <= capacity, "more bytes reported than the buffer holds");
    for (size_t i = count; i < capacity; ++i)
        fuzz_require(out[i] == kUntouched, "bytes written beyond the count reported");
    return 0;
}
