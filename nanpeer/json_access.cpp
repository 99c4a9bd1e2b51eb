// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// json-c access shared by both configuration passes.
#include "json_access.h"

#include <cstring>

#include "log.h"

json_document read_json_file(const char *path)
{
    if (path == nullptr) {
        return nullptr;
    }
    return json_document(json_object_from_file(path));
}

json_object *json_member(json_object *parent, const char *key)
{
    json_object *value = nullptr;
    if (parent == nullptr || !json_object_object_get_ex(parent, key, &value)) {
        return nullptr;
    }
    return value;
}

json_object *required_member(json_object *parent, const char *key)
{
    json_object *value = json_member(parent, key);
    if (value == nullptr) {
        log_not_found(key);
    }
    return value;
}

const char *printable_path(const char *path)
{
    return path == nullptr ? "(null)" : path;
}

void log_not_found(const char *key)
{
    nan_log(log_severity::info, " \"%s\" not found\n", key);
}

void log_too_long(const char *key, std::size_t longest)
{
    nan_log(log_severity::info, "%s length is bigger than %d! \n", key, static_cast<int>(longest));
}

int copy_text_member(char *field, std::size_t field_size, json_object *value, const char *key)
{
    std::memset(field, 0, field_size);
    const char *text = json_object_get_string(value);
    const std::size_t length = text == nullptr ? 0 : std::strlen(text);
    if (length >= field_size) {
        log_too_long(key, field_size - 1);
        return 0;
    }
    if (length > 0) {
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result): zeroed above, length < field_size
        std::memcpy(field, text, length);
    }
    return 1;
}
