// The winmm multimedia file I/O subset (mmio) on Linux: a buffered file layer of its own
// over the Win32 file calls, with the documented flags, results and MMIOERR codes.
#pragma once

#ifndef _WIN32

#include "platform/Win32.h"

using MMRESULT = UINT;
using FOURCC = DWORD;
struct HMMIO__;
using HMMIO = HMMIO__*;
using HPSTR = char*;
using LPMMIOPROC = LONG (*)(LPSTR, UINT, long, long);

struct MMIOINFO {
    DWORD dwFlags;
    FOURCC fccIOProc;
    LPMMIOPROC pIOProc;
    UINT wErrorRet;
    HANDLE htask;
    LONG cchBuffer;
    HPSTR pchBuffer;
    HPSTR pchNext;
    HPSTR pchEndRead;
    HPSTR pchEndWrite;
    LONG lBufOffset;
    LONG lDiskOffset;
    DWORD adwInfo[3];
    DWORD dwReserved1;
    DWORD dwReserved2;
    HMMIO hmmio;
};
using LPMMIOINFO = MMIOINFO*;

inline constexpr DWORD MMIO_READ = 0x00000000;
inline constexpr DWORD MMIO_WRITE = 0x00000001;
inline constexpr DWORD MMIO_READWRITE = 0x00000002;
inline constexpr DWORD MMIO_COMPAT = 0x00000000;
inline constexpr DWORD MMIO_EXCLUSIVE = 0x00000010;
inline constexpr DWORD MMIO_DENYWRITE = 0x00000020;
inline constexpr DWORD MMIO_DENYREAD = 0x00000030;
inline constexpr DWORD MMIO_DENYNONE = 0x00000040;
inline constexpr DWORD MMIO_CREATE = 0x00001000;
inline constexpr DWORD MMIO_PARSE = 0x00000100;
inline constexpr DWORD MMIO_DELETE = 0x00000200;
inline constexpr DWORD MMIO_EXIST = 0x00004000;
inline constexpr DWORD MMIO_ALLOCBUF = 0x00010000;
inline constexpr DWORD MMIO_GETTEMP = 0x00020000;

inline constexpr LONG MMIO_DEFAULTBUFFER = 8192;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

inline constexpr MMRESULT MMIOERR_FILENOTFOUND = 257;
inline constexpr MMRESULT MMIOERR_OUTOFMEMORY = 258;
inline constexpr MMRESULT MMIOERR_CANNOTOPEN = 259;
inline constexpr MMRESULT MMIOERR_CANNOTCLOSE = 260;
inline constexpr MMRESULT MMIOERR_CANNOTREAD = 261;
inline constexpr MMRESULT MMIOERR_CANNOTWRITE = 262;
inline constexpr MMRESULT MMIOERR_CANNOTSEEK = 263;
inline constexpr MMRESULT MMIOERR_CANNOTEXPAND = 264;
inline constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = 265;
inline constexpr MMRESULT MMIOERR_UNBUFFERED = 266;
inline constexpr MMRESULT MMIOERR_PATHNOTFOUND = 267;
inline constexpr MMRESULT MMIOERR_ACCESSDENIED = 268;
inline constexpr MMRESULT MMIOERR_SHARINGVIOLATION = 269;
inline constexpr MMRESULT MMIOERR_NETWORKERROR = 270;
inline constexpr MMRESULT MMIOERR_TOOMANYOPENFILES = 271;
inline constexpr MMRESULT MMIOERR_INVALIDFILE = 272;

HMMIO mmioOpenA(LPSTR pszFileName, LPMMIOINFO pmmioinfo, DWORD fdwOpen);
MMRESULT mmioClose(HMMIO hmmio, UINT fuClose);
LONG mmioRead(HMMIO hmmio, HPSTR pch, LONG cch);
LONG mmioWrite(HMMIO hmmio, const char* pch, LONG cch);
LONG mmioSeek(HMMIO hmmio, LONG lOffset, int iOrigin);
MMRESULT mmioSetBuffer(HMMIO hmmio, LPSTR pchBuffer, LONG cchBuffer, UINT fuBuffer);
MMRESULT mmioFlush(HMMIO hmmio, UINT fuFlush);

#endif
