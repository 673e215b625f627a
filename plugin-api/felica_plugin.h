/* SPDX-License-Identifier: MIT */
/*
 * The reader plug-in interface: the entry points every reader plug-in exports, the records
 * that cross the boundary and the status values. Shared by the viewer (host) and the
 * plug-ins. C, 64-bit clean: pointers travel as pointers.
 *
 * Ownership, entry by entry:
 *   GetInformation       returns a static string owned by the plug-in, valid while it is
 *                        loaded; the host copies it.
 *   GetSetting           `setting` and setting->Data belong to the host; the plug-in writes
 *                        at most setting->Bytes bytes into Data.
 *   DLL_GetReaderName    returns a string owned by the plug-in, valid until the next reader
 *                        scan (DLL_Initialize, or DLL_Open/DLL_REQC on a closed reader).
 *   DLL_Open             `name` belongs to the caller and is only read during the call.
 *   DLL_SetCurrentCard   stores into *card the address of 16 bytes (IDm then PMm) owned by
 *                        the plug-in, valid until the next DLL_REQC or unload.
 *   DLL_Read, DLL_Write  `data` is the caller's 16-byte buffer.
 *   DLL_Read2            `refs` (one per block), `count` and `data` (16 bytes per block)
 *                        belong to the caller; *count is in/out.
 *   DLL_Write2           `refs` and `data` belong to the caller and are only read.
 *
 * Every DLL_ entry point except DLL_GetReaderName and DLL_GetSystemCode returns a status;
 * callers examine its low 16 bits: 0 success, positive nothing found / nothing to do,
 * negative failure.
 */
#ifndef LORVANE_PLUGIN_API_FELICA_PLUGIN_H
#define LORVANE_PLUGIN_API_FELICA_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define FELICA_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define FELICA_PLUGIN_EXPORT
#endif

/* ---- Status values -------------------------------------------------------------------- */
enum {
  FELICA_OK = 0,
  FELICA_ALREADY_OPEN = 3,     /* DLL_Open */
  FELICA_NOTHING = 5,          /* no card answered; or the card refused the service (A6) */
  FELICA_E_FATAL = -1,         /* unexpected failure; DLL_REQC: reading system codes failed */
  FELICA_E_MEMORY = -4,        /* out of memory while building the reader lists */
  FELICA_E_PARAMETER = -5,     /* a required pointer is null */
  FELICA_E_NO_CONTEXT = -9,    /* no smart card context */
  FELICA_E_FUNCTION = -10,     /* GetSetting: function not 0 or mode above 3 */
  FELICA_E_READER_GONE = -11,  /* the reader became unavailable while polling */
  FELICA_E_NO_CARD = -12,      /* no current card ("Card detached.") */
  FELICA_E_TRANSMIT = -13,     /* a smart card call failed, or the reader's answer was not 61 xx */
  FELICA_E_LIST_READERS = -40, /* listing the readers failed (no reader attached) */
  FELICA_E_CONNECT = -42,      /* no reader to connect to, or connecting failed */
  FELICA_E_SEARCH = -52,       /* the reader reported an error to a code search */
  FELICA_E_READ = -53,         /* reading failed; DLL_GetServiceCode: end of the list */
  FELICA_E_WRITE = -54         /* writing failed */
};

/* DLL_GetSystemCode past the card's last system, or with no card. */
#define FELICA_NO_SYSTEM_CODE 0xFFFFu

/* GetSetting results besides the statuses above. */
enum { FELICA_SETTING_OK = 0, FELICA_SETTING_CANCELLED = 1 };

