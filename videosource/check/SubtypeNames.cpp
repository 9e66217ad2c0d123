#include "videosource/check/SubtypeNames.h"

#include <uuids.h>

#include <cctype>

#include "videosource/VideoFormats.h"

namespace orvane::dshowcheck {

namespace {

struct Named {
    const char* name;
    LONG moduleType;  // a module type with that subtype
};

// Each name by a module format that carries it: the subtype comes from the one table.
constexpr Named kNames[] = {{"RGB32", 6}, {"RGB24", 9}, {"RGB555", 7}, {"RGB565", 8}, {"Y800", 0},
                            {"Y10", 1},   {"Y16", 2},   {"YUY2", 5}};

std::string Lower(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

std::string SubtypeName(const GUID& subtype)
{
    for (const Named& named : kNames) {
        if (IsEqualGUID(videosource::MappingForType(named.moduleType)->subtype, subtype)) {
            return named.name;
        }
    }
    wchar_t text[40] = {};
    StringFromGUID2(subtype, text, 40);
    std::string narrow;
    for (const wchar_t* c = text; *c != 0; ++c) {
        narrow += static_cast<char>(*c);
    }
    return narrow;
}

std::optional<GUID> SubtypeByName(const std::string& name)
{
    for (const Named& named : kNames) {
        if (Lower(named.name) == Lower(name)) {
            return videosource::MappingForType(named.moduleType)->subtype;
        }
    }
    return std::nullopt;
}

std::string SubtypeNameList()
{
    std::string list;
    for (const Named& named : kNames) {
        list += (list.empty() ? "" : ", ") + std::string(named.name);
    }
    return list;
}

}  // namespace orvane::dshowcheck
