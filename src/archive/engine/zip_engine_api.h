#pragma once
// The interface between the archive reader and the engine library "ZipEngine.so": the six
// exports, the extraction parameter record and the callback record.
//
// Layout: every field of the parameter record occupies one slot of pointer width, in a
// fixed order. On a 32-bit build slot k sits at byte 4k (the record is 152 bytes); on a
// 64-bit build at byte 8k (304 bytes), so that addresses fit their slot and both builds
// agree on the order. Booleans are -1 for true and 0 for false.
#include <cstddef>
#include <cstdint>

extern "C" {

using ZE_Slot = intptr_t;

constexpr ZE_Slot kZE_True = -1;
constexpr ZE_Slot kZE_False = 0;
constexpr ZE_Slot kZE_InterfaceVersion = 179;
constexpr ZE_Slot kZE_RecordEndMark = 7;

// Results of ZE_Extract below zero. -1 to -5 are the ones the reader names; the rest it
// reports as a critical engine error with the number.
enum ZE_Error : int32_t {
    ZE_ErrCancelled = -1,      // the callback asked to stop
    ZE_ErrAborted = -2,        // ZE_Abort was called
    ZE_ErrHandler = -3,        // the callback failed
    ZE_ErrMemory = -4,         // the output block does not fit the member
    ZE_ErrStructure = -5,      // damaged archive or member data (CRC, sizes, local header)
    ZE_ErrUnsupported = -6,    // encrypted member or compression method not supported
    ZE_ErrException = -7,      // used by the reader when the call itself fails
    ZE_ErrOpen = -8,           // the archive cannot be opened or has no directory
    ZE_ErrParameters = -9,     // the record is not one this engine understands
};

// Actions of the callback (low 6 bits of `action`).
enum ZE_Action : int32_t {
    ZE_ActTotalFiles = 1,
    ZE_ActItemStart = 2,
    ZE_ActItemProgress = 3,
    ZE_ActItemEnd = 4,
    ZE_ActPassword = 8,
    ZE_ActResizeOutput = 13,
};

// Answers written back into `action`.
constexpr ZE_Slot kZE_Accepted = -1;
constexpr ZE_Slot kZE_Refused = -2;
constexpr ZE_Slot kZE_RefusedAll = -3;
constexpr size_t kZE_PasswordMax = 80;

struct ZE_CallbackRecord {
    ZE_Slot recordSize;         // sizeof(ZE_CallbackRecord)
    ZE_Slot reserved1;
    ZE_Slot operationZip;       // 0 during extraction
    ZE_Slot action;             // action code in; answer out
    ZE_Slot number;             // depends on the action (count, size, attempts left)
    ZE_Slot reserved5;
    uint64_t answerSize;        // resize: the size wanted; zeroed when refused
    ZE_Slot reserved7[3];
    void* address;              // resize: the new address of the output block
    const char* text;           // the member's name, where the action has one
    char answerText[kZE_PasswordMax + 1];  // password answer, zero-terminated
};

using ZE_Callback = int32_t (*)(void* context, ZE_CallbackRecord* record);

// One requested name: 8 slots, the first the name's address.
struct ZE_NameItem {
    const char* name;
    ZE_Slot reserved[7];
};

struct ZE_ExtractParams {
    ZE_Slot window;             //  0: application window, 0 when unattended
    void* context;              //  4: handed back in every callback
    ZE_Slot interfaceVersion;   //  8: kZE_InterfaceVersion
    ZE_Callback callback;       // 12
    ZE_Slot trace;              // 16
    ZE_Slot reserved5[2];       // 20, 24
    const char* password;       // 28
    ZE_Slot testOnly;           // 32
    ZE_Slot reserved9[2];       // 36, 40: 0
    ZE_Slot minusOne;           // 44: -1
    ZE_Slot verbose;            // 48
    ZE_Slot update;             // 52
    ZE_Slot freshen;            // 56
    ZE_Slot directoryNames;     // 60
    ZE_Slot overwrite;          // 64
    ZE_Slot nameCount;          // 68
    const char* archiveName;    // 72
    ZE_NameItem* names;         // 76
    ZE_Slot reserved20;         // 80
    ZE_Slot memoryOutput;       // 84
    uint8_t* outputBlock;       // 88
    ZE_Slot outputSize;         // 92
    ZE_Slot memoryInput[3];     // 96, 100, 104: not used for extraction
    ZE_Slot passwordRequests;   // 108
    const char* baseFolder;     // 112: 0 for memory output
    ZE_Slot reserved29[8];      // 116 .. 144
    ZE_Slot endMark;            // 148: kZE_RecordEndMark
};

static_assert(sizeof(ZE_ExtractParams) == 38 * sizeof(ZE_Slot));
static_assert(offsetof(ZE_ExtractParams, nameCount) == 17 * sizeof(ZE_Slot));
static_assert(offsetof(ZE_ExtractParams, outputBlock) == 22 * sizeof(ZE_Slot));
static_assert(offsetof(ZE_ExtractParams, passwordRequests) == 27 * sizeof(ZE_Slot));
static_assert(offsetof(ZE_ExtractParams, endMark) == 37 * sizeof(ZE_Slot));
static_assert(sizeof(ZE_NameItem) == 8 * sizeof(ZE_Slot));

using ZE_ExtractFn = int32_t (*)(ZE_ExtractParams* params);
using ZE_CompressFn = int32_t (*)(void* params);
using ZE_VersionFn = int32_t (*)();
using ZE_AbortFn = int32_t (*)();
using ZE_PathFn = const char* (*)();

}  // extern "C"
