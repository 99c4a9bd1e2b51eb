// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Reading json-c documents: ownership, member lookup and bounded copies.
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <memory>

struct json_object_release {
    void operator()(json_object *object) const { json_object_put(object); }
};
using json_document = std::unique_ptr<json_object, json_object_release>;

// The whole file parsed, or null when it cannot be read or is not JSON.
json_document read_json_file(const char *path);

// The member's value, or null when the member is absent or JSON null:
// a null value is as unusable as a missing one.
json_object *json_member(json_object *parent, const char *key);

// json_member for a key that must be there: prints the not-found line.
json_object *required_member(json_object *parent, const char *key);

// Zero-fills the field and copies the member's text into it. A text that
// does not fit with its terminator is refused with a line naming the key
// and the longest text the field takes; the field is then left zeroed.
int copy_text_member(char *field, std::size_t field_size, json_object *value, const char *key);

// A configuration path as printed; without -f there is none.
const char *printable_path(const char *path);

void log_not_found(const char *key);
void log_too_long(const char *key, std::size_t longest);
