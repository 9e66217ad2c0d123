#pragma once
// The board library OHDW32: its 22 operations, imported by ordinal, and the records
// they exchange. This is the one declaration of the library for the whole project: the module's
// card includes it, and so does our simulated board (simboard/), which implements it.
//
// Layouts: the byte offsets the module relies on are those of the 32-bit (i686) reference build
// and are checked below with static_asserts there. Records that hold addresses (stream
// parameters, buffer descriptor, parameter block) use real pointers and HANDLEs, so on x86_64 they
// take their natural, larger layout; a record's size field then holds its sizeof.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#if defined(OHDW32_BUILD)
#define OHDW32_API
#else
#define OHDW32_API __declspec(dllimport)
#endif

// ---------------------------------------------------------------------------------------------
// Status values (16-bit, 0 = success). eHD_GetErrorText gives a readable text for each.
// ---------------------------------------------------------------------------------------------
enum OhdStatus : WORD {
    OHD_OK = 0,

    // Arguments and records (0x01xx)
    OHD_ERR_NULL_POINTER = 0x0101,            // a required pointer is null
    OHD_ERR_INVALID_SIZE = 0x0102,            // record/buffer size zero, too small or too large
    OHD_ERR_INVALID_ARGUMENT = 0x0103,        // reserved argument not 0, or a bad value
    OHD_ERR_UNKNOWN_BOARD = 0x0104,           // no board with this board index
    OHD_ERR_UNKNOWN_BOARD_ID = 0x0105,        // no board with this board id
    OHD_ERR_BOARD_NOT_OPEN = 0x0106,
    OHD_ERR_BOARD_ALREADY_OPEN = 0x0107,
    OHD_ERR_BOARD_BUSY = 0x0108,              // a live stream is open on the board
    OHD_ERR_UNKNOWN_PARAMETER = 0x0109,
    OHD_ERR_PARAMETER_OUT_OF_RANGE = 0x010A,
    OHD_ERR_PARAMETER_WRITE_ONLY = 0x010B,
    OHD_ERR_UNKNOWN_INFO_ITEM = 0x010C,
    OHD_ERR_INVALID_MODE_HANDLE = 0x010D,
    OHD_ERR_NO_MODE = 0x010E,                 // eHD_ReleaseMode on a board without a mode
    OHD_ERR_MODE_RECORD_INVALID = 0x010F,     // record not filled by eHD_ReadConfigFile
    OHD_ERR_MODE_OUT_OF_RANGE = 0x0110,       // eHD_SetMode value outside the board's limits
    OHD_ERR_INVALID_APPLY_CODE = 0x0111,
    OHD_ERR_UNKNOWN_STATUS = 0x0112,          // eHD_GetErrorText: no text for this status
    OHD_ERR_WB_NOT_MEASURED = 0x0113,         // eHD_SetWhiteBalance before eHD_TestWhiteBalance
    OHD_ERR_INVALID_COMMAND = 0x0114,         // stream mode or white-balance command unknown
    OHD_ERR_OUT_OF_MEMORY = 0x0115,

    // Live stream (0x020x)
    OHD_ERR_STREAM_NOT_OPEN = 0x0201,
    OHD_ERR_STREAM_ALREADY_OPEN = 0x0202,
    OHD_ERR_NO_SIGNAL = 0x0203,               // no video signal
    OHD_ERR_STREAM_ALREADY_STARTED = 0x0204,
    OHD_ERR_NO_BUFFER_READY = 0x0205,         // eHD_GetStreamBuffer: nothing filled yet
    OHD_ERR_UNKNOWN_DESCRIPTOR = 0x0206,
    OHD_ERR_BUFFER_NOT_HANDED_OVER = 0x0207,  // released twice, or never handed over
    OHD_ERR_UNKNOWN_FORMAT = 0x0208,          // image format type outside 0..9
    OHD_ERR_STREAM_SIZE_MISMATCH = 0x0209,    // image size zero or larger than the active area
    OHD_ERR_INVALID_BUFFER_LIST = 0x020A,     // null array or block, 0 or too many, duplicates
    OHD_ERR_INVALID_EVENT = 0x020B,           // frame event handle null or not a handle
    OHD_ERR_STREAM_PARAMS_MISMATCH = 0x020C,  // close with another buffer list than open
    OHD_ERR_THREAD_FAILED = 0x020D,