/* ---- GetInformation indices ----------------------------------------------------------- */
enum {
  FELICA_INFO_KIND = 0,      /* "NFC card reader control dll" */
  FELICA_INFO_PLATFORM = 1,  /* "WIN32" */
  FELICA_INFO_INTERFACE = 2, /* "010" */
  FELICA_INFO_DESCRIPTION = 10,
  FELICA_INFO_VERSION = 11,
  FELICA_INFO_COPYRIGHT = 12,
  FELICA_INFO_DATE = 13,         /* "yyyy/mm/dd" */
  FELICA_INFO_FUNCTION_BASE = 20 /* 20 + 4*j: name of function j, j = 0..9 */
};
#define FELICA_INFO_FUNCTION(j) (FELICA_INFO_FUNCTION_BASE + 4 * (j))
#define FELICA_MAX_FUNCTIONS 10

/* A reader entry name is the group and the reader, each in double quotes: "group""reader".
 * A plug-in whose "reader" is a saved card image file rather than a card on a reader names
 * its entry with this group and the image file's full path as the reader, so a host can
 * tell the user that the card shown is not a card on a reader. */
#define FELICA_CARD_IMAGE_GROUP "Card image"

/* Settings data of the plug-ins in this tree: 256 bytes. */
#define FELICA_SETTING_BYTES 256

/* ---- Records (packed) ----------------------------------------------------------------- */
#pragma pack(push, 1)
typedef struct IOFeliCaSetting {
  uint16_t Bytes; /* size of Data in bytes */
  void* Data;     /* host buffer of Bytes bytes, or null to ask for the size */
} IOFeliCaSetting;

typedef struct BlockRef {
  uint32_t ServiceCode; /* service code in the low 16 bits, as sent on the air low byte first */
  uint8_t Block;        /* block number within the service */
} BlockRef;
#pragma pack(pop)

/* ---- Entry points --------------------------------------------------------------------- */
typedef const char* (*GetInformationFn)(int32_t index);
typedef int32_t (*GetSettingFn)(int32_t function, int32_t mode, IOFeliCaSetting* setting);
typedef int16_t (*DLL_InitializeFn)(int32_t ignored);
typedef int16_t (*DLL_OpenFn)(const char* readerName);
typedef int16_t (*DLL_CloseFn)(void);
typedef const char* (*DLL_GetReaderNameFn)(int32_t index);
typedef int16_t (*DLL_REQCFn)(int32_t systemCode);
typedef int16_t (*DLL_SetCurrentCardFn)(int32_t index, const uint8_t** card);
typedef uint16_t (*DLL_GetSystemCodeFn)(int32_t index);
typedef int16_t (*DLL_GetServiceCodeFn)(int32_t index, uint32_t* code, uint32_t* endCode);
typedef int16_t (*DLL_ReadFn)(uint32_t serviceCode, uint32_t block, uint8_t* data);
typedef int16_t (*DLL_WriteFn)(uint32_t serviceCode, uint32_t block, const uint8_t* data);
typedef int16_t (*DLL_Read2Fn)(const BlockRef* refs, uint8_t* count, uint8_t* data);
typedef int16_t (*DLL_Write2Fn)(const BlockRef* refs, uint8_t count, const uint8_t* data);

/* The names under which the entry points are exported. */
#define FELICA_EP_GET_INFORMATION "GetInformation"
#define FELICA_EP_GET_SETTING "GetSetting"
#define FELICA_EP_INITIALIZE "DLL_Initialize"
#define FELICA_EP_OPEN "DLL_Open"
#define FELICA_EP_CLOSE "DLL_Close"
#define FELICA_EP_GET_READER_NAME "DLL_GetReaderName"
#define FELICA_EP_REQC "DLL_REQC"
#define FELICA_EP_SET_CURRENT_CARD "DLL_SetCurrentCard"
#define FELICA_EP_GET_SYSTEM_CODE "DLL_GetSystemCode"
#define FELICA_EP_GET_SERVICE_CODE "DLL_GetServiceCode"
#define FELICA_EP_READ "DLL_Read"
#define FELICA_EP_WRITE "DLL_Write"
#define FELICA_EP_READ2 "DLL_Read2"
#define FELICA_EP_WRITE2 "DLL_Write2"

#ifdef __cplusplus
}
#endif

#endif /* LORVANE_PLUGIN_API_FELICA_PLUGIN_H */
