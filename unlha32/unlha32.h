#pragma once
/*
 * The archive library's exported interface: LHA archives listed and unpacked on behalf of the
 * player. C linkage; every function is looked up by name at run time.
 *
 * Ownership: a HARC returned by UnlhaOpenArchive belongs to the caller until UnlhaCloseArchive.
 * Strings passed in are CP932 bytes; DOS paths ("Z:\dir\file.lzh") are turned into native paths
 * by the resolver the program hands over with UnlhaSetPathResolver (without one, only "Z:\" = "/").
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* HARC;

/* Function indexes of UnlhaQueryFunctionList. */
enum {
    ISARC = 0,
    ISARC_GET_VERSION = 1,
    ISARC_SET_BACK_GROUND_MODE = 5,
    ISARC_SET_CURSOR_MODE = 7,
    ISARC_GET_RUNNING = 8,
    ISARC_CHECK_ARCHIVE = 16,
    ISARC_OPEN_ARCHIVE = 23,
    ISARC_CLOSE_ARCHIVE = 24,
    ISARC_FIND_FIRST = 25,
    ISARC_FIND_NEXT = 26
};

#define UNLHA_FNAME_MAX32 512

/* Returned by UnlhaFindFirst and UnlhaFindNext instead of -1 when the members run out because the
 * archive is damaged there (a header that cannot be read, or data cut short): the members before
 * the damage were found as usual, and a name not among them may be in the part that is lost. */
#define UNLHA_ERROR_DAMAGED_ARCHIVE 0x8009

/* One member, as UnlhaFindFirst and UnlhaFindNext fill it: 560 bytes, name at offset 26. */
typedef struct {
    uint32_t dwOriginalSize;
    uint32_t dwCompressedSize;
    uint32_t dwCRC;
    uint32_t uFlag;
    uint32_t uOSType;
    uint16_t wRatio;
    uint16_t wDate;
    uint16_t wTime;
    char szFileName[UNLHA_FNAME_MAX32 + 1];
    char dummy1[3];
    char szAttribute[8];
    char szMode[8];
    char padding[2];
} INDIVIDUALINFO;

/* Resolves a DOS path (CP932) to a native path (UTF-8) into out[0..size); returns nonzero on
 * success. Called from the library on the caller's thread. */
typedef int (*UnlhaPathResolver)(const char* dosPath, char* out, size_t size);

int UnlhaQueryFunctionList(int index);           /* nonzero: the function is offered */
uint16_t UnlhaGetVersion(void);                  /* version times 100 */
int UnlhaGetRunning(void);                       /* nonzero while another call is inside */
int UnlhaSetBackGroundMode(int mode);
int UnlhaSetCursorMode(int mode);
int UnlhaCheckArchive(const char* archive, int mode);      /* nonzero: a readable LZH archive */
/* Reads the member list once. An archive damaged after a sound first header opens with the
 * members before the damage. NULL when it is not an archive (or not a regular file). */
HARC UnlhaOpenArchive(void* hwnd, const char* archive, uint32_t mode);
int UnlhaCloseArchive(HARC harc);
/* 0: found; -1: no further match; UNLHA_ERROR_DAMAGED_ARCHIVE: no further match before the damage. */
int UnlhaFindFirst(HARC harc, const char* pattern, INDIVIDUALINFO* info);
int UnlhaFindNext(HARC harc, INDIVIDUALINFO* info);
/* Runs a command line; the only command is "e -n1 ARCHIVE OUTFOLDER\ MEMBER" (paths unquoted).
 * Returns 0 on success. A message is written to output (at most size bytes, NUL-terminated). */
int Unlha(void* hwnd, const char* cmdLine, char* output, uint32_t size);
/* Hands over the program's DOS path resolver (an extension of ours; optional for callers). */
void UnlhaSetPathResolver(UnlhaPathResolver resolver);

#ifdef __cplusplus
}
#endif