    // CHP file (eHD_ReadConfigFile)
    OHD_ERR_CHP_MISSING = 0x0211,
    OHD_ERR_CHP_UNREADABLE = 0x0212,          // cannot be read, or no [ORVANEHD] section
    OHD_ERR_CHP_BAD_TIMING = 0x0213,          // a timing key missing, not a number or invalid
    OHD_ERR_CHP_ACTIVE_TOO_LARGE = 0x0214,    // active size invalid or larger than the timing
    OHD_ERR_CHP_UNKNOWN_CABLE = 0x0215,       // "Cable Type" missing or unknown
    OHD_CHP_ADJUSTED = 535,                   // 0x0217: accepted, some values adjusted
};

// ---------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------
constexpr int kOhdMaxBoards = 15;

// One board of the board list: 24 bytes.
struct BoardListEntry {
    int16_t boardId;     // 0: passed to eHD_GetBoardName
    int16_t boardType;   // 2: same value as board information item 4
    DWORD busSlot;       // 4
    char serial[8];      // 8..15: serial number text, NUL-padded; 8 characters fill it unterminated
    int16_t boardIndex;  // 16: the number used to open and address the board (never 0)
    WORD flags;          // 18: bit 0 = board is open
    DWORD reserved;      // 20
};

// The board list: 380 bytes, a 20-byte header and 15 records.
struct BoardList {
    DWORD size;        // 0: 380
    DWORD count;       // 4: records filled
    DWORD entrySize;   // 8: 24
    DWORD version;     // 12
    DWORD reserved;    // 16
    BoardListEntry entries[kOhdMaxBoards];  // 20
};

struct BoardNameRequest {
    DWORD boardId;  // board id of the board list (low 16 bits count)
    char* name;     // 32-byte buffer, receives the NUL-terminated name
};

// Filled by eHD_OpenBoard: 32 bytes.
struct OpenRecord {
    WORD boardIndex;        // 0
    int16_t boardType;      // 2
    DWORD firmwareVersion;  // 4
    char serial[16];        // 8
    DWORD memoryMegabytes;  // 24
    DWORD openCount;        // 28: how often this board was opened in this process
};

// Cable types (mode record +52).
enum OhdCableType : int32_t { OHD_CABLE_DVI_TO_BNC = 0, OHD_CABLE_DVI_TO_VGA = 1, OHD_CABLE_DVI_TO_DVI = 2 };

// Bits of ModeRecord::adjustedFields: what eHD_ReadConfigFile adjusted (status 535).
enum OhdAdjusted : int32_t {
    OHD_ADJ_GAIN = 0x001,
    OHD_ADJ_BLACK_LEVEL = 0x002,
    OHD_ADJ_PHASE = 0x004,
    OHD_ADJ_HORIZONTAL_FREQUENCY = 0x008,
    OHD_ADJ_HORIZONTAL_BACK_SYNC = 0x010,
    OHD_ADJ_VERTICAL_BACK_PORCH = 0x020,
    OHD_ADJ_IMAGE_WIDTH = 0x040,
    OHD_ADJ_IMAGE_HEIGHT = 0x080,
    OHD_ADJ_PIXEL_MODE = 0x100,
    OHD_ADJ_CALIBRATION = 0x200,
};

constexpr DWORD kOhdModeSignature = 0x4D44484F;  // "OHDM"

