// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Configuration files for tests: the two-publisher example, edited by path.
#pragma once

#include <json-c/json.h>

#include <string>

#include "json_access.h"

// The worked example: publish1 open with text information, publish2 with
// pairing; a subscribe section with open security is added for subscribers.
json_document example_config();
// Sets (or with a null value removes) the member at a dotted path.
void set_member(json_object *document, const std::string &path, json_object *value);
void remove_member(json_object *document, const std::string &path);
// Writes the document into the test's folder and returns the file's path.
std::string write_config(json_object *document);
