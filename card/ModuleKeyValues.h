#pragma once
// What the card reads under its module key when it opens: the remembered CHP file, the board chosen
// by serial number, and whether anyone is there to answer a window.
#include <windows.h>

#include <string>

namespace orvane {

struct ModuleKeyValues {
    // "Board Serial" (text): the board to open; empty when absent or empty (the first board).
    std::string boardSerial;
    // "Board Serial" is there but holds no text: the card refuses to guess a board.
    bool boardSerialNotText = false;
    // "Unattended" (DWORD), nonzero: the module opens no window at all.
    bool unattended = false;
    // The module key as the messages name it: "HKCU\<registry path>Orvane".
    std::string keyText;
};

// Reads the board choice and the unattended flag; the key is only opened, never created.
ModuleKeyValues ReadModuleKeyValues(const std::wstring& moduleKey);

// Reads the remembered CHP path "Board File" from an open key; false when the value is missing,
// not a string, too long or not terminated within its 260 bytes.
bool ReadBoardFile(HKEY key, char (&path)[260]);

}  // namespace orvane
