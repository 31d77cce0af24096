#include <windows.h>

#include "platform/UserLocale.h"

namespace quil {

namespace {

// The user's nation as two letters ("GB"), through the geographical
// functions, looked up by name because older systems lack them.
std::string UserCountry() {
    const HMODULE kernel = GetModuleHandleA("KERNEL32");
    if (!kernel)
        return {};
    using GetUserGeoIdFunction = GEOID(WINAPI*)(GEOCLASS);
    using GetGeoInfoFunction = int(WINAPI*)(GEOID, GEOTYPE, LPSTR, int, LANGID);
    const auto getUserGeoId = reinterpret_cast<GetUserGeoIdFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetUserGeoID")));
    const auto getGeoInfo = reinterpret_cast<GetGeoInfoFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetGeoInfoA")));
    if (!getUserGeoId || !getGeoInfo)
        return {};
    char code[3] = {};
    if (getGeoInfo(getUserGeoId(GEOCLASS_NATION), GEO_ISO2, code, sizeof code, 0) == 0)
        return {};
    return code;
}

// The user's default language as its ISO 639-1 letters ("en").
std::string UserLanguage() {
    char code[9] = {};
    const LCID locale = MAKELCID(GetUserDefaultLangID(), SORT_DEFAULT);
    if (GetLocaleInfoA(locale, LOCALE_SISO639LANGNAME, code, sizeof code) == 0)
        return {};
    return code;
}

}  // namespace

// "language_COUNTRY" in the POSIX locale form the links read; either part
// may be missing ("_GB", "en").
std::string UserLocaleName() {
    std::string name = UserLanguage();
    const std::string country = UserCountry();
    if (!country.empty())
        name += "_" + country;
    return name;
}

}  // namespace quil
