// Compiles only if every call of the platform subset has the signature the real Windows
// API gives it: built on Linux against our declarations and on Windows against <windows.h>.
#include "platform/Win32.h"

namespace {

template <typename Signature> constexpr bool Declared(Signature) {
    return true;
}

static_assert(Declared<HANDLE (*)(LPCSTR, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD, DWORD,
                                  HANDLE)>(&CreateFileA));
static_assert(Declared<BOOL (*)(HANDLE, LPVOID, DWORD, DWORD*, OVERLAPPED*)>(&ReadFile));
static_assert(Declared<BOOL (*)(HANDLE, LPCVOID, DWORD, DWORD*, OVERLAPPED*)>(&WriteFile));
static_assert(Declared<DWORD (*)(HANDLE, LONG, LONG*, DWORD)>(&SetFilePointer));
static_assert(Declared<DWORD (*)(HANDLE, DWORD*)>(&GetFileSize));
static_assert(Declared<BOOL (*)(HANDLE)>(&SetEndOfFile));
static_assert(Declared<BOOL (*)(HANDLE)>(&FlushFileBuffers));
static_assert(Declared<BOOL (*)(HANDLE)>(&CloseHandle));
static_assert(Declared<BOOL (*)(HANDLE, BY_HANDLE_FILE_INFORMATION*)>(&GetFileInformationByHandle));
static_assert(Declared<DWORD (*)()>(&GetLastError));
static_assert(Declared<void (*)(DWORD)>(&SetLastError));
static_assert(Declared<BOOL (*)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, DWORD*, OVERLAPPED*)>(
    &DeviceIoControl));
static_assert(Declared<DWORD (*)(LPCSTR)>(&GetFileAttributesA));
static_assert(
    Declared<BOOL (*)(HANDLE, const FILETIME*, const FILETIME*, const FILETIME*)>(&SetFileTime));
static_assert(Declared<BOOL (*)(const FILETIME*, FILETIME*)>(&FileTimeToLocalFileTime));
static_assert(Declared<BOOL (*)(const FILETIME*, FILETIME*)>(&LocalFileTimeToFileTime));
static_assert(Declared<BOOL (*)(const FILETIME*, WORD*, WORD*)>(&FileTimeToDosDateTime));
static_assert(Declared<BOOL (*)(WORD, WORD, FILETIME*)>(&DosDateTimeToFileTime));
static_assert(Declared<LPVOID (*)(LPVOID, SIZE_T, DWORD, DWORD)>(&VirtualAlloc));
static_assert(Declared<BOOL (*)(LPVOID, SIZE_T, DWORD)>(&VirtualFree));
static_assert(Declared<BOOL (*)(LPVOID, SIZE_T)>(&VirtualLock));
static_assert(Declared<BOOL (*)(LPVOID, SIZE_T)>(&VirtualUnlock));
static_assert(Declared<void (*)(SYSTEM_INFO*)>(&GetSystemInfo));
static_assert(Declared<void (*)(DWORD)>(&Sleep));
static_assert(Declared<DWORD (*)()>(&GetTickCount));
static_assert(Declared<DWORD (*)(HANDLE, DWORD)>(&WaitForSingleObject));
static_assert(Declared<void (*)(SYSTEMTIME*)>(&GetLocalTime));
static_assert(Declared<BOOL (*)(LPCSTR)>(&SetCurrentDirectoryA));
static_assert(Declared<BOOL (*)(LPCSTR, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*)>(
    &GetDiskFreeSpaceExA));
static_assert(Declared<DWORD (*)(LPCSTR, DWORD, LPSTR, LPSTR*)>(&GetFullPathNameA));
static_assert(Declared<HANDLE (*)(LPCSTR, WIN32_FIND_DATAA*)>(&FindFirstFileA));
static_assert(Declared<BOOL (*)(HANDLE)>(&FindClose));
static_assert(Declared<BOOL (*)(LPCSTR)>(&DeleteFileA));
static_assert(Declared<HANDLE (*)()>(&GetCurrentProcess));
static_assert(Declared<HANDLE (*)()>(&GetCurrentThread));
static_assert(Declared<BOOL (*)(HANDLE, DWORD)>(&SetPriorityClass));
static_assert(Declared<BOOL (*)(HANDLE, int)>(&SetThreadPriority));
static_assert(Declared<HMMIO (*)(LPSTR, LPMMIOINFO, DWORD)>(&mmioOpenA));
static_assert(Declared<MMRESULT (*)(HMMIO, LPSTR, LONG, UINT)>(&mmioSetBuffer));
static_assert(Declared<LONG (*)(HMMIO, LONG, int)>(&mmioSeek));
static_assert(Declared<LONG (*)(HMMIO, HPSTR, LONG)>(&mmioRead));
static_assert(Declared<LONG (*)(HMMIO, const char*, LONG)>(&mmioWrite));
static_assert(Declared<MMRESULT (*)(HMMIO, UINT)>(&mmioClose));
static_assert(Declared<MMRESULT (*)(HMMIO, UINT)>(&mmioFlush));

} // namespace