// The board's video mode: 1134 bytes, byte-packed. The module touches only the fields at offsets
// 28, 44, 48, 52, 60, 64, 68, 72, 88, 92 and 140; the rest belongs to the library.
#pragma pack(push, 1)
struct ModeRecord {
    DWORD signature;                  // 0: kOhdModeSignature once filled by eHD_ReadConfigFile
    DWORD recordSize;                 // 4: 1134
    WORD boardIndex;                  // 8: board whose file was read
    WORD reserved0;                   // 10
    int32_t pixelMode;                // 12: 0 = "RGB", 1 = "MONO" ([O-RGB] PixelMode)
    int32_t verticalFrequencyMilliHz; // 16: horizontal frequency * 1000 / vertical total
    int32_t pixelClockKHz;            // 20: horizontal total * horizontal frequency / 1000
    int32_t adjustedFields;           // 24: OhdAdjusted bits of the last read
    int32_t verticalTotal;            // 28: vertical total lines
    int32_t reserved1[3];             // 32
    int32_t verticalBackPorchTenths;  // 44: vertical back porch in tenths of a line
    int32_t activeLines;              // 48
    int32_t cableType;                // 52: OhdCableType
    int32_t reserved2;                // 56
    int32_t horizontalFrequency;      // 60: line frequency in Hz
    int32_t horizontalTotal;          // 64: horizontal total pixels
    int32_t horizontalBackSync;       // 68: pixels
    int32_t activePixels;             // 72: active pixels per line
    int32_t reserved3[3];             // 76
    int32_t gain;                     // 88: 1/10000
    int32_t blackLevel;               // 92: 1/10000
    int32_t colourCalibration[6];     // 96: red/green/blue gain, red/green/blue offset (-255..255)
    BYTE colourRegisters[6];          // 120: the board's current colour registers (read only)
    BYTE reserved4[14];               // 126
    int32_t phaseTenths;              // 140: phase in tenths
    char description[64];             // 144: [ORVANEHD] "Description"
    char sourceFile[260];             // 208: full path of the file read
    BYTE reserved5[1134 - 468];       // 468
};
#pragma pack(pop)

// Parameter block of eHD_GetParameter / eHD_SetParameter: a 32-bit value, then the mode record.
// Block size: sizeof(ParameterBlock) (8 on i686) or 4 (value only, as "HardReset" is passed).
struct ParameterBlock {
    DWORD value;
    ModeRecord* mode;
};

// Stream parameters of eHD_LiveStreamOpen / eHD_LiveStreamClose (84 bytes on i686).
struct StreamParameters {
    DWORD size;              // 0: sizeof(StreamParameters)
    BYTE** buffers;          // 4: array of `bufferCount` pixel block addresses
    DWORD bufferCount;       // 8
    int32_t formatType;      // 12: image format type 0..9 (the module's format table)
    DWORD reserved1[7];      // 16
    int32_t height;          // 44: lines
    DWORD reserved2;         // 48
    int32_t width;           // 52: pixels
    DWORD reserved3[3];      // 56
    HANDLE frameEvent;       // 68: auto-reset event, set once per filled block
    DWORD reserved4[3];      // 72
};

// Buffer descriptor, owned by the library, handed over by eHD_GetStreamBuffer (8 bytes on i686).
struct BufferDescriptor {
    DWORD frameNumber;  // 0: source frame number of the frame in the block
    BYTE* pixels;       // 4 (second 32-bit word on i686): address of the filled pixel block
};

// White-balance record: 36 bytes.
struct WhiteBalanceRecord {
    DWORD command;          // 0: eHD_SetWhiteBalance: 0 = apply measured values, 1 = restore
    DWORD measured;         // 4: 1 after eHD_TestWhiteBalance filled the record
    BYTE firstSet[6];       // 8: factory registers: red/green/blue gain, red/green/blue offset
    BYTE origRedGain;       // 14: red gain register in use before the test
    BYTE reserved0;         // 15
    DWORD measureCount;     // 16: number of the measurement in this process
    BYTE secondSet[6];      // 20: measured registers, same order
    BYTE reserved1[10];     // 26
};

