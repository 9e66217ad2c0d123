// eHD_GetErrorText: one distinct, readable text per status. The statuses of eHD_ReadConfigFile
// carry the detail of the last read that gave them (which key, which value, which adjustment).
#include <cstdio>
#include <cstring>
#include <string>

#include "interfaces/BoardLibrary.h"
#include "simboard/SimState.h"

namespace simboard {

namespace {

struct StatusText {
    WORD status;
    const char* text;
};

constexpr StatusText kTexts[] = {
    {OHD_OK, "Success"},
    {OHD_ERR_NULL_POINTER, "A required pointer argument is null"},
    {OHD_ERR_INVALID_SIZE, "Record or buffer size is zero, too small or too large for this operation"},
    {OHD_ERR_INVALID_ARGUMENT, "Invalid argument: a reserved argument is not 0 or a value is not allowed"},
    {OHD_ERR_UNKNOWN_BOARD, "No board with this board index"},
    {OHD_ERR_UNKNOWN_BOARD_ID, "No board with this board id"},
    {OHD_ERR_BOARD_NOT_OPEN, "The board is not open"},
    {OHD_ERR_BOARD_ALREADY_OPEN, "The board is already open"},
    {OHD_ERR_BOARD_BUSY, "The board is busy: a live stream is open on it"},
    {OHD_ERR_UNKNOWN_PARAMETER, "Unknown parameter name"},
    {OHD_ERR_PARAMETER_OUT_OF_RANGE, "Parameter value out of range"},
    {OHD_ERR_PARAMETER_WRITE_ONLY, "This parameter can only be set, not read"},
    {OHD_ERR_UNKNOWN_INFO_ITEM, "Unknown board information item"},
    {OHD_ERR_INVALID_MODE_HANDLE, "Invalid or released mode handle"},
    {OHD_ERR_NO_MODE, "The board has no mode"},
    {OHD_ERR_MODE_RECORD_INVALID, "The mode record was not filled by eHD_ReadConfigFile"},
    {OHD_ERR_MODE_OUT_OF_RANGE, "A mode value is outside the board's limits or does not fit the timing"},
    {OHD_ERR_INVALID_APPLY_CODE, "Unknown apply code for eHD_SetMode (0 = analogue values, 2 = whole mode)"},
    {OHD_ERR_UNKNOWN_STATUS, "Unknown status"},
    {OHD_ERR_WB_NOT_MEASURED, "No white balance measured: call eHD_TestWhiteBalance first"},
    {OHD_ERR_INVALID_COMMAND, "Unknown command"},
    {OHD_ERR_OUT_OF_MEMORY, "Out of memory or system resources"},
    {OHD_ERR_STREAM_NOT_OPEN, "No live stream is open on this mode"},
    {OHD_ERR_STREAM_ALREADY_OPEN, "A live stream is already open on this mode"},
    {OHD_ERR_NO_SIGNAL, "No video signal on the input"},
    {OHD_ERR_STREAM_ALREADY_STARTED, "The live stream is already started"},
    {OHD_ERR_NO_BUFFER_READY, "No filled buffer is ready"},
    {OHD_ERR_UNKNOWN_DESCRIPTOR, "The buffer descriptor does not belong to the open stream"},
    {OHD_ERR_BUFFER_NOT_HANDED_OVER, "The buffer is not handed over (never given by eHD_GetStreamBuffer, or already released)"},
    {OHD_ERR_UNKNOWN_FORMAT, "Unknown image format type (0 to 9)"},
    {OHD_ERR_STREAM_SIZE_MISMATCH, "Stream image size is zero or larger than the mode's active area"},
    {OHD_ERR_INVALID_BUFFER_LIST, "Invalid pixel buffer list: null array or block, no block, too many blocks, or a block listed twice"},
    {OHD_ERR_INVALID_EVENT, "The frame event handle is null or not a valid handle"},
    {OHD_ERR_STREAM_PARAMS_MISMATCH, "The stream parameters do not match the open stream"},
    {OHD_ERR_THREAD_FAILED, "The stream's frame producer could not be started"},
    {OHD_ERR_CHP_MISSING, "CHP file not found"},
    {OHD_ERR_CHP_UNREADABLE, "CHP file cannot be read or is not a CHP file"},
    {OHD_ERR_CHP_BAD_TIMING, "CHP file timing missing or invalid"},
    {OHD_ERR_CHP_ACTIVE_TOO_LARGE, "CHP file active image size invalid or larger than the timing allows"},
    {OHD_ERR_CHP_UNKNOWN_CABLE, "CHP file cable type missing or unknown"},
    {OHD_CHP_ADJUSTED, "CHP file accepted with adjusted values"},
};

const char* BaseText(WORD status)
{
    for (const StatusText& entry : kTexts) {
        if (entry.status == status) {
            return entry.text;
        }
    }
    return nullptr;
}

}  // namespace

}  // namespace simboard

using namespace simboard;

extern "C" WORD WINAPI eHD_GetErrorText(WORD status, DWORD maxLength, char* buffer)
{
    return Guarded([&]() -> WORD {
        std::string text;
        {
            StateGuard guard;
            WORD injected = 0;
            if (EnterOperation(Op::GetErrorText, nullptr, &injected)) {
                return injected;
            }
            if (buffer == nullptr) {
                return OHD_ERR_NULL_POINTER;
            }
            if (maxLength == 0) {
                return OHD_ERR_INVALID_SIZE;
            }
            const char* base = BaseText(status);
            if (base != nullptr) {
                text = base;
                const Device& device = TheDevice();
                if (status != OHD_OK && status == device.lastConfigStatus && !device.lastConfigDetail.empty()) {
                    text += ": " + device.lastConfigDetail;
                }
            } else {
                char unknown[64];
                std::snprintf(unknown, sizeof unknown, "Unknown status %u (0x%04X)", status, status);
                text = unknown;
            }
        }
        const size_t n = text.size() < maxLength ? text.size() : static_cast<size_t>(maxLength);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
        return BaseText(status) != nullptr ? static_cast<WORD>(OHD_OK) : static_cast<WORD>(OHD_ERR_UNKNOWN_STATUS);
    });
}
