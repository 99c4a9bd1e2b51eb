// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Building and editing configuration files for the tests.
#include "config_file.h"

#include "test_support.h"

namespace {

constexpr const char *kExample = R"({
  "bin_path": {
    "iw": { "iw_path": "/usr/sbin/iw" },
    "nan_r3": { "nan_r3_path": "/opt/nan/r3" },
    "wpa_supplicant": {
      "wpa_supplicant_path": "/usr/sbin/wpa_supplicant",
      "wpa_supplicant_conf_path": "/etc/wpa_supplicant.conf",
      "wpa_supplicant_log_file": "/tmp/wpa_supplicant.log",
      "wpa_supplicant_dbg_para": "-d"
    }
  },
  "basic": { "mac_addr": "02:00:00:00:00:01" },
  "dns_sd_record": {
    "publish1": {
      "publish_id": 1, "service_name": "demo", "name_of_service_instance": "demo-1",
      "textinfo": "9 txtvers=1|0x06 path=/", "hostname": "nanhost", "port_number": 8080,
      "security": "open", "start_cmd": "/etc/nan/up.sh", "end_cmd": "/etc/nan/down.sh"
    },
    "publish2": {
      "publish_id": 2, "service_name": "demo2", "name_of_service_instance": "demo-2",
      "textinfo": "", "hostname": "nanhost", "port_number": 8081, "security": "pairing",
      "bstrap_method": "opp|pin_code", "nik_caching": 1, "gtk_enable": 1
    },
    "subscribe": { "subscribe_id": 5, "service_name": "demo", "security": "open" }
  }
})";

json_object *parent_of(json_object *document, const std::string &path, std::string &last)
{
    json_object *parent = document;
    std::size_t start = 0;
    for (std::size_t dot = path.find('.'); dot != std::string::npos; dot = path.find('.', start)) {
        json_object *child = nullptr;
        json_object_object_get_ex(parent, path.substr(start, dot - start).c_str(), &child);
        parent = child;
        start = dot + 1;
    }
    last = path.substr(start);
    return parent;
}

} // namespace

json_document example_config()
{
    return json_document(json_tokener_parse(kExample));
}

void set_member(json_object *document, const std::string &path, json_object *value)
{
    std::string key;
    json_object *parent = parent_of(document, path, key);
    ASSERT_NE(parent, nullptr) << path;
    json_object_object_add(parent, key.c_str(), value);
}

void remove_member(json_object *document, const std::string &path)
{
    std::string key;
    json_object *parent = parent_of(document, path, key);
    ASSERT_NE(parent, nullptr) << path;
    json_object_object_del(parent, key.c_str());
}

std::string write_config(json_object *document)
{
    std::string path = test_folder() + "/nanpeer.json";
    json_object_to_file(path.c_str(), document);
    return path;
}