// Model table: eHD_GetModelTable returns the address of a ModelTable; the entries start 8 bytes
// after it. Limits in units of 1/10000.
constexpr int kOhdModelCount = 15;
struct ModelTableEntry {
    char name[32];                 // 0
    int32_t modelIndex;            // 32
    int32_t maxPixelClockKHz;      // 36
    int32_t minHorizontalFrequency;// 40
    int32_t maxHorizontalFrequency;// 44
    int32_t maxHorizontalTotal;    // 48
    int32_t maxVerticalTotal;      // 52
    BYTE reserved0[204 - 56];      // 56
    int32_t gainMin;               // 204
    int32_t gainMax;               // 208
    int32_t blackLevelMin;         // 212
    int32_t blackLevelMax;         // 216
    int32_t phaseMaxTenths;        // 220
    BYTE reserved1[236 - 224];     // 224
};
struct ModelTable {
    DWORD entryCount;  // 0: 15
    DWORD entrySize;   // 4: 236
    ModelTableEntry entries[kOhdModelCount];  // 8
};

// Board information items of eHD_GetBoardInfo.
enum OhdBoardInfoItem : DWORD {
    OHD_INFO_SERIAL = 1,       // text, at least 8 bytes
    OHD_INFO_FIRMWARE = 2,     // DWORD
    OHD_INFO_MEMORY_MB = 3,    // DWORD
    OHD_INFO_BOARD_TYPE = 4,   // int16
};

// eHD_SetMode apply codes; eHD_LiveStreamMode commands.
enum : DWORD { OHD_APPLY_ANALOGUE = 0, OHD_APPLY_FULL = 2 };
enum : DWORD { OHD_STREAM_START = 1, OHD_STREAM_STOP = 3 };

// ---------------------------------------------------------------------------------------------
// Layout checks
// ---------------------------------------------------------------------------------------------
static_assert(sizeof(BoardListEntry) == 24);
static_assert(offsetof(BoardListEntry, boardId) == 0);
static_assert(offsetof(BoardListEntry, serial) == 8);
static_assert(offsetof(BoardListEntry, boardIndex) == 16);
static_assert(sizeof(BoardList) == 380);
static_assert(offsetof(BoardList, entries) == 20);
static_assert(sizeof(OpenRecord) == 32);
static_assert(sizeof(ModeRecord) == 1134);
static_assert(offsetof(ModeRecord, verticalTotal) == 28);
static_assert(offsetof(ModeRecord, verticalBackPorchTenths) == 44);
static_assert(offsetof(ModeRecord, activeLines) == 48);
static_assert(offsetof(ModeRecord, cableType) == 52);
static_assert(offsetof(ModeRecord, horizontalFrequency) == 60);
static_assert(offsetof(ModeRecord, horizontalTotal) == 64);
static_assert(offsetof(ModeRecord, horizontalBackSync) == 68);
static_assert(offsetof(ModeRecord, activePixels) == 72);
static_assert(offsetof(ModeRecord, gain) == 88);
static_assert(offsetof(ModeRecord, blackLevel) == 92);
static_assert(offsetof(ModeRecord, phaseTenths) == 140);
static_assert(sizeof(WhiteBalanceRecord) == 36);
static_assert(offsetof(WhiteBalanceRecord, firstSet) == 8);
static_assert(offsetof(WhiteBalanceRecord, origRedGain) == 14);
static_assert(offsetof(WhiteBalanceRecord, secondSet) == 20);
static_assert(sizeof(ModelTableEntry) == 236);
static_assert(offsetof(ModelTableEntry, gainMin) == 204);
static_assert(offsetof(ModelTableEntry, gainMax) == 208);
static_assert(offsetof(ModelTableEntry, blackLevelMin) == 212);
static_assert(offsetof(ModelTableEntry, blackLevelMax) == 216);
static_assert(offsetof(ModelTable, entries) == 8);
#if defined(_M_IX86) || defined(__i386__)
static_assert(sizeof(ParameterBlock) == 8);
static_assert(offsetof(ParameterBlock, mode) == 4);
static_assert(sizeof(StreamParameters) == 84);
static_assert(offsetof(StreamParameters, buffers) == 4);
static_assert(offsetof(StreamParameters, bufferCount) == 8);
static_assert(offsetof(StreamParameters, formatType) == 12);
static_assert(offsetof(StreamParameters, height) == 44);
static_assert(offsetof(StreamParameters, width) == 52);
static_assert(offsetof(StreamParameters, frameEvent) == 68);
static_assert(sizeof(BufferDescriptor) == 8);
static_assert(offsetof(BufferDescriptor, pixels) == 4);
static_assert(sizeof(BoardNameRequest) == 8);
#endif

