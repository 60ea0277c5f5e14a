// FindFirstFileA and its siblings: the entries of one directory that match a name or a
// pattern with "*" and "?" in its last component.
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "platform/linux/ErrnoMap.h"
#include "platform/linux/FileTimes.h"
#include "platform/linux/Handles.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace orvane::platform {

namespace {

class TFindObject final : public TKernelObject {
public:
    static constexpr TKind ObjectKind = TKind::Find;
    TFindObject() : TKernelObject(ObjectKind) {}
    std::vector<WIN32_FIND_DATAA> entries;
    std::size_t next = 0;
};

bool FillFindData(const std::string& path, const std::string& name, WIN32_FIND_DATAA& data) {
    struct stat info {};
    if (OsCalls().lstat(path.c_str(), &info) != 0 || name.size() >= sizeof(data.cFileName)) {
        return false;
    }
    data = {};
    data.dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (S_ISLNK(info.st_mode)) {
        data.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    } else if ((info.st_mode & 0222) == 0) {
        data.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (data.dwFileAttributes == 0) {
        data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    data.ftCreationTime = FileTimeOfTimespec(info.st_ctim);
    data.ftLastAccessTime = FileTimeOfTimespec(info.st_atim);
    data.ftLastWriteTime = FileTimeOfTimespec(info.st_mtim);
    const auto size = static_cast<unsigned long long>(info.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
    std::memcpy(data.cFileName, name.c_str(), name.size() + 1);
    return true;
}

} // namespace

} // namespace orvane::platform

using namespace orvane::platform;

HANDLE FindFirstFileA(LPCSTR lpFileName, WIN32_FIND_DATAA* lpFindFileData) {
    if (lpFileName == nullptr || lpFindFileData == nullptr || *lpFileName == '\0') {
        SetLastError(lpFileName != nullptr && *lpFileName == '\0' ? ERROR_PATH_NOT_FOUND
                                                                  : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string path = lpFileName;
    const auto slash = path.find_last_of('/');
    const std::string directory =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    if (pattern == "*.*") {
        pattern = "*"; // Windows' "every file", dotted or not
    }
    auto find = std::make_unique<TFindObject>();
    WIN32_FIND_DATAA data{};
    if (pattern.find_first_of("*?") == std::string::npos) {
        if (!FillFindData(path, pattern, data)) {
            SetLastError(PathError(lpFileName, errno));
            return INVALID_HANDLE_VALUE;
        }
        find->entries.push_back(data);
    } else {
        DIR* dir = OsCalls().opendir(directory.c_str());
        if (dir == nullptr) {
            SetLastError(PathError((directory + "/x").c_str(), errno == ENOENT ? ENOTDIR : errno));
            return INVALID_HANDLE_VALUE;
        }
        while (const dirent* entry = OsCalls().readdir(dir)) {
            if (::fnmatch(pattern.c_str(), entry->d_name, 0) == 0 &&
                FillFindData(directory + "/" + entry->d_name, entry->d_name, data)) {
                find->entries.push_back(data);
            }
        }
        OsCalls().closedir(dir);
    }
    if (find->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *lpFindFileData = find->entries[find->next++];
    HANDLE handle = InsertObject(std::move(find));
    if (handle != INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_SUCCESS);
    }
    return handle;
}

BOOL FindNextFileA(HANDLE hFindFile, WIN32_FIND_DATAA* lpFindFileData) {
    auto* find = Lookup<TFindObject>(hFindFile);
    if (find == nullptr) {
        return FALSE;
    }
    if (find->next >= find->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *lpFindFileData = find->entries[find->next++];
    return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
    if (Lookup<TFindObject>(hFindFile) == nullptr) {
        return FALSE;
    }
    return RemoveObject(hFindFile) != nullptr ? TRUE : FALSE;
}
