#include "arrival_rule.h"

std::wstring ArrivalPattern(std::wstring_view vendorId, std::wstring_view productId) {
    std::wstring pattern = L"Vid_";
    pattern += vendorId;
    pattern += L"&Pid_";
    pattern += productId;
    pattern += L"&MI_02&Col01";
    return pattern;
}
