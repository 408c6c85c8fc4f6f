#include "common/whole_file.h"

#include <algorithm>
#include <atomic>

#include "common/handles.h"

namespace common {

namespace {

std::atomic<unsigned> partCounter{0};

}  // namespace

std::wstring PartFileName(const std::wstring& destination, unsigned number) {
    return destination + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(number) + L".part";
}

bool CreateFileWhole(const std::wstring& destination, const std::function<bool(const std::wstring& part)>& write) {
    if (GetFileAttributesW(destination.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    // The part file is created here, new, so that what is removed on failure
    // is only ever this process's own file.
    std::wstring part;
    for (int attempt = 0; attempt < 16 && part.empty(); ++attempt) {
        std::wstring candidate = PartFileName(destination, ++partCounter);
        const UniqueFile created(CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (created) part = std::move(candidate);
        else if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (part.empty()) return false;
    // Without MOVEFILE_REPLACE_EXISTING the rename fails on a destination
    // that appeared meanwhile.
    if (write(part) && MoveFileExW(part.c_str(), destination.c_str(), 0)) return true;
    // A copy may have given the part file its source's read-only attribute.
    SetFileAttributesW(part.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(part.c_str());
    return false;
}

bool CreateFileWithBytes(const std::wstring& destination, std::span<const BYTE> bytes) {
    return CreateFileWhole(destination, [bytes](const std::wstring& part) {
        const UniqueFile file(CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            DWORD written = 0;
            if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
            done += written;
        }
        return FlushFileBuffers(file.get()) != FALSE;
    });
}

}  // namespace common
