#include <windows.h>

#include <vector>

#include "platform/ProgramVersion.h"
#include "platform/win32/WideText.h"

namespace quil {
namespace {

// One text of the block, as long as the query reports it (without its zero).
bool Query(std::vector<BYTE>& block, const wchar_t* name, std::string& text) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), name, &value, &length) || !value)
        return false;
    std::wstring_view wide(static_cast<const wchar_t*>(value), length);
    while (!wide.empty() && wide.back() == L'\0')
        wide.remove_suffix(1);
    text = Narrow(wide);
    return true;
}

}  // namespace

int ReadProgramVersionNames(const std::string& path, std::string& company,
                            std::string& internalName) {
    const std::wstring file = Widen(path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0)
        return ERROR_FILE_NOT_FOUND;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data()))
        return ERROR_FILE_NOT_FOUND;
    std::string foundCompany;
    std::string foundInternal;
    if (!Query(block, L"\\StringFileInfo\\000004b0\\CompanyName", foundCompany) ||
        !Query(block, L"\\StringFileInfo\\000004b0\\InternalName", foundInternal))
        return ERROR_FILE_NOT_FOUND;
    company = std::move(foundCompany);
    internalName = std::move(foundInternal);
    return 0;
}

}  // namespace quil
