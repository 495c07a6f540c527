#pragma once

#include "platform/store/IProfileStore.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel::platform {

// Where every Kestrel program keeps its profile: Software\ORVA\Kestrel.
inline constexpr std::string_view kProfileKeyWord = "ORVA";
inline constexpr std::string_view kProfileAppName = "Kestrel";

// An application profile: sections under Software\<key word>\<application>,
// each a key of the store, read with a default and created when first opened.
class AppProfile {
public:
    AppProfile(IProfileStore &store, std::string_view keyWord = kProfileKeyWord,
               std::string_view appName = kProfileAppName);

    const std::string &ProfileKeyPath() const { return profileKeyPath_; }
    std::string SectionKeyPath(std::string_view section) const;

    // A missing section, a missing value or a value of the other type reads as the default.
    std::int32_t GetProfileInt(std::string_view section, std::string_view entry, std::int32_t defaultValue);
    std::string GetProfileString(std::string_view section, std::string_view entry, std::string_view defaultValue);
    bool WriteProfileInt(std::string_view section, std::string_view entry, std::int32_t value);
    bool WriteProfileString(std::string_view section, std::string_view entry, std::string_view value);

private:
    IProfileStore &store_;
    std::string profileKeyPath_;
};

} // namespace kestrel::platform
