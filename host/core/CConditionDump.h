#pragma once

#include <string>

#include <nlohmann/json.hpp>

// The stored condition and day files as JSON, every field, texts in UTF-8. A missing condition
// file is null; a short or damaged file gives the fields it holds whole, and the bytes past the
// last whole record are counted as ignored, as the engine ignores them.
class CConditionDump {
public:
    // alert.cfg, Magic.cfg and System_alert.cfg of a system directory.
    static nlohmann::ordered_json DumpConditions(const std::string& sysDir);
    // One day file of alert records. False with error set ("path: why") when it cannot be read.
    static bool DumpDayFile(const std::string& path, nlohmann::ordered_json& out,
                            std::string& error);

    static nlohmann::ordered_json DumpAlertCfg(const std::string& bytes);
    static nlohmann::ordered_json DumpMagicCfg(const std::string& bytes);
    static nlohmann::ordered_json DumpSystemAlertCfg(const std::string& bytes);
    static nlohmann::ordered_json DumpAlertRecords(const std::string& bytes);
};