// ---------------------------------------------------------------------------------------------
// Operations, in export-ordinal order; the comment gives the ordinal (OHDW32.def).
// ---------------------------------------------------------------------------------------------
extern "C" {
// @1: number of boards, at most maxBoards; negative for invalid arguments (zero != 0, maxBoards < 1).
OHDW32_API short WINAPI eHD_GetBoardCount(int zero, int maxBoards);
// @2: fills the 380-byte board list; size must be sizeof(BoardList).
OHDW32_API WORD WINAPI eHD_GetBoardList(int zero, DWORD size, BoardList* list);
// @3
OHDW32_API WORD WINAPI eHD_GetBoardName(BoardNameRequest* request);
// @4
OHDW32_API WORD WINAPI eHD_OpenBoard(WORD boardIndex, OpenRecord* record);
// @5: stops and closes the board's stream, releases its mode and closes it.
OHDW32_API void WINAPI eHD_CloseBoard(WORD boardIndex);
// @6: "HardReset" (also before eHD_OpenBoard), "ActiveMode", "Brightness", "Contrast", "Hue", "Saturation".
OHDW32_API WORD WINAPI eHD_SetParameter(WORD boardIndex, const char* name, DWORD blockSize, void* block);
// @7
OHDW32_API WORD WINAPI eHD_GetParameter(WORD boardIndex, const char* name, DWORD blockSize, void* block);
// @8: 0 = clean, 535 = accepted with adjusted values, other = rejected (OHD_ERR_CHP_*).
OHDW32_API WORD WINAPI eHD_ReadConfigFile(WORD boardIndex, const char* path, ModeRecord* mode, DWORD zero);
// @9: releases the board's mode (its handle becomes invalid).
OHDW32_API WORD WINAPI eHD_ReleaseMode(WORD boardIndex);
// @10: opaque 32-bit mode handle, 0 on failure.
OHDW32_API DWORD WINAPI eHD_CreateMode(WORD boardIndex, DWORD zero, ModeRecord* mode);
// @11: applyCode 0 = gain, black level, colour calibration; 2 = the whole mode.
OHDW32_API WORD WINAPI eHD_SetMode(DWORD mode, ModeRecord* record, DWORD applyCode);
// @12
OHDW32_API WORD WINAPI eHD_GetMode(DWORD mode, ModeRecord* record);
// @13
OHDW32_API const void* WINAPI eHD_GetModelTable(void);
// @14
OHDW32_API WORD WINAPI eHD_GetBoardInfo(WORD boardIndex, DWORD item, DWORD size, void* buffer);
// @15: at most maxLength characters plus the NUL (buffer of maxLength + 1 bytes).
OHDW32_API WORD WINAPI eHD_GetErrorText(WORD status, DWORD maxLength, char* buffer);
// @16
OHDW32_API WORD WINAPI eHD_LiveStreamOpen(DWORD mode, StreamParameters* parameters);
// @17: command 1 = start, 3 = stop.
OHDW32_API WORD WINAPI eHD_LiveStreamMode(DWORD mode, DWORD command);
// @18
OHDW32_API WORD WINAPI eHD_LiveStreamClose(DWORD mode, StreamParameters* parameters);
// @19
OHDW32_API WORD WINAPI eHD_GetStreamBuffer(DWORD mode, BufferDescriptor** descriptor);
// @20
OHDW32_API WORD WINAPI eHD_ReleaseStreamBuffer(DWORD mode, BufferDescriptor* descriptor);
// @21
OHDW32_API WORD WINAPI eHD_TestWhiteBalance(DWORD mode, ModeRecord* record, WhiteBalanceRecord* balance);
// @22
OHDW32_API WORD WINAPI eHD_SetWhiteBalance(DWORD mode, ModeRecord* record, WhiteBalanceRecord* balance);
}
