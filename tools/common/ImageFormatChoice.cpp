#include "tools/common/ImageFormatChoice.h"

#include <cctype>

#include "platform/UniqueBstr.h"
#include "tools/common/ComErrorText.h"

namespace orvane::host {

namespace {

constexpr wchar_t kSettingName[] = L"Image Format";

std::string Folded(const std::string& text)
{
    std::string folded;
    for (const char c : text) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return folded;
}

std::string Text(const UniqueBstr& text)
{
    return text.Get() == nullptr ? std::string() : Narrow(std::wstring(text.Get(), SysStringLen(text.Get())));
}

}  // namespace

HRESULT ReadImageFormatSetting(ICorvathSettingsProp& settings, ImageFormatSetting& setting)
{
    LONG count = 0;
    HRESULT result = settings.GetSettingCount(&count);
    if (FAILED(result)) {
        return result;
    }
    for (LONG index = 0; index < count; ++index) {
        UniqueBstr name;
        LONG id = 0;
        if (FAILED(result = settings.GetSettingInfo(index, name.Put(), &id))) {
            return result;
        }
        if (name.Get() == nullptr || std::wstring(name.Get(), SysStringLen(name.Get())) != kSettingName) {
            continue;
        }
        LONG options = 0;
        if (FAILED(result = settings.GetOptionCount(id, &options))) {
            return result;
        }
        setting.id = id;
        setting.options.clear();
        for (LONG option = 0; option < options; ++option) {
            UniqueBstr label;
            LONG value = 0;
            if (FAILED(result = settings.GetOptionInfo(id, option, label.Put(), &value))) {
                return result;
            }
            setting.options.push_back({Text(label), value});
        }
        return S_OK;
    }
    return S_FALSE;
}

std::optional<FormatOption> MatchFormat(const std::string& request, const std::vector<FormatOption>& options)
{
    const bool number = !request.empty() && request.size() <= 9 && request.find_first_not_of("0123456789") == std::string::npos;
    for (const FormatOption& option : options) {
        if (number ? option.type == std::stol(request) : (!option.name.empty() && Folded(option.name) == Folded(request))) {
            return option;
        }
    }
    if (number) {
        return FormatOption{{}, std::stol(request)};
    }
    return std::nullopt;
}

std::string ListChoices(const std::vector<FormatOption>& options)
{
    std::string list;
    for (const FormatOption& option : options) {
        if (!option.name.empty()) {
            list += (list.empty() ? "\"" : ", \"") + option.name + "\" (" + std::to_string(option.type) + ")";
        }
    }
    return list;
}

LONG FormatTypeFromCode(LONG formatCode, LONG significantBits)
{
    switch (formatCode) {
    case 500: return 6;
    case 200: return 9;
    case 905: return 7;
    case 906: return 8;
    case 600: return 5;
    case 100: return 0;
    case 114: return significantBits == 10 ? 1 : 2;
    default: return -1;
    }
}

}  // namespace orvane::host
