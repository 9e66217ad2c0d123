#include "module/RegistryScript.h"

#include <vector>

#include "platform/Diagnostics.h"
#include "module/ModuleFile.h"

namespace orvane {

HRESULT ExpandScriptVariables(std::wstring_view text, std::span<const ScriptVariable> variables, std::wstring& expanded)
{
    expanded.clear();
    expanded.reserve(text.size());
    size_t position = 0;
    while (position < text.size()) {
        const size_t percent = text.find(L'%', position);
        if (percent == std::wstring_view::npos) {
            expanded.append(text.substr(position));
            break;
        }
        expanded.append(text.substr(position, percent - position));
        const size_t end = text.find(L'%', percent + 1);
        if (end == std::wstring_view::npos) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        }
        const std::wstring_view name = text.substr(percent + 1, end - percent - 1);
        if (name.empty()) {
            expanded.push_back(L'%');
        } else {
            const ScriptVariable* found = nullptr;
            for (const ScriptVariable& variable : variables) {
                if (variable.name == name) {
                    found = &variable;
                    break;
                }
            }
            if (found == nullptr) {
                return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
            }
            expanded.append(found->value);
        }
        position = end + 1;
    }
    return S_OK;
}

HRESULT QuoteModulePath(std::wstring_view path, std::wstring& quoted)
{
    quoted.clear();
    if (path.size() >= MAX_PATH) {
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    for (const wchar_t c : path) {
        quoted.push_back(c);
        if (c == L'\'') {
            quoted.push_back(L'\'');
        }
    }
    return S_OK;
}

HRESULT ProcessRegistryScript(std::wstring_view text, std::span<const ScriptVariable> variables, ScriptMode mode,
                              std::span<const RegistryRoot> roots)
{
    std::wstring expanded;
    if (const HRESULT result = ExpandScriptVariables(text, variables, expanded); FAILED(result)) {
        Trace("Orvane - registry script: unknown variable");
        return result;
    }
    const ParsedScript script = ParseRegistryScript(expanded);
    if (!script.Ok()) {
        TraceFormat("Orvane - registry script: %s", script.error.c_str());
    }
    return RunRegistryScript(script, mode, roots);
}

HRESULT UpdateRegistryFromResource(HMODULE module, UINT resourceId, ScriptMode mode)
{
    std::wstring path;
    if (const HRESULT result = ModuleFileName(module, path); FAILED(result)) {
        return result;
    }
    std::wstring quotedPath;
    if (const HRESULT result = QuoteModulePath(path, quotedPath); FAILED(result)) {
        return result;
    }

    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"REGISTRY");
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    const int size = static_cast<int>(SizeofResource(module, resource));
    // The script is 8-bit text in the ANSI code page; the resource carries no terminator.
    std::wstring text;
    if (size > 0) {
        const int length = MultiByteToWideChar(CP_ACP, 0, bytes, size, nullptr, 0);
        if (length <= 0) {
            return HRESULT_FROM_WIN32(GetLastError());
        }
        text.resize(static_cast<size_t>(length));
        MultiByteToWideChar(CP_ACP, 0, bytes, size, text.data(), length);
    }

    const ScriptVariable variables[] = {{L"MODULE", quotedPath}};
    return ProcessRegistryScript(text, variables, mode);
}

}  // namespace orvane
